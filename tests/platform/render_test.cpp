#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/render/canvas.h"
#include "platform/model/colormaps.h"
#include "platform/model/error.h"
#include "platform/model/graphics.h"
#include "platform/model/label_markup.h"
#include "platform/files/output_file.h"
#include "platform/render/pcx.h"
#include "platform/render/render.h"

namespace velmora::platform {
namespace {

// Records what the renderer draws: each primitive with its colour and points.
class RecordingCanvas : public Canvas {
 public:
  struct Item {
    std::string kind;  // "line", "fill", "shaded", "text"
    Rgb color;
    std::vector<Point> points;
    std::string text;
  };

  explicit RecordingCanvas(bool smooth = true, bool clips = true) : smooth_(smooth), clips_(clips) {}
  double width() const override { return 640; }
  double height() const override { return 560; }
  void setClip(const std::optional<PixelRect>&) override {}
  void polyline(std::span<const Point> pts, const Stroke& s) override {
    items.push_back({"line", s.color, {pts.begin(), pts.end()}, ""});
  }
  void polygon(std::span<const Point> pts, const std::optional<Rgb>& fill,
               const std::optional<Stroke>& edge) override {
    if (fill) items.push_back({"fill", *fill, {pts.begin(), pts.end()}, ""});
    if (edge) items.push_back({"edge", edge->color, {pts.begin(), pts.end()}, ""});
  }
  void shadedTriangles(std::span<const ShadedTriangle> tris) override {
    for (const auto& t : tris) items.push_back({"shaded", t.v[0].color, {t.v[0].p, t.v[1].p, t.v[2].p}, ""});
  }
  bool smoothShading() const override { return smooth_; }
  bool clipsItself() const override { return clips_; }
  TextMetrics measureText(std::string_view s, const Font& f) override {
    return {0.5 * f.size * static_cast<double>(s.size()), 0.8 * f.size, 0.2 * f.size};
  }
  void text(Point o, std::string_view s, const Font&, const Rgb& c, double) override {
    items.push_back({"text", c, {o}, std::string(s)});
  }

  // Index of the first item of a kind and colour, or -1.
  int firstIndex(const std::string& kind, const Rgb& c) const {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i].kind == kind && items[i].color == c) return static_cast<int>(i);
    }
    return -1;
  }

  std::vector<Item> items;

 private:
  bool smooth_;
  bool clips_;
};

double polygonArea(const std::vector<Point>& p) {
  double a = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const Point& u = p[i];
    const Point& v = p[(i + 1) % p.size()];
    a += u.x * v.y - v.x * u.y;
  }
  return std::abs(a) / 2;
}

const Rgb kRed{1, 0, 0}, kGreen{0, 1, 0}, kBlue{0, 0, 1}, kBlack{0, 0, 0}, kYellow{1, 1, 0};

// A 640 x 560 window with the main drawing area of a 20 m zone: equal scale, limits (0, 20) x (-10, 10).
struct Scene {
  Graphics g;
  Handle fig, axes;
  Scene() {
    fig = g.create(ObjectType::Figure, kRoot);
    g.setRow(fig, "position", {0, 0, 640, 560});
    axes = g.create(ObjectType::Axes, fig);
    g.setRow(axes, "position", {0, 0.05, 0.9, 0.9});
    g.setRow(axes, "dataaspectratio", {1, 1, 1});
    g.setRow(axes, "xlim", {0, 20});
    g.setRow(axes, "ylim", {-10, 10});
    g.set(axes, "xtick", Matrix{});
    g.set(axes, "ytick", Matrix{});
    g.setText(axes, "box", "on");
  }
  Handle line(std::vector<double> x, std::vector<double> y, const char* color, double z = 0) {
    const Handle h = g.create(ObjectType::Line, axes);
    g.setRow(h, "xdata", x);
    g.setRow(h, "ydata", y);
    if (z != 0) g.setRow(h, "zdata", std::vector<double>(x.size(), z));
    g.setText(h, "color", color);
    return h;
  }
  Handle marker(double x, double y, const char* shape, const char* face) {
    const Handle h = line({x}, {y}, "k");
    g.setText(h, "marker", shape);
    g.setText(h, "markerfacecolor", face);
    g.setNumber(h, "markersize", 8);
    return h;
  }
  // A 3 x 3 grid surface over (x0..x0+4, y0..y0+4) with colour values c (column-major) and clim (0, 4).
  Handle surface(double x0, double y0, std::vector<double> c, double z = -0.01) {
    const Handle h = g.create(ObjectType::Surface, axes);
    Matrix xm = Matrix::zeros(3, 3), ym = Matrix::zeros(3, 3), zm = Matrix::zeros(3, 3);
    for (std::size_t r = 0; r < 3; ++r) {
      for (std::size_t k = 0; k < 3; ++k) {
        xm(r, k) = x0 + 2.0 * k;
        ym(r, k) = y0 + 2.0 * r;
        zm(r, k) = z;
      }
    }
    g.set(h, "xdata", xm);
    g.set(h, "ydata", ym);
    g.set(h, "zdata", zm);
    g.set(h, "cdata", Matrix{3, 3, std::move(c), 1});
    g.setText(h, "facecolor", "interp");
    g.setText(h, "edgecolor", "none");
    g.setRow(axes, "clim", {0, 4});
    return h;
  }
  AxesMapping map() const { return axesMapping(g, axes, 640, 560); }
};

TEST(AxesMappingTest, EqualAspectShrinksTheLongSideAndCentres) {
  struct Row {
    std::vector<double> xlim, ylim;
    bool equal;
    PixelRect box;
  };
  // The position (0, 0.05, 0.9, 0.9) of a 640 x 560 window is x 0..576, y 28..532 (504 high).
  const Row rows[] = {
      {{0, 20}, {-10, 10}, true, {36, 28, 504, 504}},  // square data: width shrinks to 504
      {{0, 40}, {0, 10}, true, {0, 208, 576, 144}},    // wide data: height shrinks to 576 / 4
      {{0, 10}, {0, 40}, true, {225, 28, 126, 504}},   // tall data: width shrinks to 504 / 4
      {{0, 40}, {0, 10}, false, {0, 28, 576, 504}},    // no equal scale: the whole position
  };
  for (const Row& r : rows) {
    Scene s;
    s.g.setRow(s.axes, "xlim", r.xlim);
    s.g.setRow(s.axes, "ylim", r.ylim);
    if (!r.equal) s.g.setText(s.axes, "dataaspectratiomode", "auto");
    const AxesMapping m = s.map();
    EXPECT_NEAR(m.box.x, r.box.x, 1e-9) << r.xlim[1];
    EXPECT_NEAR(m.box.y, r.box.y, 1e-9) << r.xlim[1];
    EXPECT_NEAR(m.box.width, r.box.width, 1e-9) << r.xlim[1];
    EXPECT_NEAR(m.box.height, r.box.height, 1e-9) << r.xlim[1];
    // Round trip and orientation: y grows upwards on screen.
    EXPECT_NEAR(m.toDataX(m.toPixelX(3.25)), 3.25, 1e-9);
    EXPECT_NEAR(m.toDataY(m.toPixelY(-1.5)), -1.5, 1e-9);
    EXPECT_LT(m.toPixelY(r.ylim[1]), m.toPixelY(r.ylim[0]));
    if (r.equal) {
      EXPECT_NEAR(m.box.width / (r.xlim[1] - r.xlim[0]), m.box.height / (r.ylim[1] - r.ylim[0]), 1e-9);
    }
  }
}

TEST(AxesMappingTest, ReversedDirectionsFlipTheMappingAndItsInverse) {
  Scene s;
  s.g.setText(s.axes, "ydir", "reverse");
  const AxesMapping m = s.map();
  EXPECT_GT(m.toPixelY(5), m.toPixelY(-5));  // larger y lower on the screen, as image rows
  EXPECT_NEAR(m.toPixelY(m.ymin), m.box.y, 1e-9);
  EXPECT_NEAR(m.toDataY(m.toPixelY(2.75)), 2.75, 1e-9);
  s.g.setText(s.axes, "xdir", "reverse");
  const AxesMapping r = s.map();
  EXPECT_NEAR(r.toPixelX(r.xmax), r.box.x, 1e-9);
  EXPECT_NEAR(r.toDataX(r.toPixelX(7.5)), 7.5, 1e-9);
  // A press lands on what is drawn there.
  const Handle dot = s.marker(15, 5, "o", "r");
  EXPECT_EQ(hitTest(s.g, s.fig, r.toPixelX(15), r.toPixelY(5), 640, 560), dot);
}

TEST(HitTest, FindsTheTopmostObjectUnderThePointer) {
  Scene s;
  const Handle xaxis = s.line({-100000, 100000}, {0, 0}, "k", -2);
  const Handle map = s.surface(10, 2, {0, 0, 0, 2, 2, 2, 4, 4, 4});
  const Handle wall = s.line({2, 18}, {-8, -8}, "k");
  const Handle source = s.marker(5, -4, "o", "r");
  const Handle grid = s.marker(8, -4, ".", "k");
  s.g.setText(grid, "hittest", "off");
  const Handle hidden = s.marker(12, -4, "o", "g");
  s.g.setText(hidden, "visible", "off");
  const Handle over = s.marker(12, 4, "square", "b");  // on top of the map
  const AxesMapping m = s.map();
  auto at = [&](double x, double y, double dx = 0, double dy = 0) {
    return hitTest(s.g, s.fig, m.toPixelX(x) + dx, m.toPixelY(y) + dy, 640, 560);
  };
  struct Row {
    const char* what;
    Handle got, want;
  };
  const Row rows[] = {
      {"marker centre", at(5, -4), source},
      {"marker rim", at(5, -4, 6, 0), source},
      {"beside the marker", at(5, -4, 12, 0), s.axes},
      {"two pixels from the wall", at(10, -8, 0, 2), wall},
      {"inside the map", at(11, 3), map},
      {"marker drawn over the map", at(12, 4), over},
      {"axis line", at(15, 0, 0, -1), xaxis},
      {"axis line beyond the box", hitTest(s.g, s.fig, 600, m.toPixelY(0), 640, 560), s.fig},
      {"hit test off: the axes below", at(8, -4), s.axes},
      {"hidden marker", at(12, -4), s.axes},
      {"outside every axes", hitTest(s.g, s.fig, 620, 5, 640, 560), s.fig},
  };
  for (const Row& r : rows) EXPECT_EQ(r.got, r.want) << r.what;

  // Objects that ignore the pointer let it through to what lies below.
  s.g.setText(over, "hittest", "off");
  EXPECT_EQ(at(12, 4), map);
  s.g.setText(map, "hittest", "off");
  EXPECT_EQ(at(12, 4), s.axes);
  s.g.setText(s.axes, "hittest", "off");
  EXPECT_EQ(at(12, 4), s.fig);
}

TEST(Render, DepthFirstThenStackingOrderWithTheFirstChildOnTop) {
  Scene s;
  // Each new child becomes the first child, on top of its equal-depth siblings.
  s.line({1, 19}, {5, 5}, "g");                // depth 0, older: below red
  s.line({-100000, 100000}, {0, 0}, "b", -2);  // deepest: drawn first although newer than green
  s.line({1, 19}, {6, 6}, "r");                // depth 0, newer: on top of green
  s.line({1, 19}, {7, 7}, "y", 1);             // in front of everything
  RecordingCanvas canvas;
  renderFigure(s.g, s.fig, canvas);
  const int blue = canvas.firstIndex("line", kBlue), green = canvas.firstIndex("line", kGreen);
  const int red = canvas.firstIndex("line", kRed), yellow = canvas.firstIndex("line", kYellow);
  ASSERT_GE(blue, 0);
  EXPECT_LT(blue, green);
  EXPECT_LT(green, red);
  EXPECT_LT(red, yellow);

  // Reordering the children changes which of the equal-depth lines is on top.
  auto kids = s.g.at(s.axes).children();
  std::reverse(kids.begin(), kids.end());
  s.g.setChildren(s.axes, kids);
  RecordingCanvas again;
  renderFigure(s.g, s.fig, again);
  EXPECT_LT(again.firstIndex("line", kRed), again.firstIndex("line", kGreen));
}

TEST(Render, HiddenObjectsAndInvisibleAxes) {
  Scene s;
  const Handle l = s.line({1, 19}, {5, 5}, "r");
  s.g.setText(l, "visible", "off");
  s.line({1, 19}, {6, 6}, "g");
  RecordingCanvas canvas;
  renderFigure(s.g, s.fig, canvas);
  EXPECT_EQ(canvas.firstIndex("line", kRed), -1);
  EXPECT_GE(canvas.firstIndex("line", kGreen), 0);
  // The frame is drawn in black while the axes is visible; a hidden axes still shows its children.
  EXPECT_GE(canvas.firstIndex("line", kBlack), 0);
  s.g.setText(s.axes, "visible", "off");
  RecordingCanvas hidden;
  renderFigure(s.g, s.fig, hidden);
  EXPECT_EQ(hidden.firstIndex("line", kBlack), -1);
  EXPECT_GE(hidden.firstIndex("line", kGreen), 0);
}

// A canvas that clips gets far lines trimmed to a guard frame one canvas size around the box, so no huge
// coordinates reach it; one that cannot clip gets them cut at the box exactly.
TEST(Render, FarLinesAreClippedNearTheBox) {
  for (bool clips : {true, false}) {
    Scene s;
    s.line({-100000, 100000}, {0, 0}, "r", -2);
    RecordingCanvas canvas(true, clips);
    renderFigure(s.g, s.fig, canvas);
    const int i = canvas.firstIndex("line", kRed);
    ASSERT_GE(i, 0);
    const AxesMapping m = s.map();
    const double reach = clips ? 640 : 0;
    const auto& points = canvas.items[static_cast<std::size_t>(i)].points;
    ASSERT_EQ(points.size(), 2u);
    EXPECT_NEAR(points[0].x, m.box.x - reach, 1e-6) << clips;
    EXPECT_NEAR(points[1].x, m.box.x + m.box.width + reach, 1e-6) << clips;
    for (const Point& p : points) EXPECT_NEAR(p.y, m.toPixelY(0), 1e-9);
  }
}

TEST(Render, MarkersAreShapesAtTheirPoints) {
  Scene s;
  const AxesMapping m = s.map();
  struct Row {
    const char* shape;
    std::size_t corners;  // polygon corners, 0 for a circle
  };
  const Row rows[] = {{"square", 4}, {"pentagram", 10}, {"diamond", 4}, {"^", 3},
                      {"v", 3},      {"o", 0},          {".", 0}};
  for (const Row& r : rows) {
    Scene one;
    one.marker(5, -4, r.shape, "r");
    RecordingCanvas canvas;
    renderFigure(one.g, one.fig, canvas);
    const int i = canvas.firstIndex("fill", kRed);
    ASSERT_GE(i, 0) << r.shape;
    const auto& pts = canvas.items[static_cast<std::size_t>(i)].points;
    if (r.corners) {
      EXPECT_EQ(pts.size(), r.corners) << r.shape;
    } else {
      EXPECT_GE(pts.size(), 12u) << r.shape;
    }
    double cx = 0, cy = 0;
    for (const Point& p : pts) {
      cx += p.x / static_cast<double>(pts.size());
      cy += p.y / static_cast<double>(pts.size());
    }
    EXPECT_NEAR(cx, m.toPixelX(5), 1.5) << r.shape;
    EXPECT_NEAR(cy, m.toPixelY(-4), 1.5) << r.shape;
  }
}

TEST(Render, NanColourDataIsNotDrawn) {
  Scene s;
  const double nan = std::nan("");
  s.surface(2, 2, {nan, nan, nan, nan, nan, nan, nan, nan, nan});
  RecordingCanvas canvas;
  renderFigure(s.g, s.fig, canvas);
  for (const auto& item : canvas.items) EXPECT_NE(item.kind, "shaded");
  // One NaN corner removes only the cell around it: of 4 cells, the 3 away from corner (2, 2) remain.
  Scene t;
  t.surface(2, 2, {0, 0, 0, 0, 0, 0, 0, 0, nan});
  RecordingCanvas partial;
  renderFigure(t.g, t.fig, partial);
  const Rgb background{1, 1, 1};
  double area = 0;
  for (const auto& item : partial.items) {
    if (item.kind != "fill" || item.color == background || item.color == Rgb{0.8, 0.8, 0.8}) continue;
    area += polygonArea(item.points);
  }
  const AxesMapping m = t.map();
  const double cell =
      std::abs((m.toPixelX(2) - m.toPixelX(0)) * (m.toPixelY(2) - m.toPixelY(0)));  // 2 m cells
  EXPECT_NEAR(area, 3 * cell, 0.01 * cell);
}

TEST(Render, InterpolatedFacesFollowTheColourTable) {
  // The colour bar: a patch from value 0 at the bottom to 4 at the top, clim (0, 4), a 256-row table.
  Scene s;
  s.g.set(s.fig, "colormap", jetColormap());
  const Handle bar = s.g.create(ObjectType::Patch, s.axes);
  s.g.setRow(bar, "xdata", {0, 20, 20, 0});
  s.g.setRow(bar, "ydata", {-10, -10, 10, 10});
  s.g.setRow(bar, "cdata", {0, 0, 4, 4});
  s.g.setText(bar, "facecolor", "interp");
  s.g.setText(bar, "edgecolor", "none");
  s.g.setRow(s.axes, "clim", {0, 4});
  const Matrix jet = jetColormap();

  // On a canvas without smooth shading: flat bands, one per table row, from bottom to top.
  RecordingCanvas bands(false);
  renderFigure(s.g, s.fig, bands);
  std::vector<Rgb> colors;
  std::vector<double> heights;
  for (const auto& item : bands.items) {
    if (item.kind != "fill" || item.color == Rgb{1, 1, 1} || item.color == Rgb{0.8, 0.8, 0.8}) continue;
    double y = 0;
    for (const Point& p : item.points) y += p.y / static_cast<double>(item.points.size());
    colors.push_back(item.color);
    heights.push_back(y);
  }
  // The first triangle of the face crosses every row once, from the bottom up.
  ASSERT_GE(colors.size(), 256u);
  for (std::size_t i = 0; i < 256; ++i) EXPECT_EQ(colors[i], colormapRow(jet, i)) << i;
  for (std::size_t i = 1; i < 256; ++i) EXPECT_LT(heights[i], heights[i - 1]) << i;

  // A smooth canvas shows the same table lookup: indexed colours never blend between rows.
  RecordingCanvas smooth(true);
  renderFigure(s.g, s.fig, smooth);
  std::size_t smoothBands = 0;
  for (const auto& item : smooth.items) {
    EXPECT_NE(item.kind, "shaded");
    smoothBands += item.kind == "fill";
  }
  const auto bandFills =
      std::count_if(bands.items.begin(), bands.items.end(), [](const auto& i) { return i.kind == "fill"; });
  EXPECT_EQ(smoothBands, static_cast<std::size_t>(bandFills));
}

TEST(Render, CountsShowOneFlatColourEachWithDirectMapping) {
  // The reflection-count bar of a room where every point gets 0 to 4 reflections: a five-row table,
  // the bar's values from -0.5 to 4.5 scaled through its own limits, and a map whose values are
  // counts + 1 used directly as table rows.
  Scene s;
  Matrix table = Matrix::zeros(5, 3);
  for (std::size_t r = 0; r < 5; ++r) table(r, 0) = static_cast<double>(r) / 4;  // red ramps up
  s.g.set(s.fig, "colormap", Value(table));
  s.g.setRow(s.axes, "clim", {0, 1});  // limits the direct map must ignore
  const Handle map = s.surface(2, 2, {1, 1, 1, 3, 3, 3, 5, 5, 5});
  s.g.setText(map, "facecolor", "interp");
  s.g.setText(map, "cdatamapping", "direct");
  RecordingCanvas canvas;
  renderFigure(s.g, s.fig, canvas);
  std::vector<double> reds;
  for (const auto& item : canvas.items) {
    if (item.kind != "fill" || item.color.g != 0 || item.color.b != 0) continue;
    reds.push_back(item.color.r);
  }
  std::sort(reds.begin(), reds.end());
  reds.erase(std::unique(reds.begin(), reds.end()), reds.end());
  // Rows 1, 3 and 5 where the data are, row 2 and 4 on the way between them: every table colour, none else.
  EXPECT_EQ(reds, (std::vector<double>{0, 0.25, 0.5, 0.75, 1}));
}

TEST(Render, TextsWithMarkupAndTickLabels) {
  Scene s;
  const Handle t = s.g.create(ObjectType::Text, s.axes);
  s.g.setText(t, "string", "L_p^d = 70 dB");
  s.g.setText(t, "units", "normalized");
  s.g.setRow(t, "position", {0.5, 1.015});
  s.g.setText(t, "horizontalalignment", "center");
  s.g.setText(t, "verticalalignment", "bottom");
  s.g.setRow(s.axes, "ytick", {-10, 0, 10});
  RecordingCanvas canvas;
  renderFigure(s.g, s.fig, canvas);
  std::vector<std::string> texts;
  Point pOrigin, dOrigin, lOrigin;
  for (const auto& item : canvas.items) {
    if (item.kind != "text") continue;
    texts.push_back(item.text);
    if (item.text == "L") lOrigin = item.points[0];
    if (item.text == "p") pOrigin = item.points[0];
    if (item.text == "d") dOrigin = item.points[0];
  }
  for (const char* want : {"L", "p", "d", " = 70 dB", "-10", "0", "10"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), want), texts.end()) << want;
  }
  EXPECT_GT(pOrigin.y, lOrigin.y);  // subscript lowered
  EXPECT_LT(dOrigin.y, lOrigin.y);  // superscript raised
  // Bottom-aligned just above the box: the whole label stays above its top edge.
  EXPECT_LT(pOrigin.y, s.map().box.y);
}

TEST(LabelMarkup, Parses) {
  using S = MarkupRun::Shift;
  struct Row {
    const char* text;
    std::vector<MarkupRun> runs;
  };
  const Row rows[] = {
      {"plain", {{"plain", S::None}}},
      {"L_p", {{"L", S::None}, {"p", S::Subscript}}},
      {"L_p^d = 3 dB", {{"L", S::None}, {"p", S::Subscript}, {"d", S::Superscript}, {" = 3 dB", S::None}}},
      {"\\Delta_{R}=0", {{"\u0394", S::None}, {"R", S::Subscript}, {"=0", S::None}}},
      {"x^{10}y", {{"x", S::None}, {"10", S::Superscript}, {"y", S::None}}},
      {"\\alpha=5", {{"\u03B1=5", S::None}}},
      {"a_{\\alpha}", {{"a", S::None}, {"\u03B1", S::Subscript}}},
      {"10^\u00B0", {{"10", S::None}, {"\u00B0", S::Superscript}}},
      {"a\\_b", {{"a_b", S::None}}},
      {"\\unknown", {{"\\unknown", S::None}}},
      {"tail_", {{"tail_", S::None}}},
      {"x_{open", {{"x", S::None}, {"open", S::Subscript}}},
      {"", {}},
  };
  for (const Row& r : rows) EXPECT_EQ(parseLabelMarkup(r.text), r.runs) << r.text;
  EXPECT_EQ(plainLabel("a_b"), (std::vector<MarkupRun>{{"a_b", S::None}}));
}

TEST(Colormaps, Endpoints) {
  const Matrix jet = jetColormap();
  ASSERT_EQ(jet.rows, 256u);
  ASSERT_EQ(jet.cols, 3u);
  EXPECT_EQ(colormapRow(jet, 0), (Rgb{0, 0, 0.5}));    // dark blue
  EXPECT_EQ(colormapRow(jet, 255), (Rgb{0.5, 0, 0}));  // dark red
  // Through blue, cyan, yellow and red in that order.
  auto argmax = [&](auto pick) {
    std::size_t best = 0;
    for (std::size_t i = 0; i < 256; ++i) {
      if (pick(colormapRow(jet, i)) > pick(colormapRow(jet, best))) best = i;
    }
    return best;
  };
  const std::size_t blue = argmax([](Rgb c) { return c.b - c.r - c.g; });
  const std::size_t cyan = argmax([](Rgb c) { return c.b + c.g - c.r; });
  const std::size_t yellow = argmax([](Rgb c) { return c.r + c.g - c.b; });
  const std::size_t red = argmax([](Rgb c) { return c.r - c.g - c.b; });
  EXPECT_LT(blue, cyan);
  EXPECT_LT(cyan, yellow);
  EXPECT_LT(yellow, red);
  for (double v : jet.data) EXPECT_TRUE(v >= 0 && v <= 1);

  const Matrix gray = grayColormap();
  ASSERT_EQ(gray.rows, 256u);
  EXPECT_EQ(colormapRow(gray, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(colormapRow(gray, 255), (Rgb{1, 1, 1}));
  for (std::size_t i = 1; i < 256; ++i) EXPECT_GT(gray(i, 0), gray(i - 1, 0));
  EXPECT_EQ(jetColormap(64).rows, 64u);
}

// Decodes a 24-bit PCX picture as a reader would: header fields, then planes per line.
std::vector<std::uint8_t> decodePcx24(const std::vector<std::uint8_t>& f, int& w, int& h) {
  w = (f[8] | f[9] << 8) - (f[4] | f[5] << 8) + 1;
  h = (f[10] | f[11] << 8) - (f[6] | f[7] << 8) + 1;
  const int bpl = f[66] | f[67] << 8;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
  std::size_t pos = 128;
  for (int y = 0; y < h; ++y) {
    for (int p = 0; p < 3; ++p) {
      int x = 0;
      while (x < bpl) {
        std::uint8_t b = f.at(pos++);
        int n = 1;
        if ((b & 0xC0) == 0xC0) {
          n = b & 0x3F;
          b = f.at(pos++);
        }
        EXPECT_LE(x + n, bpl) << "a run crosses the end of a plane line";
        for (int k = 0; k < n && x < bpl; ++k, ++x) {
          if (x < w) rgb[(static_cast<std::size_t>(y) * w + x) * 3 + p] = b;
        }
      }
    }
  }
  EXPECT_EQ(pos, f.size());
  return rgb;
}

TEST(Pcx, EncodesRunsThatADecoderReadsBack) {
  // Odd width (a padded plane line), long runs, bytes that need a count prefix, and noise.
  const int w = 131, h = 7;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::size_t k = (static_cast<std::size_t>(y) * w + x) * 3;
      rgb[k] = y == 0 ? 0xFF : static_cast<std::uint8_t>(x * 7 + y);  // a 131-long run of 0xFF
      rgb[k + 1] = x < 70 ? 0xC1 : 0x00;
      rgb[k + 2] = static_cast<std::uint8_t>((x * 31 + y * 17) % 256);
    }
  }
  const auto file = encodePcx24(w, h, rgb);
  ASSERT_GE(file.size(), 128u);
  EXPECT_EQ(file[0], 0x0A);
  EXPECT_EQ(file[1], 5);
  EXPECT_EQ(file[3], 8);
  EXPECT_EQ(file[65], 3);
  EXPECT_EQ(file[66] | file[67] << 8, 132);  // even bytes per line
  int dw = 0, dh = 0;
  EXPECT_EQ(decodePcx24(file, dw, dh), rgb);
  EXPECT_EQ(dw, w);
  EXPECT_EQ(dh, h);
  EXPECT_THROW(encodePcx24(0, 5, {}), Error);
  EXPECT_THROW(encodePcx24(4, 4, rgb.size() > 10 ? std::span<const std::uint8_t>(rgb.data(), 10) : rgb),
               Error);
}

TEST(OutputFileTest, ReplacesOnlyWhenCompleteAndNamesTheFileOnError) {
  const auto dir = std::filesystem::temp_directory_path() / ("velmora_out_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "a.bin").string();
  {
    std::ofstream(path) << "old";
    OutputFile f(path);
    const std::uint8_t bytes[] = {'n', 'e', 'w'};
    f.write(bytes);
    // Until committed, the old file is intact; abandoning the new one keeps it.
  }
  std::ifstream in(path);
  std::string content;
  in >> content;
  EXPECT_EQ(content, "old");
  {
    OutputFile f(path);
    const std::uint8_t bytes[] = {'n', 'e', 'w'};
    f.write(bytes);
    f.commit();
  }
  std::ifstream again(path);
  again >> content;
  EXPECT_EQ(content, "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator{}),
            1);
  try {
    OutputFile bad((dir / "missing" / "x.jpg").string());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "cannot write file " + (dir / "missing" / "x.jpg").string() + ": No such file or directory");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velmora::platform
