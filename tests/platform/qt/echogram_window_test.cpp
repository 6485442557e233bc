// The echogram in a real window under the offscreen platform: bars in their colours where the
// arrivals are, and a mouse click on a bar that names it under the plot.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>

#include "platform/qt/figure_window.h"
#include "platform/qt/qt_front_end.h"
#include "platform/render/render.h"
#include "polar/echogram.h"
#include "support/main_window.h"
#include "support/qt_application.h"

namespace velmora::polar {
namespace {

using platform::Handle;

class EchogramWindowQtTest : public test_support::MainWindowFixture<> {
 protected:
  void SetUp() override {
    test_support::qtApplication();
    frontEnd = std::make_unique<platform::qt::QtFrontEnd>(rt);
    fig = openMainWindow();
    shell::velmoracopy(rt, ops, {platform::Value("echogram")});
    echogram = rt.graphics().currentFigure();
    axes = rt.graphics().findobj(echogram, "acouechogramaxes").front();
    frontEnd->flush();
  }
  void TearDown() override { frontEnd.reset(); }

  // The window's size in pixels (the arrivals' plot and the response's decay beside it).
  double width() const { return rt.graphics().at(echogram).numbers("position").at(2); }
  double height() const { return rt.graphics().at(echogram).numbers("position").at(3); }
  QPointF pixel(double x, double y) {
    const auto m = platform::axesMapping(rt.graphics(), axes, width(), height());
    return {m.toPixelX(x), m.toPixelY(y)};
  }
  QColor colourAt(const QImage& image, double x, double y) {
    const QPointF p = pixel(x, y);
    return image.pixelColor(static_cast<int>(p.x() * image.width() / width()),
                            static_cast<int>(p.y() * image.height() / height()));
  }

  std::unique_ptr<platform::qt::QtFrontEnd> frontEnd;
  Handle echogram = platform::kNoHandle, axes = platform::kNoHandle;
};

TEST_F(EchogramWindowQtTest, BarsOnScreenAndAClickNamesOne) {
  auto* window = frontEnd->window(echogram);
  ASSERT_NE(window, nullptr);
  window->show();
  frontEnd->flush();
  const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const auto& arrivals = rt.graphics().at(echogram).userdataAs<EchogramRecord>()->figures.arrivals;
  ASSERT_EQ(arrivals.size(), 5u);
  const Arrival& late = arrivals.back();  // wall 1 or 3, 18 ms after the direct sound
  const QColor direct = colourAt(image, 0, arrivals[0].levelDb - 5);
  EXPECT_TRUE(direct.red() > 180 && direct.green() < 90 && direct.blue() < 90) << direct.name().toStdString();
  const QColor reflection = colourAt(image, late.delayMs, late.levelDb - 5);
  EXPECT_TRUE(reflection.blue() > 180 && reflection.red() < 90) << reflection.name().toStdString();
  const QColor between = colourAt(image, 10, late.levelDb - 5);
  EXPECT_GT(between.lightness(), 240) << between.name().toStdString();

  const QPointF at = pixel(late.delayMs, late.levelDb - 5);
  QMouseEvent press(QEvent::MouseButtonPress, at, window->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(window, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, window->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(window, &release);
  QCoreApplication::processEvents();
  const Handle info = rt.graphics().findobj(echogram, "acouechograminfo").front();
  EXPECT_EQ(rt.graphics().at(info).text("string").rfind("wall " + std::to_string(late.wall) + ": ", 0), 0u)
      << rt.graphics().at(info).text("string");
}

}  // namespace
}  // namespace velmora::polar
