#pragma once

#include <QApplication>

namespace velmora::test_support {

// One application for the whole test process, on the off-screen platform unless another is asked
// for. It is never destroyed: tearing Qt down among the other static objects at exit is not safe.
inline QApplication& qtApplication() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "velmora_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace velmora::test_support
