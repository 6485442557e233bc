// A fine audience map as the screen paints it, through the whole program: its cells are smaller than
// a pixel and the picture is made pixel by pixel.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <cmath>
#include <numbers>
#include <set>
#include <algorithm>
#include <memory>
#include <vector>

#include "document/case_record.h"
#include "document/tags.h"
#include "platform/model/colormaps.h"
#include "document/window.h"
#include "platform/qt/painter_canvas.h"
#include "platform/render/render.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"
#include "support/qt_application.h"

namespace velmora::platform {
namespace {

using MapPaint = test_support::MainWindowFixture<>;

// A 360-wall circle about (10, 0): its map of first reflections spans many colour bands, so the screen
// paints it pixel by pixel.
document::CaseDescription circleRoom(std::vector<double> xaud, std::vector<double> yaud, int nsurface) {
  document::CaseDescription d;
  d.xwall.emplace();
  d.ywall.emplace();
  for (int k = 0; k < 360; ++k) {
    d.xwall->push_back(10 + 10 * std::cos(2 * std::numbers::pi * k / 360));
    d.ywall->push_back(10 * std::sin(2 * std::numbers::pi * k / 360));
  }
  d.alpha = std::vector<double>(360, 20.0);
  d.xaud = std::move(xaud);
  d.yaud = std::move(yaud);
  d.xso = 6;
  d.yso = 1;
  d.Nsurface = nsurface;
  return d;
}

// Every grid point of a map painted pixel by pixel shows the table row of its own count (the window
// maps counts directly: count value k takes row k), whether its cells are of one colour or not. Judged
// are the points whose neighbours hold no lower count and stay well under a row's change within a
// pixel's reach; they must be many, for a convex and for a non-convex audience area.
TEST_F(MapPaint, GridPointsShowTheRowOfTheirOwnCount) {
  test_support::qtApplication();
  const Handle fig = openMainWindow();
  struct Audience {
    const char* what;
    std::vector<double> x, y;
  };
  const std::vector<Audience> audiences = {
      {"convex, skewed", {3.5, 16.5, 15, 4}, {-6.5, -5, 6.5, 5.5}},
      {"not convex (a reflex corner)", {3.5, 16.5, 11, 3.5}, {-6.5, -6.5, -1, 6.5}},
  };
  for (const Audience& a : audiences) {
    shell::velmoracopy(rt, ops, {Value("update"), circleRoom(a.x, a.y, 100).toValue()});
    Graphics& g = rt.graphics();
    // The map alone: walls, images and their dotted radii cross it.
    for (Handle h : g.findIf(fig, [](const GraphicsObject& o) { return o.type() == ObjectType::Line; }))
      g.set(h, "visible", Value("off"));
    const Handle axes = document::drawingAxes(rt, fig);
    const GraphicsObject& map = g.at(document::objectInWindow(rt, fig, tags::kAudienceMap));
    ASSERT_EQ(map.text("cdatamapping"), "direct");
    const Matrix& xs = map.matrix("xdata");
    const Matrix& ys = map.matrix("ydata");
    const Matrix& counts = map.matrix("cdata");
    const Matrix& table = g.at(fig).matrix("colormap");
    ASSERT_GT(table.rows, 40u) << a.what;

    QImage img(640, 560, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
      QPainter painter(&img);
      qt::PainterCanvas canvas(painter, 640, 560);
      ASSERT_TRUE(canvas.paintsTableTriangles());
      renderFigure(g, fig, canvas);
    }
    const AxesMapping m = axesMapping(g, axes, 640, 560);
    // Where the grid of an area that is not convex folds over itself, two cells cover a pixel and show
    // their sum: judged are pixels well inside one cell only.
    std::vector<int> cover(640 * 560, 0);
    const auto inTriangle = [](QPointF p, QPointF a, QPointF b, QPointF c) {
      const auto side = [&](QPointF u, QPointF v) { return (v.x() - u.x()) * (p.y() - u.y()) - (v.y() - u.y()) * (p.x() - u.x()); };
      const double s1 = side(a, b), s2 = side(b, c), s3 = side(c, a);
      // Strictly: a centre on the map's outline falls to it or not by the rule that shares edges out.
      return (s1 > 1e-9 && s2 > 1e-9 && s3 > 1e-9) || (s1 < -1e-9 && s2 < -1e-9 && s3 < -1e-9);
    };
    for (std::size_t r = 0; r + 1 < xs.rows; ++r) {
      for (std::size_t c = 0; c + 1 < xs.cols; ++c) {
        const auto at = [&](std::size_t i, std::size_t j) { return QPointF(m.toPixelX(xs(i, j)), m.toPixelY(ys(i, j))); };
        const QPointF q[4] = {at(r, c), at(r + 1, c), at(r + 1, c + 1), at(r, c + 1)};
        const QRectF box = QPolygonF({q[0], q[1], q[2], q[3]}).boundingRect();
        for (int y = std::max(0, static_cast<int>(box.top())); y <= std::min(559, static_cast<int>(box.bottom())); ++y)
          for (int x = std::max(0, static_cast<int>(box.left())); x <= std::min(639, static_cast<int>(box.right())); ++x) {
            const QPointF centre(x + 0.5, y + 0.5);
            cover[y * 640 + x] += inTriangle(centre, q[0], q[1], q[2]) || inTriangle(centre, q[0], q[2], q[3]);
          }
      }
    }
    int judged = 0, uniform = 0, wrong = 0;
    for (std::size_t r = 1; r + 1 < xs.rows; ++r) {
      for (std::size_t c = 1; c + 1 < xs.cols; ++c) {
        const double px = m.toPixelX(xs(r, c)), py = m.toPixelY(ys(r, c));
        const double own = counts(r, c);
        double reach = 0;  // how far the count can rise from the point to the centre of its pixel
        bool clear = std::isfinite(own) && own >= 1;
        for (int dr = -1; dr <= 1 && clear; ++dr) {
          for (int dc = -1; dc <= 1 && clear; ++dc) {
            if (dr == 0 && dc == 0) continue;
            const std::size_t nr = r + dr, nc = c + dc;
            const double pixels = std::hypot(m.toPixelX(xs(nr, nc)) - px, m.toPixelY(ys(nr, nc)) - py);
            clear = std::isfinite(counts(nr, nc)) && counts(nr, nc) >= own && pixels > 0;
            if (clear) reach = std::max(reach, (counts(nr, nc) - own) * 0.71 / pixels);
          }
        }
        if (!clear || reach >= 0.5) continue;
        if (cover[static_cast<int>(py) * 640 + static_cast<int>(px)] != 1) continue;
        ++judged;
        uniform += reach == 0;
        const Rgb want = colormapRow(table, static_cast<std::size_t>(own) - 1);
        const QColor got = img.pixelColor(static_cast<int>(px), static_cast<int>(py));
        const auto off = [](double want, int got) { return std::abs(want * 255 - got) > 1; };
        if (off(want.r, got.red()) || off(want.g, got.green()) || off(want.b, got.blue())) ++wrong;
      }
    }
    EXPECT_GT(judged - uniform, 300) << a.what;
    EXPECT_GT(uniform, 300) << a.what;
    EXPECT_EQ(wrong, 0) << a.what;
  }
}

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

// The screen paints a map of few bands (an L room: long strips of one count, a few diagonal borders)
// pixel by pixel too: inside the audience area every pixel is exactly one of the table's rows, with no
// paper between strips and no blend at their borders.
TEST_F(MapPaint, TheScreenPaintsAMapOfFewBandsInExactTableColours) {
  test_support::qtApplication();
  const Handle fig = openMainWindow();
  document::CaseDescription d;
  d.xwall = std::vector<double>{0, 10, 10, 5, 5, 0};
  d.ywall = std::vector<double>{0, 0, 10, 10, 5, 5};
  d.alpha = std::vector<double>(6, 20.0);
  d.xaud = {0.5, 9.5, 9.5, 0.5};
  d.yaud = {0.5, 0.5, 9.5, 9.5};
  d.xso = 2;
  d.yso = 2;
  d.Nsurface = 100;
  shell::velmoracopy(rt, ops, {Value("update"), d.toValue()});
  Graphics& g = rt.graphics();
  // The map alone: lines and the scale bar's text cross it.
  for (Handle h : g.findIf(fig, [](const GraphicsObject& o) {
         return o.type() == ObjectType::Line || o.type() == ObjectType::Text;
       }))
    g.set(h, "visible", Value("off"));
  const Matrix& table = g.at(fig).matrix("colormap");
  std::vector<QRgb> rows;
  for (std::size_t r = 0; r < table.rows; ++r) {
    const Rgb c = colormapRow(table, r);
    rows.push_back(qRgb(static_cast<int>(std::lround(c.r * 255)), static_cast<int>(std::lround(c.g * 255)),
                        static_cast<int>(std::lround(c.b * 255))));
  }
  QImage img(640, 560, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter painter(&img);
    qt::PainterCanvas canvas(painter, 640, 560);
    canvas.setEveryMapByPixel(true);
    renderFigure(g, fig, canvas);
  }
  const AxesMapping m = axesMapping(g, document::drawingAxes(rt, fig), 640, 560);
  int inside = 0, other = 0;
  std::set<QRgb> seen;
  for (int y = static_cast<int>(m.toPixelY(9.45)) + 1; y < m.toPixelY(0.55) - 1; ++y) {
    for (int x = static_cast<int>(m.toPixelX(0.55)) + 1; x < m.toPixelX(9.45) - 1; ++x) {
      // The corner cut out of the L is outside the room: no map there.
      if (m.toDataX(x + 0.5) < 5.05 && m.toDataY(y + 0.5) > 4.95) continue;
      ++inside;
      const QRgb c = img.pixel(x, y);
      if (std::find(rows.begin(), rows.end(), c) == rows.end()) {
        ++other;
      } else {
        seen.insert(c);
      }
    }
  }
  EXPECT_GT(inside, 100000);
  EXPECT_GE(seen.size(), 4u);  // counts 1 to 4 over the room
  EXPECT_EQ(other, 0);
}

}  // namespace
}  // namespace velmora::platform
