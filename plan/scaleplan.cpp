#include "plan/scaleplan.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "document/drawing_objects.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/files/output_file.h"
#include "platform/render/ps_canvas.h"
#include "platform/render/render.h"

namespace velmora::plan {

using document::createObject;
using document::setProperties;
using engine::Point;
using platform::Handle;
using platform::ObjectType;
using platform::Value;

namespace {

constexpr double kPointsPerCm = 72 / 2.54;
constexpr double kPixelsPerPoint = 96.0 / 72.0;  // the renderer's pixel
constexpr const char* kLabelFont = "Times New Roman";
constexpr double kLabelSize = 10;

}  // namespace

const std::vector<double>& standardScales() {
  static const std::vector<double> scales = [] {
    std::set<int> s;
    for (int v = 5; v <= 100; v += 5) s.insert(v);
    for (int v = 125; v <= 4000; v += 125) s.insert(v);
    for (int v = 100; v <= 4000; v += 100) s.insert(v);
    return std::vector<double>(s.begin(), s.end());
  }();
  return scales;
}

std::optional<double> standardScale(double fac) {
  for (double d : standardScales())
    if (d > fac) return d;
  return std::nullopt;
}

PlanLayout planLayout(const std::vector<Point>& vertices) {
  if (vertices.empty()) throw Error("no room to print");
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  for (const Point& p : vertices) {
    xmin = std::min(xmin, p.x);
    xmax = std::max(xmax, p.x);
    ymin = std::min(ymin, p.y);
    ymax = std::max(ymax, p.y);
  }
  ymin -= 0.1 * (ymax - ymin);  // room for the texts below the plan
  PlanLayout l;
  l.xmean = (xmin + xmax) / 2;
  l.ymean = (ymin + ymax) / 2;
  l.dx = 1.05 * (xmax - xmin);
  l.dy = 1.05 * (ymax - ymin);
  // A flat outline still needs some paper in both directions.
  const double least = std::max({l.dx, l.dy, 1.0}) * 1e-3;
  l.dx = std::max(l.dx, least);
  l.dy = std::max(l.dy, least);
  l.landscape = l.dx > l.dy;
  const double w = kSheetWidth - 2 * kSheetMargin, h = kSheetHeight - 2 * kSheetMargin;
  l.psize = l.landscape ? std::array<double, 2>{h, w} : std::array<double, 2>{w, h};
  l.fac = std::max(100 * l.dx / l.psize[0], 100 * l.dy / l.psize[1]);
  const auto d = standardScale(l.fac);
  if (!d) {
    throw Error("the plan is too large for an A4 sheet at 1:4000 (it would need 1:" +
                platform::formatNumber(std::ceil(l.fac)) + ")");
  }
  l.denominator = *d;
  const double sw = 100 * l.dx / l.denominator, sh = 100 * l.dy / l.denominator;
  l.paperposition = {kSheetMargin + l.psize[0] / 2 - sw / 2, kSheetMargin + l.psize[1] / 2 - sh / 2, sw, sh};
  return l;
}

LabelChoice absorptionLabelling(const std::vector<double>& alpha) {
  std::vector<double> rest;
  for (double a : alpha)
    if (a != 100) rest.push_back(a);
  LabelChoice c;
  if (rest.empty()) {
    c.labels = AbsorptionLabels::Note;
    c.common = 100;
  } else if (std::all_of(rest.begin(), rest.end(), [&](double a) { return a == rest.front(); })) {
    c.labels = rest.front() == 0 ? AbsorptionLabels::None : AbsorptionLabels::Note;
    c.common = rest.front();
  } else {
    c.ask = true;
  }
  return c;
}

Handle buildScalePlan(platform::Runtime& rt, const std::vector<Point>& vertices,
                      const std::vector<double>& alpha, AbsorptionLabels labels, const std::string& title,
                      const PlanLayout& layout) {
  platform::Graphics& g = rt.graphics();
  const Handle previous = g.currentFigure();
  const Handle fig = g.create(ObjectType::Figure, platform::kRoot);
  setProperties(g, fig,
                {{"visible", "off"},
                 {"tag", "scaleplan"},
                 {"color", "w"},
                 {"paperunits", "centimeters"},
                 {"papertype", "a4"},
                 {"paperorientation", layout.landscape ? "landscape" : "portrait"},
                 {"paperposition", Value::row({layout.paperposition[0], layout.paperposition[1],
                                               layout.paperposition[2], layout.paperposition[3]})}});
  const Handle axes = createObject(g, ObjectType::Axes, fig, {{"position", Value::row({0, 0, 1, 1})}});
  const std::size_t n = vertices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Point a = vertices[i], b = vertices[(i + 1) % n];
    const double al = i < alpha.size() ? alpha[i] : 0;
    createObject(g, ObjectType::Line, axes,
                 {{"xdata", Value::row({a.x, b.x})},
                  {"ydata", Value::row({a.y, b.y})},
                  {"color", "k"},
                  {"linewidth", 1.0},
                  {"linestyle", al == 100 ? ":" : "-"},
                  {"tag", "scaleplanwall"}});
  }
  std::vector<double> xs, ys;
  for (const Point& p : vertices) {
    xs.push_back(p.x);
    ys.push_back(p.y);
  }
  createObject(g, ObjectType::Line, axes,
               {{"xdata", Value::row(xs)},
                {"ydata", Value::row(ys)},
                {"linestyle", "none"},
                {"marker", "."},
                {"color", "k"},
                {"tag", "scaleplanvertex"}});
  if (labels == AbsorptionLabels::PerWall) {
    for (std::size_t i = 0; i < n && i < alpha.size(); ++i) {
      if (alpha[i] == 0 || alpha[i] == 100) continue;
      const Point p1 = vertices[i], p2 = vertices[(i + 1) % n];
      const double a = p1.y - p2.y, b = p2.x - p1.x;
      createObject(g, ObjectType::Text, axes,
                   {{"position", Value::row({(p1.x + p2.x) / 2, (p1.y + p2.y) / 2, 0})},
                    {"string", platform::formatNumber(alpha[i])},
                    {"fontname", kLabelFont},
                    {"fontsize", kLabelSize},
                    {"horizontalalignment", a > 0 ? "left" : (a == 0 ? "center" : "right")},
                    {"verticalalignment", b > 0 ? "bottom" : (b == 0 ? "middle" : "top")},
                    {"tag", "scaleplanlabel"}});
    }
  }
  setProperties(g, axes,
                {{"box", "on"},
                 {"dataaspectratio", Value::row({1, 1, 1})},
                 {"xlim", Value::row({layout.xmean - layout.dx / 2, layout.xmean + layout.dx / 2})},
                 {"ylim", Value::row({layout.ymean - layout.dy / 2, layout.ymean + layout.dy / 2})},
                 {"xtick", Value(platform::Matrix{})},
                 {"ytick", Value(platform::Matrix{})}});
  createObject(g, ObjectType::Text, axes,
               {{"units", "normalized"},
                {"position", Value::row({0, 0, 0})},
                {"string", title},
                {"fontname", kLabelFont},
                {"fontsize", kLabelSize},
                {"horizontalalignment", "left"},
                {"verticalalignment", "bottom"},
                {"tag", "scaleplantitle"}});
  createObject(g, ObjectType::Text, axes,
               {{"units", "normalized"},
                {"position", Value::row({1, 0, 0})},
                {"string", "scale 1:" + platform::formatNumber(layout.denominator) + " "},
                {"fontname", kLabelFont},
                {"fontsize", kLabelSize},
                {"horizontalalignment", "right"},
                {"verticalalignment", "bottom"},
                {"tag", "scaleplanscale"}});
  // The sheet is never shown: the window that was current stays current.
  if (previous != platform::kNoHandle && g.exists(previous)) g.setCurrentFigure(previous);
  return fig;
}

void printScalePlan(const platform::Graphics& g, Handle sheet, const std::string& path) {
  const platform::GraphicsObject& fig = g.at(sheet);
  const bool landscape = platform::lower(fig.text("paperorientation")) == "landscape";
  const double pageW = (landscape ? kSheetHeight : kSheetWidth) * kPointsPerCm;
  const double pageH = (landscape ? kSheetWidth : kSheetHeight) * kPointsPerCm;
  const auto pos = fig.numbers("paperposition");  // centimetres from the lower left corner
  const double px = kPointsPerCm * kPixelsPerPoint;
  const platform::PixelRect rect{pos.at(0) * px, pageH * kPixelsPerPoint - (pos.at(1) + pos.at(3)) * px,
                                 pos.at(2) * px, pos.at(3) * px};
  platform::OutputFile out(path);
  {
    platform::PsCanvas canvas(out.stream(), pageW * kPixelsPerPoint, pageH * kPixelsPerPoint, pageW, pageH,
                              false);
    for (Handle axes : fig.children()) {
      if (g.at(axes).type() == ObjectType::Axes) platform::renderAxes(g, axes, canvas, rect);
    }
    canvas.finish();
  }
  out.commit();
}

void scaleplan(platform::Runtime& rt) {
  const Handle fig = document::currentMainWindow(rt);
  const engine::Walls walls = document::wallGeometry(rt, fig);
  std::vector<Point> vertices;
  for (const auto& w : walls) vertices.push_back({w.x1, w.y1});
  const std::vector<double> alpha = document::wallAbsorptions(rt, fig);
  const std::string name = document::readCase(rt, fig).name;
  const PlanLayout layout = planLayout(vertices);  // a plan too large fails before any question

  LabelChoice choice = absorptionLabelling(alpha);
  if (choice.ask) {
    const auto answer = rt.ui().question(
        {" Display absorption coefficient ?", "Absorption coefficient", {"Yes", "No", "Cancel"}, "Yes"});
    if (!answer || *answer == "Cancel") return;
    choice.labels = *answer == "Yes" ? AbsorptionLabels::PerWall : AbsorptionLabels::None;
  }
  const std::string note = choice.labels == AbsorptionLabels::Note
                               ? " (\\alpha=" + platform::formatNumber(choice.common) + ")"
                               : "";
  const std::string title = name == "not saved" ? note : name + " " + note;

  // No printer on this platform: the sheet goes to a PostScript file.
  const auto file =
      rt.ui().saveFile({"*.ps", "Print true scale plan", (name == "not saved" ? "plan" : name) + ".ps"});
  if (!file) return;
  std::string path = file->path();
  if (platform::lower(std::filesystem::path(file->file).extension().string()) != ".ps") path += ".ps";

  const Handle sheet = buildScalePlan(rt, vertices, alpha, choice.labels, title, layout);
  try {
    printScalePlan(rt.graphics(), sheet, path);
  } catch (...) {
    if (rt.graphics().exists(sheet)) rt.graphics().remove(sheet);
    throw;
  }
  if (rt.graphics().exists(sheet)) rt.graphics().remove(sheet);
  rt.console("true scale plan (1:" + platform::formatNumber(layout.denominator) + ") written to " + path);
}

void registerScalePlanOperations(document::Operations& ops) {
  ops.add(document::makeOperation("scaleplan", 0, 0, document::withoutArguments(scaleplan)));
}

}  // namespace velmora::plan
