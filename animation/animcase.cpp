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
#include "platform/model/error.h"
#include "platform/model/numbers.h"

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

namespace {

using document::AnimationType;
using document::PathType;

// Where the frames come from: a path entered now (of kind `ptype`), or the stored one, its frames
// kept or spread again over its points for a new number of steps.
struct PathChoice {
  bool createpath = true;
  bool modifysteps = false;
  std::string ptype;
};

PathChoice choosePath(const AnimationParameters& p, const CaseRecord& stored) {
  const auto sameLength = [](const std::optional<std::vector<double>>& a,
                             const std::optional<std::vector<double>>& b) {
    return a && b && !a->empty() && a->size() == b->size();
  };
  PathChoice c;
  switch (p.pathtype) {
    case PathType::Previous:
      // A stored path is used only when it is whole.
      if (!sameLength(p.xpath, p.ypath)) {
        c.ptype = "linear";
        break;
      }
      c.createpath = false;
      c.ptype = p.ptype.value_or("linear");
      if (stored.animationparameters && stored.animationparameters->step != p.step) {
        if (sameLength(p.xp, p.yp) && p.xp->size() >= 2) {
          c.modifysteps = true;
        } else {
          c.createpath = true;  // the stored points are missing: a new path is drawn
          c.ptype = "linear";
        }
      }
      break;
    case PathType::Spline:
      c.ptype = "spline";
      break;
    case PathType::Manual:
      c.ptype = "manual";
      break;
    case PathType::Linear:
    default:  // a number no kind has, read from a file
      c.ptype = "linear";
      break;
  }
  return c;
}

// The path entry with the window's controls off: the entered points go to `p`. False when the user
// quits the entry (nothing is left drawn).
bool enterPath(Runtime& rt, const Operations& ops, Handle fig, Handle axes, AnimationParameters& p,
               const PathChoice& choice) {
  auto& g = rt.graphics();
  ops.call(rt, "enableobjects", {Value("off")});
  g.setCurrentFigure(fig);
  g.set(fig, "currentaxes", Value::handle(axes));
  if (choice.createpath) {
    std::optional<Path> entered;
    if (choice.ptype == "manual") {
      entered = manualPath(rt, axes);
    } else {
      entered = pointerPath(rt, fig, axes, choice.ptype == "spline");
    }
    if (!entered) {
      removeAll(g, document::objectsByTag(rt, fig, "lines"));
      removeAll(g, document::objectsByTag(rt, fig, "startpoint"));
      if (g.exists(fig)) ops.call(rt, "enableobjects", {Value("on")});
      return false;
    }
    p.ptype = choice.ptype;
    p.xp = entered->x;
    p.yp = entered->y;
  }
  ops.call(rt, "enableobjects", {Value("on")});
  return true;
}

Path framePositions(const AnimationParameters& p, const PathChoice& choice) {
  if (choice.createpath || choice.modifysteps)
    return setpathsegments(*p.xp, *p.yp, p.ptype.value_or("linear"), p.step);
  return {*p.xpath, *p.ypath};
}

// Shows the path dotted with the refused frames in red, says why, and takes both away again.
void showRefusedFrames(Runtime& rt, Handle axes, const Path& frames, const std::vector<std::size_t>& bad,
                       const std::string& message) {
  auto& g = rt.graphics();
  std::vector<double> rx, ry;
  for (std::size_t i : bad) {
    rx.push_back(frames.x[i]);
    ry.push_back(frames.y[i]);
  }
  const Handle line = createObject(
      g, ObjectType::Line, axes,
      {{"xdata", Value::row(frames.x)}, {"ydata", Value::row(frames.y)}, {"linestyle", ":"}, {"color", "k"}});
  const Handle marks = createObject(g, ObjectType::Line, axes,
                                    {{"xdata", Value::row(rx)},
                                     {"ydata", Value::row(ry)},
                                     {"linestyle", "none"},
                                     {"marker", "."},
                                     {"markersize", 12.0},
                                     {"color", "r"}});
  rt.ui().message(MessageKind::Error, message, "Error");
  removeAll(g, {line, marks});
}

// Every frame inside the room and, for the polar diagram, farther than a metre from the object that
// stays. False (after showing the frames refused) otherwise.
bool pathAccepted(Runtime& rt, Handle fig, Handle axes, const Path& frames, const AnimationParameters& p) {
  const std::size_t count = frames.x.size();
  const Handle source = document::objectInWindow(rt, fig, tags::kSource);
  const Handle receptor = document::objectInWindow(rt, fig, tags::kReceptor);
  std::vector<std::size_t> outside;
  for (std::size_t i = 0; i < count; ++i) {
    if (document::checksource(rt, frames.x[i], frames.y[i], fig) == 0) outside.push_back(i);
  }
  if (!outside.empty()) {
    showRefusedFrames(rt, axes, frames, outside, "Some path points (in red) are outside room ...");
    return false;
  }
  if (p.animationtype != AnimationType::Polar) return true;
  const bool movesReceptor = p.movingobject == 2;
  const engine::Point still = document::firstPoint(rt, movesReceptor ? source : receptor);
  std::vector<std::size_t> close;
  for (std::size_t i = 0; i < count; ++i) {
    if (!(std::hypot(frames.x[i] - still.x, frames.y[i] - still.y) > kPolarMinDistance)) close.push_back(i);
  }
  if (close.empty()) return true;
  showRefusedFrames(rt, axes, frames, close,
                    "Receptor is closer than one meter from source for some points (in "
                    "red) ...");
  return false;
}

// The frames of an accepted path: the drawing prepared, one frame a position (written out or paused
// on), the drawing put back, the parameters kept and the summary shown.
class FrameRun {
 public:
  FrameRun(Runtime& rt, const Operations& ops, Handle fig, Handle axes, AnimationParameters p, Path frames)
      : rt_(rt),
        ops_(ops),
        g_(rt.graphics()),
        fig_(fig),
        axes_(axes),
        p_(std::move(p)),
        frames_(std::move(frames)),
        type_(p_.animationtype),
        map_(type_ != AnimationType::Polar),
        movesReceptor_(type_ == AnimationType::Polar && p_.movingobject == 2),
        reflection_(reflectionShown(rt, fig)),
        source_(document::objectInWindow(rt, fig, tags::kSource)),
        receptor_(document::objectInWindow(rt, fig, tags::kReceptor)),
        roomBox_(roomBox(rt, fig)) {}

  void play() {
    const auto started = std::chrono::steady_clock::now();
    try {
      if (!prepare()) return;
      for (std::size_t k = 0; k < frames_.x.size(); ++k) {
        writeOrPause(k, map_ ? mapFrame(k) : polarFrame(k));
      }
    } catch (...) {
      restoreDisplay();
      throw;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    restoreDisplay();
    finish(seconds);
  }

 private:
  // What the map animations hide, and how it was.
  struct Remembered {
    bool audience = true, receptor = true, axis = true, grid = true;
  };

  // The walls' box, a metre wider each way: the extent of the frames holds at least this.
  static std::array<double, 4> roomBox(const Runtime& rt, Handle fig) {
    const auto walls = document::wallGeometry(rt, fig);
    std::array<double, 4> b{INFINITY, -INFINITY, INFINITY, -INFINITY};
    for (const auto& w : walls) {
      b = {std::min(b[0], w.x1), std::max(b[1], w.x1), std::min(b[2], w.y1), std::max(b[3], w.y1)};
    }
    return std::array<double, 4>{b[0] - 1, b[1] + 1, b[2] - 1, b[3] + 1};
  }

  bool firstVisible(std::string_view tag) const {
    const auto found = document::objectsInCreationOrder(rt_, fig_, tag);
    return found.empty() || g_.at(found.front()).visible();
  }

  // Everything before the first frame. False when the polar diagram could not be drawn (said so, and
  // the drawing put back).
  bool prepare() {
    if (map_) hideEditingObjects();
    prepareOutputFolder();
    CaseRecord record = document::readCase(rt_, fig_);
    record.noprogressbar = "no";
    document::storeCase(rt_, fig_, std::move(record));
    if (map_ && p_.showpath != 0) {
      pathDrawn_ = createObject(g_, ObjectType::Line, axes_,
                                {{"xdata", Value::row(p_.xp.value_or(frames_.x))},
                                 {"ydata", Value::row(p_.yp.value_or(frames_.y))},
                                 {"linestyle", ":"},
                                 {"color", "k"},
                                 {"tag", "path"}});
    }
    if (map_ && p_.axis.size() == 4) fixView();
    if (p_.level.size() == 2) fixLevels();
    if (type_ == AnimationType::Polar && !openPolarWindow()) return false;
    if (type_ == AnimationType::ImagesOnly) hideMapForImages();
    return true;
  }

  // The map animations show the room and the images without the editing handles.
  void hideEditingObjects() {
    seen_.audience = firstVisible(tags::kAudienceVertex);
    seen_.receptor = g_.at(receptor_).visible();
    seen_.axis = firstVisible(tags::kXAxis);
    seen_.grid = firstVisible(tags::kGrid);
    prepared_ = true;
    for (const char* tag : {tags::kWallVertex, tags::kAudienceVertex, tags::kAudienceEdge, tags::kXAxis,
                            tags::kYAxis, tags::kGrid}) {
      setVisible(g_, document::objectsByTag(rt_, fig_, tag), false);
    }
    g_.setText(fig_, "paperunits", "points");
    g_.set(fig_, "paperposition", Value::row({0, 0, 430.08, 376.32}));
    if (type_ == AnimationType::SurfaceOnly) {
      ops_.call(rt_, document::kZoomOperation, {Value("room")});
    } else {
      ops_.call(rt_, "hideviewobjects", {Value("images-on")});
      ops_.call(rt_, document::kZoomOperation, {Value("images")});
    }
    setVisible(g_, {receptor_}, false);
  }

  // The chosen output folder, made if needed and emptied of bitmaps; without one, no frames are written.
  void prepareOutputFolder() {
    if (p_.output == "no output") return;
    const std::filesystem::path out(p_.output);
    const std::filesystem::path dir = out.parent_path() / out.filename();
    std::error_code ec;
    bool ready = std::filesystem::is_directory(dir, ec);
    if (!ready) ready = std::filesystem::create_directories(dir, ec) && !ec;
    if (!ready) {
      rt_.ui().message(MessageKind::Warning, "Unable to create output directory " + dir.string() + " ...",
                       "Error");
      return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
      if (entry.is_regular_file(ec) &&
          platform::equalsIgnoreCase(entry.path().extension().string(), ".bmp")) {
        std::filesystem::remove(entry.path(), ec);
      }
    }
    outputDirectory_ = dir.string();
    prefix_ = (dir / out.filename()).string();
  }

  // The given axis limits, squared about their middle; the view before is put back at the end.
  void fixView() {
    const auto xl = g_.at(axes_).numbers("xlim");
    const auto yl = g_.at(axes_).numbers("ylim");
    savedView_ = std::array<double, 4>{xl[0], xl[1], yl[0], yl[1]};
    const double side = std::max(p_.axis[1] - p_.axis[0], p_.axis[3] - p_.axis[2]);
    const double mx = (p_.axis[0] + p_.axis[1]) / 2, my = (p_.axis[2] + p_.axis[3]) / 2;
    g_.set(axes_, "xlim", Value::row({mx - side / 2, mx + side / 2}));
    g_.set(axes_, "ylim", Value::row({my - side / 2, my + side / 2}));
    ops_.call(rt_, "setsurfacefob");
  }

  // The given dB levels hold for every frame of a level map.
  void fixLevels() {
    cmin_ = p_.level[0];
    cmax_ = p_.level[1];
    if (!map_) return;
    if (reflection_) {
      ops_.call(rt_, "changecolorlimits", {Value("auto")});
    } else {
      ops_.call(rt_, "changecolorlimits", {Value::row(p_.level)});
    }
  }

  bool openPolarWindow() {
    ops_.call(rt_, "polardiagram", {});
    polar_ = newestPolarWindow(g_);
    if (polar_ != platform::kNoHandle) return true;
    restoreDisplay();
    rt_.ui().message(MessageKind::Error, "No polar diagram could be drawn: the animation is stopped.",
                     "Error");
    return false;
  }

  // "images only": the map and its colour bar go, the status line names the animation.
  void hideMapForImages() {
    const CaseRecord r = document::readCase(rt_, fig_);
    title_ = (r.name == "not saved" ? std::string() : "case: " + r.name + "  -  ") + "Moving images";
    setVisible(g_, document::objectsByTag(rt_, fig_, tags::kAudienceMap), false);
    for (const char* tag : {tags::kColorBarAxes, tags::kColorBarPatch}) {
      if (const auto h = document::findInWindow(rt_, fig_, tag)) setVisible(g_, {*h}, false);
    }
  }

  // One frame of a map animation: the source at frame k, the display recomputed. The window shown.
  Handle mapFrame(std::size_t k) {
    g_.set(source_, "xdata", Value(frames_.x[k]));
    g_.set(source_, "ydata", Value(frames_.y[k]));
    ops_.call(rt_, "refreshimages");
    if (type_ != AnimationType::ImagesOnly) ops_.call(rt_, "refreshsurfacevalues");
    ops_.call(rt_, "selectvalue");
    if (reflection_ && p_.level.size() == 2) fixReflectionScale(rt_, fig_, p_.level[1]);
    if (type_ == AnimationType::ImagesOnly) {
      if (const auto status = document::findInWindow(rt_, fig_, tags::kText))
        g_.setText(*status, "string", title_);
    }
    if (type_ == AnimationType::SurfaceOnly) {
      setVisible(g_, document::objectsByTag(rt_, fig_, tags::kImage), false);
      setVisible(g_, document::objectsByTag(rt_, fig_, tags::kRadius), false);
    }
    if (p_.level.empty()) {
      const CaseRecord r = document::readCase(rt_, fig_);
      cmin_ = std::min(cmin_.value_or(r.clim[0]), r.clim[0]);
      cmax_ = std::max(cmax_.value_or(r.clim[1]), r.clim[1]);
    }
    growExtent(rt_, fig_, tags::kImage, extent_);
    extent_ = {std::min(extent_[0], roomBox_[0]), std::max(extent_[1], roomBox_[1]),
               std::min(extent_[2], roomBox_[2]), std::max(extent_[3], roomBox_[3])};
    return fig_;
  }

  // One frame of the polar animation: the moving object at frame k, the diagram drawn again. The
  // diagram's window shown.
  Handle polarFrame(std::size_t k) {
    const Handle moving = movesReceptor_ ? receptor_ : source_;
    g_.set(moving, "xdata", Value(frames_.x[k]));
    g_.set(moving, "ydata", Value(frames_.y[k]));
    ops_.call(rt_, "refreshimages", {Value::handle(fig_)});
    if (!g_.exists(polar_)) throw Error("the polar diagram window was closed: the animation is stopped");
    const bool withPath = p_.showpath != 0;
    ops_.call(rt_, "polardiagram",
              {Value::handle(polar_), Value::handle(fig_), rowOrEmpty(p_.level),
               withPath ? Value::row(p_.xp.value_or(frames_.x)) : Value(Matrix{}),
               withPath ? Value::row(p_.yp.value_or(frames_.y)) : Value(Matrix{})});
    if (p_.level.empty() && g_.at(polar_).userdata()) {
      const auto limits = g_.at(polar_).userdata()->toValue();
      if (limits.isMatrix() && limits.matrix().numel() == 2) {
        const auto v = limits.numbers();
        cmin_ = std::min(cmin_.value_or(v[0]), v[0]);
        cmax_ = std::max(cmax_.value_or(v[1]), v[1]);
      }
    }
    return polar_;
  }

  // Frame k + 1 written as a numbered bitmap, or the pause between frames.
  void writeOrPause(std::size_t k, Handle shown) {
    if (!prefix_.empty()) {
      const std::string file = frameName(prefix_, k + 1);
      try {
        rt_.print(shown, "-dbmp", file);
      } catch (const Error& e) {
        // The run goes on without files rather than stopping half way.
        rt_.ui().message(MessageKind::Warning, "Unable to write frame file " + file + " ...", "Error");
        rt_.console(e.what());
        prefix_.clear();
      }
    } else if (p_.pause > 0) {
      rt_.ui().pause(p_.pause);
    }
  }

  // Puts the drawing back as it was before the frames (the moved object stays where it went).
  void restoreDisplay() {
    if (!g_.exists(fig_)) return;
    if (map_ && prepared_) {
      removeAll(g_, {pathDrawn_});
      if (savedView_) {
        g_.set(axes_, "xlim", Value::row({(*savedView_)[0], (*savedView_)[1]}));
        g_.set(axes_, "ylim", Value::row({(*savedView_)[2], (*savedView_)[3]}));
        ops_.call(rt_, "setsurfacefob");
      }
      if (!p_.level.empty()) ops_.call(rt_, "changecolorlimits", {Value("auto")});
      if (type_ == AnimationType::ImagesOnly) {
        setVisible(g_, document::objectsByTag(rt_, fig_, tags::kAudienceMap), true);
        for (const char* tag : {tags::kColorBarAxes, tags::kColorBarPatch}) {
          if (const auto h = document::findInWindow(rt_, fig_, tag)) setVisible(g_, {*h}, true);
        }
      }
      setVisible(g_, document::objectsByTag(rt_, fig_, tags::kWallVertex), true);
      setVisible(g_, document::objectsByTag(rt_, fig_, tags::kAudienceVertex), seen_.audience);
      setVisible(g_, document::objectsByTag(rt_, fig_, tags::kAudienceEdge), seen_.audience);
      setVisible(g_, {receptor_}, seen_.receptor);
      setVisible(g_, document::objectsByTag(rt_, fig_, tags::kXAxis), seen_.axis);
      setVisible(g_, document::objectsByTag(rt_, fig_, tags::kYAxis), seen_.axis);
      setVisible(g_, document::objectsByTag(rt_, fig_, tags::kGrid), seen_.grid);
      // The map follows the source to its last position (images only did not recompute it).
      if (type_ == AnimationType::SurfaceOnly || type_ == AnimationType::ImagesOnly) {
        ops_.call(rt_, "refreshimages");
        ops_.call(rt_, "refreshsurfacevalues");
      }
      ops_.call(rt_, "selectvalue");
    }
    CaseRecord record = document::readCase(rt_, fig_);
    record.noprogressbar.reset();
    document::storeCase(rt_, fig_, std::move(record));
  }

  // The parameters kept with the case (the frames as the stored path) and the summary window.
  void finish(double seconds) {
    p_.xpath = frames_.x;
    p_.ypath = frames_.y;
    CaseRecord record = document::readCase(rt_, fig_);
    record.animationparameters = p_;
    document::storeCase(rt_, fig_, std::move(record));

    std::vector<double> levels;
    if (cmin_ && cmax_) {
      levels = {std::max(0.0, platform::roundHalfAway(*cmin_ * 10) / 10),
                std::max(0.0, platform::roundHalfAway(*cmax_ * 10) / 10)};
      if (map_ && reflection_) levels[1] -= 1;
    }
    std::vector<double> box;
    if (map_ && std::isfinite(extent_[0])) {
      box = {std::floor(extent_[0]), std::ceil(extent_[1]), std::floor(extent_[2]), std::ceil(extent_[3])};
    }
    showSummary(rt_, summaryLines(frames_.x.size(), outputDirectory_, levels, box, seconds));
  }

  Runtime& rt_;
  const Operations& ops_;
  Graphics& g_;
  const Handle fig_, axes_;
  AnimationParameters p_;
  const Path frames_;
  const AnimationType type_;
  const bool map_;            // a map animation (all but the polar one)
  const bool movesReceptor_;  // the polar animation moves the receptor
  const bool reflection_;     // the map shows reflection numbers
  const Handle source_, receptor_;
  const std::array<double, 4> roomBox_;

  Remembered seen_;
  bool prepared_ = false;  // the editing objects were hidden
  std::optional<std::array<double, 4>> savedView_;
  Handle pathDrawn_ = platform::kNoHandle;
  Handle polar_ = platform::kNoHandle;
  std::string title_;
  std::string outputDirectory_, prefix_;
  std::optional<double> cmin_, cmax_;
  std::array<double, 4> extent_{INFINITY, -INFINITY, INFINITY, -INFINITY};
};

}  // namespace

void animcase(Runtime& rt, const Operations& ops) {
  const Handle fig = document::currentMainWindow(rt);
  const Handle axes = document::drawingAxes(rt, fig);
  const CaseRecord stored = document::readCase(rt, fig);

  std::optional<AnimationParameters> previous = stored.animationparameters;
  if (previous) previous->pathtype = PathType::Previous;
  std::optional<AnimationParameters> chosen = getanimparameter(rt, previous);
  if (!chosen) return;
  AnimationParameters p = std::move(*chosen);
  // The program always registers the polar diagram; a table without it fails here, before the path
  // entry changes anything.
  if (p.animationtype == AnimationType::Polar) ops.require("polardiagram");

  const PathChoice choice = choosePath(p, stored);
  if (!enterPath(rt, ops, fig, axes, p, choice)) return;
  Path frames = framePositions(p, choice);
  if (!pathAccepted(rt, fig, axes, frames, p)) return;
  FrameRun(rt, ops, fig, axes, std::move(p), std::move(frames)).play();
}

}  // namespace velmora::animation
