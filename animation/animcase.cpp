#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "animation/animation.h"
#include "document/acoustics.h"
#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "engine/surface.h"
#include "platform/error.h"
#include "platform/numbers.h"

namespace velmora::animation {

using document::CaseRecord;
using document::createObject;
using document::Operations;
using platform::Graphics;
using platform::List;
using platform::Matrix;
using platform::MessageKind;
using platform::ObjectType;
using platform::Value;

namespace {

constexpr double kSplineGray = 0.43;
constexpr double kPolarMinDistance = 1;  // metres between the moving and the still object

void removeAll(Graphics& g, const std::vector<Handle>& handles) {
  for (Handle h : handles) {
    if (g.exists(h)) g.remove(h);
  }
}

void setVisible(Graphics& g, const std::vector<Handle>& handles, bool on) {
  for (Handle h : handles) {
    if (g.exists(h)) g.setText(h, "visible", on ? "on" : "off");
  }
}

bool reflectionShown(const Runtime& rt, Handle fig) {
  if (const auto button = document::findInWindow(rt, fig, tags::kSelectReflection)) {
    const auto v = rt.graphics().at(*button).numbers("value");
    return !v.empty() && v.front() == 1;
  }
  return document::readCase(rt, fig).displayvalue == "reflection";
}

Value rowOrEmpty(const std::vector<double>& v) {
  return v.empty() ? Value(Matrix{}) : Value::row(v);
}

// ---- path entry ----------------------------------------------------------------------------------

engine::Point nearestGridPoint(const Runtime& rt, Handle fig, engine::Point p) {
  engine::Point best = p;
  double bestDistance = std::numeric_limits<double>::infinity();
  for (Handle h : document::objectsByTag(rt, fig, tags::kGrid)) {
    const auto xs = rt.graphics().at(h).numbers("xdata");
    const auto ys = rt.graphics().at(h).numbers("ydata");
    for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
      const double d = std::hypot(xs[i] - p.x, ys[i] - p.y);
      if (d < bestDistance) {  // the first one on a tie
        bestDistance = d;
        best = {xs[i], ys[i]};
      }
    }
  }
  return best;
}

Handle startMarker(Graphics& g, Handle axes, double x, double y) {
  return createObject(g, ObjectType::Line, axes,
                      {{"xdata", Value(x)},
                       {"ydata", Value(y)},
                       {"linestyle", "none"},
                       {"marker", "."},
                       {"markersize", 20.0},
                       {"color", "k"},
                       {"tag", "startpoint"}});
}

Handle pathLine(Graphics& g, Handle axes, const std::vector<double>& x, const std::vector<double>& y) {
  return createObject(g, ObjectType::Line, axes,
                      {{"xdata", Value::row(x)},
                       {"ydata", Value::row(y)},
                       {"color", "k"},
                       {"linewidth", 1.0},
                       {"tag", "lines"}});
}

// The clicked path, or nothing when the user quits (middle button) or no more input can come.
std::optional<Path> pointerPath(Runtime& rt, Handle fig, Handle axes, bool spline) {
  auto& g = rt.graphics();
  const auto xl = g.at(axes).numbers("xlim");
  const auto yl = g.at(axes).numbers("ylim");
  const Handle instruction = createObject(
      g, ObjectType::Text, axes,
      {{"position", Value::row({(xl[0] + xl[1]) / 2, yl[1], 0})},
       {"string", Value(List{{Value("Set source or receptor path"),
                              Value("Left button to create a new point, right button to remove last point, "
                                    "middle button to quit, <E> to end")}})},
       {"fontname", "arial"},
       {"fontsize", 8.0},
       {"horizontalalignment", "center"},
       {"verticalalignment", "top"}});
  Path points;
  Handle start = platform::kNoHandle;
  std::vector<Handle> segments;  // oldest first
  Handle preview = platform::kNoHandle;
  Path previewPoints;
  const auto cleanUp = [&] {
    removeAll(g, {instruction, start, preview});
    removeAll(g, segments);
  };

  const std::size_t least = spline ? 3 : 2;
  while (true) {
    if (!g.exists(fig)) return std::nullopt;
    g.setCurrentFigure(fig);
    const auto in = rt.pointerInput();
    if (!in || in->button == 2) {
      cleanUp();
      return std::nullopt;
    }
    if (in->button == 0) {
      if (in->key != "e") continue;
      // A path needs a segment (a spline three points): the entry goes on until it has them.
      if (points.x.size() >= least) break;
      rt.ui().beep();
      continue;
    }
    engine::Point p{in->x, in->y};
    if (const auto snap = document::findInWindow(rt, fig, tags::kSnapButton)) {
      const auto v = g.at(*snap).numbers("value");
      if (!v.empty() && v.front() == 1) p = nearestGridPoint(rt, fig, p);
    }
    if (in->button == 1) {
      points.x.push_back(p.x);
      points.y.push_back(p.y);
      const std::size_t n = points.x.size();
      if (n == 1) {
        start = startMarker(g, axes, p.x, p.y);
      } else {
        segments.push_back(pathLine(g, axes, {points.x[n - 2], p.x}, {points.y[n - 2], p.y}));
      }
    } else if (in->button == 3) {
      if (points.x.size() > 1) {
        points.x.pop_back();
        points.y.pop_back();
        removeAll(g, {segments.back()});
        segments.pop_back();
      } else if (points.x.size() == 1) {
        points.x.clear();
        points.y.clear();
        removeAll(g, {start});
        start = platform::kNoHandle;
      }
    } else {
      continue;
    }
    removeAll(g, {preview});
    preview = platform::kNoHandle;
    previewPoints = {};
    if (spline && points.x.size() > 2) {
      previewPoints = splineCurve(points.x, points.y);
      preview = createObject(g, ObjectType::Line, axes,
                             {{"xdata", Value::row(previewPoints.x)},
                              {"ydata", Value::row(previewPoints.y)},
                              {"color", Value::row({kSplineGray, kSplineGray, kSplineGray})},
                              {"linewidth", 1.0},
                              {"tag", "spline"}});
    }
    // The segments go on top of the drawing.
    std::vector<Handle> order;
    for (Handle h : g.at(axes).children()) {
      if (g.at(h).tag() == "lines") order.push_back(h);
    }
    for (Handle h : g.at(axes).children()) {
      if (g.at(h).tag() != "lines") order.push_back(h);
    }
    g.setChildren(axes, order);
  }
  cleanUp();
  return spline ? previewPoints : points;
}

// The typed path, or nothing on cancel or "Quit".
std::optional<Path> manualPath(Runtime& rt, Handle axes) {
  auto& g = rt.graphics();
  Path current;
  while (true) {
    platform::InputDialog dialog;
    dialog.title = "Set path manually (fill at least 2 points)";
    for (std::size_t i = 0; i < 5; ++i) {
      dialog.prompts.push_back("Point " + std::to_string(i + 1) + ":");
      dialog.defaults.push_back(i < current.x.size() ? platform::formatNumber(current.x[i]) + " " +
                                                           platform::formatNumber(current.y[i])
                                                     : "");
    }
    const auto answer = rt.ui().input(dialog);
    if (!answer) return std::nullopt;
    current = {};
    for (const std::string& field : *answer) {
      const auto v = platform::readNumbers(field);
      if (!v || v->size() != 2 || !std::isfinite((*v)[0]) || !std::isfinite((*v)[1])) continue;
      current.x.push_back((*v)[0]);
      current.y.push_back((*v)[1]);
    }
    if (current.x.size() < 2) continue;
    const Handle start = startMarker(g, axes, current.x[0], current.y[0]);
    const Handle line = pathLine(g, axes, current.x, current.y);
    platform::QuestionDialog question{
        "Proceed with current path ?", "Current path", {"Yes", "No", "Quit"}, "Yes"};
    const auto button = rt.ui().question(question);
    removeAll(g, {start, line});
    if (button && *button == "Quit") return std::nullopt;
    if (button && *button == "Yes") return current;
  }
}

// ---- frames --------------------------------------------------------------------------------------

// The reflection map with a fixed largest count: the same colour for a count in every frame.
void fixReflectionScale(Runtime& rt, Handle fig, double upper) {
  auto& g = rt.graphics();
  const double maxr = std::max(0.0, platform::roundHalfAway(upper));
  CaseRecord record = document::readCase(rt, fig);
  record.clim = {0, maxr + 1};
  const std::string colormap = record.colormap;
  document::storeCase(rt, fig, std::move(record));
  g.set(document::drawingAxes(rt, fig), "clim", Value::row({0.5, maxr + 1.5}));
  const auto table = engine::calculate_colormap(editor::baseColorTable(colormap), static_cast<int>(maxr) + 1);
  Matrix m = Matrix::zeros(table.size(), 3);
  for (std::size_t r = 0; r < table.size(); ++r) {
    for (std::size_t c = 0; c < 3; ++c) m(r, c) = table[r][c];
  }
  g.set(fig, "colormap", Value(m));
  if (const auto cb = document::findInWindow(rt, fig, tags::kColorBarAxes)) {
    g.set(*cb, "ylim", Value::row({-0.5, maxr + 0.5}));
    g.set(*cb, "ytick", Value::row(editor::reflectionTicks(maxr)));
    g.setText(*cb, "yticklabelmode", "auto");
  }
  if (const auto patch = document::findInWindow(rt, fig, tags::kColorBarPatch)) {
    g.set(*patch, "ydata", Value::row({-0.5, -0.5, maxr + 0.5, maxr + 0.5}));
    g.set(*patch, "cdata", Value::row({-0.5, -0.5, maxr + 0.5, maxr + 0.5}));
  }
}

std::string frameName(const std::string& prefix, std::size_t k) {
  char number[32];
  std::snprintf(number, sizeof number, "%04zu", k);
  return prefix + number + ".bmp";
}

// Extent of the visible objects with this tag.
void growExtent(const Runtime& rt, Handle fig, std::string_view tag, std::array<double, 4>& e) {
  for (Handle h : document::objectsByTag(rt, fig, tag)) {
    if (!rt.graphics().at(h).visible()) continue;
    const auto xs = rt.graphics().at(h).numbers("xdata");
    const auto ys = rt.graphics().at(h).numbers("ydata");
    for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
      if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) continue;
      e = {std::min(e[0], xs[i]), std::max(e[1], xs[i]), std::min(e[2], ys[i]), std::max(e[3], ys[i])};
    }
  }
}

Handle newestPolarWindow(const Graphics& g) {
  for (Handle f : g.figures()) {
    if (platform::equalsIgnoreCase(g.at(f).tag(), tags::kPolarWindow)) return f;
  }
  return platform::kNoHandle;
}

void showSummary(Runtime& rt, const std::vector<std::string>& lines) {
  auto& g = rt.graphics();
  const auto [sw, sh] = rt.ui().screenSize();
  constexpr double w = 320, h = 170;
  const Handle fig = g.create(ObjectType::Figure, platform::kRoot);
  document::setProperties(g, fig,
                          {{"name", Value(std::string(kSummaryName))},
                           {"numbertitle", "off"},
                           {"menubar", "none"},
                           {"resize", "off"},
                           {"position", Value::row({(sw - w) / 2, (sh - h) / 2, w, h})}});
  // The "help" icon.
  const Handle icon = createObject(g, ObjectType::Axes, fig,
                                   {{"tag", "IconAxes"},
                                    {"position", Value::row({0.03, 0.55, 0.14, 0.3})},
                                    {"xlim", Value::row({-1.1, 1.1})},
                                    {"ylim", Value::row({-1.1, 1.1})},
                                    {"visible", "off"}});
  std::vector<double> cx, cy;
  for (int i = 0; i < 48; ++i) {
    cx.push_back(std::cos(i * M_PI / 24));
    cy.push_back(std::sin(i * M_PI / 24));
  }
  createObject(
      g, ObjectType::Patch, icon,
      {{"xdata", Value::row(cx)}, {"ydata", Value::row(cy)}, {"facecolor", "b"}, {"edgecolor", "k"}});
  createObject(g, ObjectType::Text, icon,
               {{"position", Value::row({0, 0, 0})},
                {"string", "?"},
                {"color", "w"},
                {"fontsize", 18.0},
                {"fontweight", "bold"},
                {"horizontalalignment", "center"},
                {"verticalalignment", "middle"}});
  const Handle message = createObject(
      g, ObjectType::Axes, fig, {{"position", Value::row({0.22, 0.25, 0.75, 0.7})}, {"visible", "off"}});
  List items;
  for (const std::string& line : lines) items.items.emplace_back(line);
  createObject(g, ObjectType::Text, message,
               {{"units", "normalized"},
                {"position", Value::row({0, 1, 0})},
                {"string", Value(items)},
                {"fontsize", 9.0},
                {"horizontalalignment", "left"},
                {"verticalalignment", "top"}});
  createObject(g, ObjectType::UiControl, fig,
               {{"style", "pushbutton"},
                {"string", "OK"},
                {"position", Value::row({(w - 60) / 2, 8, 60, 22})},
                {"callback", "delete(gcbf)"}});
}

}  // namespace

std::vector<std::string> summaryLines(std::size_t frames, const std::string& outputDirectory,
                                      const std::vector<double>& levels, const std::vector<double>& extent,
                                      double seconds) {
  const auto joined = [](const std::vector<double>& v) {
    std::string s;
    for (double d : v) {
      // Appended piece by piece: GCC 12's -Wrestrict misreads "..." + std::string at -O3.
      if (!s.empty()) s += ' ';
      s += platform::formatNumber(d);
    }
    return s;
  };
  std::string time;
  if (seconds < 60) {
    time = "Process time: " + platform::formatNumber(std::ceil(seconds)) + " sec";
  } else {
    const double hours = std::floor(seconds / 3600);
    const double minutes = std::floor((seconds - 3600 * hours) / 60);
    const double secs = platform::roundHalfAway(seconds - 3600 * hours - 60 * minutes);
    time = "Process time: " + platform::formatNumber(hours) + " hour " + platform::formatNumber(minutes) +
           "min " + platform::formatNumber(secs) + "sec";
  }
  return {std::string(30, '.'),
          "Frame number: " + std::to_string(frames),
          "Output directory: " + outputDirectory,
          "dB level: " + joined(levels),
          "Axis limits: " + joined(extent),
          time};
}

void animcase(Runtime& rt, const Operations& ops) {
  auto& g = rt.graphics();
  const Handle fig = document::currentMainWindow(rt);
  const Handle axes = document::drawingAxes(rt, fig);
  const CaseRecord stored = document::readCase(rt, fig);

  std::optional<AnimationParameters> previous = stored.animationparameters;
  if (previous) previous->pathtype = 1;
  std::optional<AnimationParameters> chosen = getanimparameter(rt, previous);
  if (!chosen) return;
  AnimationParameters p = std::move(*chosen);
  const int type = p.animationtype;
  // The program always registers the polar diagram; a table without it fails here, before the path
  // entry changes anything.
  if (type == 4) ops.require("polardiagram");

  // ---- path choice
  const int ns = p.step;
  bool createpath = true, modifysteps = false;
  std::string ptype;
  const auto sameLength = [](const std::optional<std::vector<double>>& a,
                             const std::optional<std::vector<double>>& b) {
    return a && b && !a->empty() && a->size() == b->size();
  };
  if (p.pathtype == 1) {
    // A stored path is used only when it is whole.
    if (sameLength(p.xpath, p.ypath)) {
      createpath = false;
      ptype = p.ptype.value_or("linear");
      if (stored.animationparameters && stored.animationparameters->step != ns) {
        if (sameLength(p.xp, p.yp) && p.xp->size() >= 2) {
          modifysteps = true;
        } else {
          createpath = true;  // the stored points are missing: a new path is drawn
          ptype = "linear";
        }
      }
    } else {
      ptype = "linear";
    }
  } else {
    ptype = p.pathtype == 3 ? "spline" : p.pathtype == 4 ? "manual" : "linear";
  }
  ops.call(rt, "enableobjects", {Value("off")});
  g.setCurrentFigure(fig);
  g.set(fig, "currentaxes", Value::handle(axes));

  if (createpath) {
    std::optional<Path> entered;
    if (ptype == "manual") {
      entered = manualPath(rt, axes);
    } else {
      entered = pointerPath(rt, fig, axes, ptype == "spline");
    }
    if (!entered) {
      removeAll(g, document::objectsByTag(rt, fig, "lines"));
      removeAll(g, document::objectsByTag(rt, fig, "startpoint"));
      if (g.exists(fig)) ops.call(rt, "enableobjects", {Value("on")});
      return;
    }
    p.ptype = ptype;
    p.xp = entered->x;
    p.yp = entered->y;
  }
  ops.call(rt, "enableobjects", {Value("on")});

  Path frames;
  if (createpath || modifysteps) {
    frames = setpathsegments(*p.xp, *p.yp, p.ptype.value_or("linear"), ns);
  } else {
    frames = {*p.xpath, *p.ypath};
  }
  const std::size_t count = frames.x.size();

  // ---- path check
  const auto source = document::objectInWindow(rt, fig, tags::kSource);
  const auto receptor = document::objectInWindow(rt, fig, tags::kReceptor);
  const auto reject = [&](const std::vector<std::size_t>& bad, const std::string& message) {
    std::vector<double> rx, ry;
    for (std::size_t i : bad) {
      rx.push_back(frames.x[i]);
      ry.push_back(frames.y[i]);
    }
    const Handle line = createObject(g, ObjectType::Line, axes,
                                     {{"xdata", Value::row(frames.x)},
                                      {"ydata", Value::row(frames.y)},
                                      {"linestyle", ":"},
                                      {"color", "k"}});
    const Handle marks = createObject(g, ObjectType::Line, axes,
                                      {{"xdata", Value::row(rx)},
                                       {"ydata", Value::row(ry)},
                                       {"linestyle", "none"},
                                       {"marker", "."},
                                       {"markersize", 12.0},
                                       {"color", "r"}});
    rt.ui().message(MessageKind::Error, message, "Error");
    removeAll(g, {line, marks});
  };
  std::vector<std::size_t> outside;
  for (std::size_t i = 0; i < count; ++i) {
    if (document::checksource(rt, frames.x[i], frames.y[i], fig) == 0) outside.push_back(i);
  }
  if (!outside.empty()) {
    reject(outside, "Some path points (in red) are outside room ...");
    return;
  }
  const bool movesReceptor = type == 4 && p.movingobject == 2;
  if (type == 4) {
    const engine::Point still = document::firstPoint(rt, movesReceptor ? source : receptor);
    std::vector<std::size_t> close;
    for (std::size_t i = 0; i < count; ++i) {
      if (!(std::hypot(frames.x[i] - still.x, frames.y[i] - still.y) > kPolarMinDistance)) close.push_back(i);
    }
    if (!close.empty()) {
      reject(close, "Receptor is closer than one meter from source for some points (in red) ...");
      return;
    }
  }

  // ---- preparation
  struct Remembered {
    bool audience = true, receptor = true, axis = true, grid = true;
  } seen;
  const auto firstVisible = [&](std::string_view tag) {
    const auto found = document::objectsInCreationOrder(rt, fig, tag);
    return found.empty() || g.at(found.front()).visible();
  };
  const bool map = type <= 3;
  const bool reflection = reflectionShown(rt, fig);
  std::optional<std::array<double, 4>> savedView;
  bool prepared = false;
  Handle pathDrawn = platform::kNoHandle;
  Handle polar = platform::kNoHandle;

  // Puts the drawing back as it was before the frames (the moved object stays where it went).
  const auto restoreDisplay = [&] {
    if (!g.exists(fig)) return;
    if (map && prepared) {
      removeAll(g, {pathDrawn});
      if (savedView) {
        g.set(axes, "xlim", Value::row({(*savedView)[0], (*savedView)[1]}));
        g.set(axes, "ylim", Value::row({(*savedView)[2], (*savedView)[3]}));
        ops.call(rt, "setsurfacefob");
      }
      if (!p.level.empty()) ops.call(rt, "changecolorlimits", {Value("auto")});
      if (type == 3) {
        setVisible(g, document::objectsByTag(rt, fig, tags::kAudienceMap), true);
        for (const char* tag : {tags::kColorBarAxes, tags::kColorBarPatch}) {
          if (const auto h = document::findInWindow(rt, fig, tag)) setVisible(g, {*h}, true);
        }
      }
      setVisible(g, document::objectsByTag(rt, fig, tags::kWallVertex), true);
      setVisible(g, document::objectsByTag(rt, fig, tags::kAudienceVertex), seen.audience);
      setVisible(g, document::objectsByTag(rt, fig, tags::kAudienceEdge), seen.audience);
      setVisible(g, {receptor}, seen.receptor);
      setVisible(g, document::objectsByTag(rt, fig, tags::kXAxis), seen.axis);
      setVisible(g, document::objectsByTag(rt, fig, tags::kYAxis), seen.axis);
      setVisible(g, document::objectsByTag(rt, fig, tags::kGrid), seen.grid);
      // The map follows the source to its last position (images only did not recompute it).
      if (type == 1 || type == 3) {
        ops.call(rt, "refreshimages");
        ops.call(rt, "refreshsurfacevalues");
      }
      ops.call(rt, "selectvalue");
    }
    CaseRecord record = document::readCase(rt, fig);
    record.noprogressbar.reset();
    document::storeCase(rt, fig, std::move(record));
  };

  std::string outputDirectory, prefix;
  const std::array<double, 4> roomBox = [&] {
    const auto walls = document::wallGeometry(rt, fig);
    std::array<double, 4> b{INFINITY, -INFINITY, INFINITY, -INFINITY};
    for (const auto& w : walls) {
      b = {std::min(b[0], w.x1), std::max(b[1], w.x1), std::min(b[2], w.y1), std::max(b[3], w.y1)};
    }
    return std::array<double, 4>{b[0] - 1, b[1] + 1, b[2] - 1, b[3] + 1};
  }();
  std::optional<double> cmin, cmax;
  std::array<double, 4> extent{INFINITY, -INFINITY, INFINITY, -INFINITY};
  const auto started = std::chrono::steady_clock::now();

  try {
    if (map) {
      seen.audience = firstVisible(tags::kAudienceVertex);
      seen.receptor = g.at(receptor).visible();
      seen.axis = firstVisible(tags::kXAxis);
      seen.grid = firstVisible(tags::kGrid);
      prepared = true;
      for (const char* tag : {tags::kWallVertex, tags::kAudienceVertex, tags::kAudienceEdge, tags::kXAxis,
                              tags::kYAxis, tags::kGrid}) {
        setVisible(g, document::objectsByTag(rt, fig, tag), false);
      }
      g.setText(fig, "paperunits", "points");
      g.set(fig, "paperposition", Value::row({0, 0, 430.08, 376.32}));
      if (type == 1) {
        ops.call(rt, document::kZoomOperation, {Value("room")});
      } else {
        ops.call(rt, "hideviewobjects", {Value("images-on")});
        ops.call(rt, document::kZoomOperation, {Value("images")});
      }
      setVisible(g, {receptor}, false);
    }

    if (p.output != "no output") {
      const std::filesystem::path out(p.output);
      const std::filesystem::path dir = out.parent_path() / out.filename();
      std::error_code ec;
      bool ready = std::filesystem::is_directory(dir, ec);
      if (!ready) ready = std::filesystem::create_directories(dir, ec) && !ec;
      if (!ready) {
        rt.ui().message(MessageKind::Warning, "Unable to create output directory " + dir.string() + " ...",
                        "Error");
      } else {
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
          if (entry.is_regular_file(ec) &&
              platform::equalsIgnoreCase(entry.path().extension().string(), ".bmp")) {
            std::filesystem::remove(entry.path(), ec);
          }
        }
        outputDirectory = dir.string();
        prefix = (dir / out.filename()).string();
      }
    }

    CaseRecord record = document::readCase(rt, fig);
    record.noprogressbar = "no";
    document::storeCase(rt, fig, std::move(record));

    if (map && p.showpath != 0) {
      pathDrawn = createObject(g, ObjectType::Line, axes,
                               {{"xdata", Value::row(p.xp.value_or(frames.x))},
                                {"ydata", Value::row(p.yp.value_or(frames.y))},
                                {"linestyle", ":"},
                                {"color", "k"},
                                {"tag", "path"}});
    }
    if (map && p.axis.size() == 4) {
      const auto xl = g.at(axes).numbers("xlim");
      const auto yl = g.at(axes).numbers("ylim");
      savedView = std::array<double, 4>{xl[0], xl[1], yl[0], yl[1]};
      const double side = std::max(p.axis[1] - p.axis[0], p.axis[3] - p.axis[2]);
      const double mx = (p.axis[0] + p.axis[1]) / 2, my = (p.axis[2] + p.axis[3]) / 2;
      g.set(axes, "xlim", Value::row({mx - side / 2, mx + side / 2}));
      g.set(axes, "ylim", Value::row({my - side / 2, my + side / 2}));
      ops.call(rt, "setsurfacefob");
    }
    if (p.level.size() == 2) {
      cmin = p.level[0];
      cmax = p.level[1];
      if (map) {
        if (reflection) {
          ops.call(rt, "changecolorlimits", {Value("auto")});
        } else {
          ops.call(rt, "changecolorlimits", {Value::row(p.level)});
        }
      }
    }
    if (type == 4) {
      ops.call(rt, "polardiagram", {});
      polar = newestPolarWindow(g);
      if (polar == platform::kNoHandle) {
        restoreDisplay();
        rt.ui().message(MessageKind::Error, "No polar diagram could be drawn: the animation is stopped.",
                        "Error");
        return;
      }
    }
    std::string title;
    if (type == 3) {
      const CaseRecord r = document::readCase(rt, fig);
      title = (r.name == "not saved" ? std::string() : "case: " + r.name + "  -  ") + "Moving images";
      setVisible(g, document::objectsByTag(rt, fig, tags::kAudienceMap), false);
      for (const char* tag : {tags::kColorBarAxes, tags::kColorBarPatch}) {
        if (const auto h = document::findInWindow(rt, fig, tag)) setVisible(g, {*h}, false);
      }
    }

    for (std::size_t k = 0; k < count; ++k) {
      Handle shown = fig;
      if (map) {
        g.set(source, "xdata", Value(frames.x[k]));
        g.set(source, "ydata", Value(frames.y[k]));
        ops.call(rt, "refreshimages");
        if (type != 3) ops.call(rt, "refreshsurfacevalues");
        ops.call(rt, "selectvalue");
        if (reflection && p.level.size() == 2) fixReflectionScale(rt, fig, p.level[1]);
        if (type == 3) {
          if (const auto status = document::findInWindow(rt, fig, tags::kText))
            g.setText(*status, "string", title);
        }
        if (type == 1) {
          setVisible(g, document::objectsByTag(rt, fig, tags::kImage), false);
          setVisible(g, document::objectsByTag(rt, fig, tags::kRadius), false);
        }
        if (p.level.empty()) {
          const CaseRecord r = document::readCase(rt, fig);
          cmin = std::min(cmin.value_or(r.clim[0]), r.clim[0]);
          cmax = std::max(cmax.value_or(r.clim[1]), r.clim[1]);
        }
        growExtent(rt, fig, tags::kImage, extent);
        extent = {std::min(extent[0], roomBox[0]), std::max(extent[1], roomBox[1]),
                  std::min(extent[2], roomBox[2]), std::max(extent[3], roomBox[3])};
      } else {
        const Handle moving = movesReceptor ? receptor : source;
        g.set(moving, "xdata", Value(frames.x[k]));
        g.set(moving, "ydata", Value(frames.y[k]));
        ops.call(rt, "refreshimages", {Value::handle(fig)});
        if (!g.exists(polar)) throw Error("the polar diagram window was closed: the animation is stopped");
        const bool withPath = p.showpath != 0;
        ops.call(rt, "polardiagram",
                 {Value::handle(polar), Value::handle(fig), rowOrEmpty(p.level),
                  withPath ? Value::row(p.xp.value_or(frames.x)) : Value(Matrix{}),
                  withPath ? Value::row(p.yp.value_or(frames.y)) : Value(Matrix{})});
        if (p.level.empty() && g.at(polar).userdata()) {
          const auto limits = g.at(polar).userdata()->toValue();
          if (limits.isMatrix() && limits.matrix().numel() == 2) {
            const auto v = limits.numbers();
            cmin = std::min(cmin.value_or(v[0]), v[0]);
            cmax = std::max(cmax.value_or(v[1]), v[1]);
          }
        }
        shown = polar;
      }
      if (!prefix.empty()) {
        const std::string file = frameName(prefix, k + 1);
        try {
          rt.print(shown, "-dbmp", file);
        } catch (const Error& e) {
          // The run goes on without files rather than stopping half way.
          rt.ui().message(MessageKind::Warning, "Unable to write frame file " + file + " ...", "Error");
          rt.console(e.what());
          prefix.clear();
        }
      } else if (p.pause > 0) {
        rt.ui().pause(p.pause);
      }
    }
  } catch (...) {
    restoreDisplay();
    throw;
  }

  // ---- ending
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  restoreDisplay();
  p.xpath = frames.x;
  p.ypath = frames.y;
  CaseRecord record = document::readCase(rt, fig);
  record.animationparameters = p;
  document::storeCase(rt, fig, std::move(record));

  std::vector<double> levels;
  if (cmin && cmax) {
    levels = {std::max(0.0, platform::roundHalfAway(*cmin * 10) / 10),
              std::max(0.0, platform::roundHalfAway(*cmax * 10) / 10)};
    if (map && reflection) levels[1] -= 1;
  }
  std::vector<double> box;
  if (map && std::isfinite(extent[0])) {
    box = {std::floor(extent[0]), std::ceil(extent[1]), std::floor(extent[2]), std::ceil(extent[3])};
  }
  showSummary(rt, summaryLines(count, outputDirectory, levels, box, seconds));
}

}  // namespace velmora::animation
