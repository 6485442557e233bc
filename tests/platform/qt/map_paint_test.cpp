// A fine audience map as the screen paints it, through the whole program: its cells are smaller than
// a pixel and the picture is made pixel by pixel.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <numbers>
#include <vector>

#include "document/case_record.h"
#include "document/window.h"
#include "platform/qt/painter_canvas.h"
#include "platform/render/render.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"
#include "support/qt_application.h"

namespace velmora::platform {
namespace {

using MapPaint = test_support::MainWindowFixture<>;

// A centre of a pixel on the edge two triangles share once fell to neither: single pixels of paper
// showed through the map of a 40-wall circle at 400 intervals.
TEST_F(MapPaint, AFineMapShowsNoPaperThrough) {
  test_support::qtApplication();
  const Handle fig = openMainWindow();
  document::CaseDescription d;
  d.xwall.emplace();
  d.ywall.emplace();
  for (int k = 0; k < 40; ++k) {
    d.xwall->push_back(10 + 10 * std::cos(2 * std::numbers::pi * k / 40));
    d.ywall->push_back(10 * std::sin(2 * std::numbers::pi * k / 40));
  }
  d.alpha = std::vector<double>(40, 20.0);
  d.xaud = {3, 17, 17, 3};
  d.yaud = {-7, -7, 7, 7};
  d.xso = 6;
  d.yso = 1;
  d.Nsurface = 400;
  shell::velmoracopy(rt, ops, {Value("update"), d.toValue()});

  const auto position = rt.graphics().at(fig).numbers("position");
  QImage img(static_cast<int>(position[2]), static_cast<int>(position[3]), QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter painter(&img);
    qt::PainterCanvas canvas(painter, img.width(), img.height());
    renderFigure(rt.graphics(), fig, canvas);
  }
  const AxesMapping m = axesMapping(rt.graphics(), document::drawingAxes(rt, fig), img.width(), img.height());
  int paper = 0, inside = 0;
  for (int y = static_cast<int>(m.toPixelY(6.8)); y < m.toPixelY(-6.8); ++y) {
    for (int x = static_cast<int>(m.toPixelX(3.2)); x < m.toPixelX(16.8); ++x) {
      ++inside;
      paper += img.pixel(x, y) == qRgb(255, 255, 255);
    }
  }
  EXPECT_GT(inside, 40000);
  EXPECT_EQ(paper, 0);
}

}  // namespace
}  // namespace velmora::platform
