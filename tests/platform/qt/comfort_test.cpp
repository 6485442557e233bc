// The main window's reading aids and shortcuts in the real Qt window: keys with modifiers reach the
// model's accelerators, tooltips show the keys, the scale bar is drawn and can be switched off, and
// the recent cases survive in the user's settings.

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "document/window.h"
#include "platform/qt/figure_window.h"
#include "platform/qt/qt_front_end.h"
#include "platform/qt/settings_recent_cases.h"
#include "platform/render/render.h"
#include "support/main_window.h"
#include "support/qt_application.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;

class ComfortQtTest : public test_support::MainWindowFixture<> {
 protected:
  void SetUp() override {
    test_support::qtApplication();
    frontEnd = std::make_unique<platform::qt::QtFrontEnd>(rt);
    fig = openMainWindow();
    frontEnd->flush();
  }
  void TearDown() override { frontEnd.reset(); }
  platform::qt::FigureWindow* window() { return frontEnd->window(fig); }
  Handle button(const std::string& label) {
    return rt.graphics()
        .findIf(fig,
                [&](const platform::GraphicsObject& o) {
                  return o.type() == platform::ObjectType::UiControl &&
                         o.get("string") == platform::Value(label);
                })
        .front();
  }
  void press(int key, Qt::KeyboardModifiers mods) {
    QKeyEvent event(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(window(), &event);
    frontEnd->flush();
  }
  QImage screenshot() {
    frontEnd->flush();
    return window()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // The lightness where the middle of the scale bar is drawn.
  int barLightness() {
    const QImage image = screenshot();
    const Handle axes = drawingAxes(rt, fig);
    const Handle bar = rt.graphics().findobj(fig, "acouscalebar").front();
    const auto x = nums(bar, "xdata"), y = nums(bar, "ydata");
    const auto map = platform::axesMapping(rt.graphics(), axes, 640, 560);
    const double sx = image.width() / 640.0, sy = image.height() / 560.0;
    return image
        .pixelColor(static_cast<int>(map.toPixelX((x[1] + x[2]) / 2) * sx),
                    static_cast<int>(map.toPixelY(y[1]) * sy))
        .lightness();
  }
  std::unique_ptr<platform::qt::QtFrontEnd> frontEnd;
};

TEST_F(ComfortQtTest, KeysWithModifiersRunTheAcceleratorsAndTooltipsShowThem) {
  press(Qt::Key_S, Qt::ControlModifier);
  ASSERT_FALSE(ui.shown().empty());
  EXPECT_EQ(ui.shown().back().kind, "save");
  const int beeps = ui.beeps();
  press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);  // nothing newer in the history
  EXPECT_EQ(ui.beeps(), beeps + 1);

  EXPECT_EQ(window()->controlWidget(button("save"))->toolTip().toStdString(),
            text(button("save"), "tooltipstring") + " (Ctrl+S)");
  EXPECT_EQ(window()->controlWidget(button("grid"))->toolTip().toStdString(), "Set grid spacing");
}

TEST_F(ComfortQtTest, ScaleBarIsDrawnUntilSwitchedOff) {
  EXPECT_LT(barLightness(), 80);
  rt.click(windowItems("scale bar").front());
  EXPECT_GT(barLightness(), 200);
}

TEST(SettingsRecentCasesTest, ListSurvivesANewInstance) {
  test_support::qtApplication();
  QStandardPaths::setTestModeEnabled(true);
  {
    platform::qt::SettingsRecentCases recent;
    for (const char* p : {"/a.ac", "/b.ac", "/c.ac", "/d.ac", "/e.ac", "/f.ac", "/b.ac"}) recent.add(p);
  }
  platform::qt::SettingsRecentCases again;
  EXPECT_EQ(again.list(), (std::vector<std::string>{"/b.ac", "/f.ac", "/e.ac", "/d.ac", "/c.ac"}));
  QSettings(QSettings::IniFormat, QSettings::UserScope, "velmora", "velmora").clear();
  EXPECT_TRUE(again.list().empty());
  QStandardPaths::setTestModeEnabled(false);
}

}  // namespace
}  // namespace velmora::shell
