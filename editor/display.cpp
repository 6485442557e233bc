#include <algorithm>
#include <cmath>
#include <limits>

#include "document/acoustics.h"
#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "engine/images.h"
#include "engine/kinds.h"
#include "engine/surface.h"
#include "platform/model/colormaps.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using platform::Graphics;
using platform::Matrix;
using platform::Value;
using namespace velmora::document;

namespace {

constexpr double kFarFactor = 1000000;  // radius lines run far beyond the drawing
const double kNaN = std::numeric_limits<double>::quiet_NaN();

double controlValue(const Runtime& rt, Handle fig, std::string_view tag, double otherwise) {
  const auto c = findInWindow(rt, fig, tag);
  if (!c) return otherwise;
  const auto v = rt.graphics().at(*c).numbers("value");
  return v.empty() ? otherwise : v.front();
}

void setEnable(Graphics& g, std::optional<Handle> h, bool on) {
  if (h) g.setText(*h, "enable", on ? "on" : "off");
}

Matrix tableMatrix(const engine::ColorTable& t) {
  Matrix m = Matrix::zeros(t.size(), 3);
  for (std::size_t r = 0; r < t.size(); ++r) {
    for (std::size_t c = 0; c < 3; ++c) m(r, c) = t[r][c];
  }
  return m;
}

// The status line's title of the reflection counts above order 1: every order, or one.
std::string orderTitle(int order, int shown) {
  if (shown > 0) return "reflection number of order " + std::to_string(shown);
  return "reflection number, orders 1 to " + std::to_string(order);
}

}  // namespace

std::vector<double> reflectionTicks(double maxr) {
  std::vector<double> ticks;
  if (!(maxr > 20)) {
    for (double t = 0; t <= maxr; ++t) ticks.push_back(t);
    if (ticks.empty()) ticks.push_back(0);
    return ticks;
  }
  const double n = std::ceil(maxr / 20);
  for (double t = 0; t <= maxr; t += n) ticks.push_back(t);
  if (ticks.back() != maxr) {
    if (maxr - ticks.back() <= n / 2) {
      ticks.back() = maxr;
    } else {
      ticks.push_back(maxr);
    }
  }
  return ticks;
}

void refreshimages(Runtime& rt, std::optional<Handle> window) {
  auto& g = rt.graphics();
  const Handle fig = window.value_or(currentMainWindow(rt));
  for (Handle h : objectsByTag(rt, fig, tags::kImage)) g.remove(h);
  for (Handle h : objectsByTag(rt, fig, tags::kRadius)) g.remove(h);
  engine::ImageSetInputs in;
  in.walls = wallGeometry(rt, fig);
  if (in.walls.empty()) return;
  const CaseRecord& before = viewCase(rt, fig);  // read here only: the rest changes the window
  in.ang = before.ang.value_or(std::vector<int>(in.walls.size(), 1));
  in.iscnvx = before.iscnvx.value_or(1);
  in.curves = document::convexCurves(before.curves);
  in.noprogressbar = before.noprogressbar.has_value();
  const auto source = findInWindow(rt, fig, tags::kSource);
  if (source) {
    const engine::Point s = firstPoint(rt, *source);
    in.xso = s.x;
    in.yso = s.y;
  }
  in.diffusion = document::diffusionChecked(rt, fig);

  engine::ImageSet set = engine::computeimages(in);
  if (set.sourceMoved && source) {
    g.set(*source, "xdata", Value(set.xso));
    g.set(*source, "ydata", Value(set.yso));
  }
  drawImageLines(rt, fig, set);
  for (const std::string& line : set.console) rt.console(line);

  // Without diffusion the engine gives every wall the factor 1.
  changeCase(rt, fig, [&](CaseRecord& record) { recordImages(record, std::move(set)); });
}

namespace {

// The radio buttons act as a pair: the one clicked is set, the other cleared. Gives the value the
// window shows from now on.
std::string chooseDisplayValue(Runtime& rt, Handle fig, std::string displayvalue) {
  auto& g = rt.graphics();
  const auto reflectionButton = findInWindow(rt, fig, tags::kSelectReflection);
  const auto decibelButton = findInWindow(rt, fig, tags::kSelectDecibel);
  const Handle caller = rt.callbackObject();
  if (reflectionButton && caller == *reflectionButton) {
    g.set(*reflectionButton, "value", Value(1.0));
    if (decibelButton) g.set(*decibelButton, "value", Value(0.0));
    displayvalue = "reflection";
  } else if (decibelButton && caller == *decibelButton) {
    g.set(*decibelButton, "value", Value(1.0));
    if (reflectionButton) g.set(*reflectionButton, "value", Value(0.0));
    displayvalue = "decibel";
  }
  return displayvalue;
}

// The wall list's entry: 1 "all", 2 "direct", k + 2 wall k; above order 1, entry walls + 1 + k shows
// order k (k = 2..order) apart. A value that names no entry (set from outside, say NaN or 1e300) shows
// "all" rather than reaching an integer conversion.
struct ListEntry {
  int va = 1;
  int order = 1;       // the highest order the map holds
  int orderShown = 0;  // the one order shown apart, 0 for none
};
ListEntry chosenListEntry(const Runtime& rt, Handle fig, std::size_t walls, const CaseRecord& record) {
  ListEntry e;
  e.order = record.RTorder && record.PTorder ? static_cast<int>(record.RTorder->size()) : 1;
  const double chosen = controlValue(rt, fig, tags::kValueList, 1);
  if (chosen == std::floor(chosen) && chosen >= 1 && chosen <= static_cast<double>(walls) + 1 + e.order)
    e.va = static_cast<int>(chosen);
  if (e.va > static_cast<int>(walls) + 2) e.orderShown = e.va - static_cast<int>(walls) - 1;
  return e;
}

// The colour of the wall chosen in the list: red when the source does not see it, cyan when it sees
// a part, green otherwise.
const char* wallColourFor(engine::WallVisibility seen) {
  switch (seen) {
    case engine::WallVisibility::Hidden:
      return "r";
    case engine::WallVisibility::SeenInPart:
      return "c";
    case engine::WallVisibility::SeenWhole:
    case engine::WallVisibility::SourceOnEndVertex:
      break;
  }
  return "g";
}

// Colours and line styles of the walls, and which images and radius lines show, for list entry `va`.
void showWallsAndImages(Runtime& rt, Handle fig, const CaseRecord& record, const std::vector<Handle>& walls,
                        int va, int orderShown) {
  auto& g = rt.graphics();
  const auto images = objectsInCreationOrder(rt, fig, tags::kImage);
  const auto radius = objectsInCreationOrder(rt, fig, tags::kRadius);
  const std::size_t n = walls.size();
  const bool showImages = document::controlItemChecked(g, fig, tags::kObjectsButton, "images");
  const bool showRadius = document::controlItemChecked(g, fig, tags::kObjectsButton, "radius");
  // What each wall, image and radius line shows, set once each.
  std::vector<const char*> wallColour(n, "k");
  std::vector<bool> imageOn(images.size(), false), radiusOn(radius.size(), false);
  const auto show = [](std::vector<bool>& on, std::size_t i, bool value) {
    if (i < on.size()) on[i] = value;
  };
  if (va == 1) {
    std::fill(imageOn.begin(), imageOn.end(), showImages);
    std::fill(radiusOn.begin(), radiusOn.end(), showRadius);
  } else if (va >= 3 && static_cast<std::size_t>(va - 2) <= n) {
    const std::size_t k = static_cast<std::size_t>(va - 3);
    wallColour[k] = wallColourFor(engine::wallVisibility(record.iwv, k));
    show(imageOn, k, showImages);
    show(radiusOn, 2 * k, showRadius);
    show(radiusOn, 2 * k + 1, showRadius);
  }
  // Walls that absorb everything reflect nothing.
  for (std::size_t k = 0; k < n; ++k) {
    const auto* wr = g.at(walls[k]).userdataAs<WallRecord>();
    const bool absorbing = wr != nullptr && wr->alpha == 100;
    g.setText(walls[k], "color", wallColour[k]);
    g.setText(walls[k], "linestyle", absorbing ? ":" : "-");
    if (absorbing) {
      show(imageOn, k, false);
      show(radiusOn, 2 * k, false);
      show(radiusOn, 2 * k + 1, false);
    }
  }
  refreshHigherOrderImages(rt, fig, va == 1 ? 0 : orderShown > 0 ? orderShown : -1);
  for (std::size_t i = 0; i < images.size(); ++i) g.setText(images[i], "visible", imageOn[i] ? "on" : "off");
  for (std::size_t i = 0; i < radius.size(); ++i) g.setText(radius[i], "visible", radiusOn[i] ? "on" : "off");
}

// What the audience map and its colour bar show.
struct MapPicture {
  std::string title;
  std::vector<double> shown;  // the map's colour data, one value a point
  int colours = 0;
  double cmin = 0, cmax = 1;  // the colour bar's range
  std::vector<double> ticks;
  Value tickLabels = Value(Matrix{});  // nothing: labels of their own
  std::array<double, 2> clim{};        // the limits kept in the case record
};

double valueAt(const std::optional<engine::Matrix>& m, std::size_t i) {
  return m && i < m->data.size() ? m->data[i] : 0.0;
}

void markIndices(std::vector<double>& v, const std::optional<engine::IndexList>& idx, double value) {
  if (!idx) return;
  for (std::size_t i : *idx) {
    if (i >= 1 && i <= v.size()) v[i - 1] = value;
  }
}

// The first reflection number at every point (shown plus one: counts index the colour table).
MapPicture reflectionPicture(const CaseRecord& record, std::size_t points, const ListEntry& entry) {
  const int va = entry.va;
  MapPicture out;
  out.title = entry.order > 1 ? orderTitle(entry.order, entry.orderShown) : "first reflection number";
  std::vector<double> r(points, 0.0);
  if (entry.orderShown > 0) {
    const engine::Matrix& counts = (*record.RTorder)[static_cast<std::size_t>(entry.orderShown - 1)];
    for (std::size_t i = 0; i < points && i < counts.data.size(); ++i) r[i] = counts.data[i];
  } else if (va == 1) {
    for (std::size_t i = 0; i < points; ++i) r[i] = valueAt(record.RT, i);
  } else if (va == 2) {
    std::fill(r.begin(), r.end(), 1.0);
    markIndices(r, record.inDS, 0);
  } else if (record.inRW && static_cast<std::size_t>(va - 3) < record.inRW->size()) {
    const engine::IndexList& reached = (*record.inRW)[static_cast<std::size_t>(va - 3)];
    markIndices(r, reached, 1);
  }
  markIndices(r, record.ina, kNaN);
  double maxr = platform::nanMax(r);
  if (std::isnan(maxr)) maxr = 0;
  out.shown.assign(points, 0.0);
  for (std::size_t i = 0; i < points; ++i) out.shown[i] = r[i] + 1;
  out.ticks = reflectionTicks(maxr);
  out.colours = static_cast<int>(maxr) + 1;
  out.cmin = -0.5;
  out.cmax = maxr + 0.5;
  out.clim = {0, maxr + 1};
  return out;
}

// The sound level in dB at every point, of everything, the direct sound or one wall's reflection.
MapPicture levelPicture(const Runtime& rt, Handle fig, const CaseRecord& record, std::size_t points,
                        const ListEntry& entry) {
  const int va = entry.va;
  MapPicture out;
  out.title = "sound level (dB)";
  std::vector<double> p(points, kNaN);
  if (entry.orderShown > 0) {
    const engine::Matrix& energies = (*record.PTorder)[static_cast<std::size_t>(entry.orderShown - 1)];
    for (std::size_t i = 0; i < points && i < energies.data.size(); ++i)
      if (energies.data[i] != 0) p[i] = energies.data[i];
  } else if (va == 1) {
    const bool direct = controlValue(rt, fig, tags::kSelectDirect, 0) == 1;
    for (std::size_t i = 0; i < points; ++i) {
      p[i] = valueAt(record.PT, i) + (direct ? valueAt(record.Pso, i) : 0.0);
      if (p[i] == 0) p[i] = kNaN;
    }
  } else if (va == 2) {
    for (std::size_t i = 0; i < points; ++i) p[i] = valueAt(record.Pso, i) + 0.000001;
    markIndices(p, record.inDS, kNaN);
  } else if (record.inRW && record.Pwall && static_cast<std::size_t>(va - 3) < record.inRW->size()) {
    const auto k = static_cast<std::size_t>(va - 3);
    const engine::IndexList& reached = (*record.inRW)[k];
    for (std::size_t j = 0; j < reached.size(); ++j) {
      const std::size_t i = reached[j];
      if (i >= 1 && i <= points && k < record.Pwall->size() && j < (*record.Pwall)[k].size()) {
        p[i - 1] = (*record.Pwall)[k][j];
      }
    }
  }
  std::vector<double> level(points, kNaN);
  for (std::size_t i = 0; i < points; ++i) level[i] = 10 * std::log10(p[i] / 4e-10);
  markIndices(level, record.ina, kNaN);
  for (double& l : level) {
    l = l - 100 + record.Lw;
    if (l < 0) l = 0;  // NaN stays NaN
  }
  double minL = platform::nanMin(level), maxL = platform::nanMax(level);
  if (std::isnan(minL) || std::isnan(maxL) || minL == maxL) {
    minL = 0;
    maxL = 100;
  }
  out.clim = {minL, maxL};
  out.shown = std::move(level);
  out.colours = 9;
  out.cmin = minL;
  out.cmax = maxL;
  Matrix labels = Matrix::zeros(1, 10);
  for (int i = 0; i < 10; ++i) {
    const double t = minL + i * (maxL - minL) / 9;
    out.ticks.push_back(t);
    labels.data[static_cast<std::size_t>(i)] = platform::roundHalfAway(t * 10) / 10;
  }
  out.tickLabels = Value(labels);
  return out;
}

// The map's colour data, the colour bar and the window's colour table.
void drawMapPicture(Runtime& rt, Handle fig, std::optional<Handle> map, std::size_t rows, std::size_t cols,
                    const MapPicture& picture, const std::string& colormap) {
  auto& g = rt.graphics();
  if (map) g.set(*map, "cdata", Value(Matrix{rows, cols, picture.shown, 1}));
  if (const auto cbAxes = findInWindow(rt, fig, tags::kColorBarAxes)) {
    g.set(*cbAxes, "ylim", Value::row({picture.cmin, picture.cmax}));
    g.set(*cbAxes, "ytick", Value::row(picture.ticks));
    if (picture.tickLabels.isEmptyMatrix()) {
      g.setText(*cbAxes, "yticklabelmode", "auto");
    } else {
      g.set(*cbAxes, "yticklabel", picture.tickLabels);
    }
  }
  if (const auto cbPatch = findInWindow(rt, fig, tags::kColorBarPatch)) {
    g.set(*cbPatch, "ydata", Value::row({picture.cmin, picture.cmin, picture.cmax, picture.cmax}));
    g.set(*cbPatch, "cdata", Value::row({picture.cmin, picture.cmin, picture.cmax, picture.cmax}));
  }
  g.set(fig, "colormap",
        Value(tableMatrix(engine::calculate_colormap(baseColorTable(colormap), picture.colours))));
}

// The drawing's colour limits: the counts' own, the manual limits kept for the level map, or the
// level map's range.
void applyColourLimits(Runtime& rt, const Operations& ops, Handle fig, Handle axes, bool reflection,
                       bool manual, const std::array<double, 2>& clim) {
  auto& g = rt.graphics();
  if (reflection) {
    // Counts index the colour table directly: count R (shown as R + 1) takes row R + 1 of the
    // maxr + 1 colours. Scaled limits [0.5, maxr + 1.5] give the same rows, centre on centre.
    g.set(axes, "clim", Value::row({0.5, clim[1] + 0.5}));
  } else if (manual) {
    // The manual limits of the level map hold through a look at the reflection numbers.
    const auto kept = levelLimits(rt, fig);
    const auto shown = g.at(axes).numbers("clim");
    ops.call(rt, "changecolorlimits", {kept ? Value::row({(*kept)[0], (*kept)[1]}) : Value::row(shown)});
  } else {
    g.set(axes, "clim", Value::row({clim[0], clim[1]}));
    keepLevelLimits(rt, fig, clim);
  }
}

}  // namespace

void selectvalue(Runtime& rt, const Operations& ops) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  // Read in place; what this step changes (the display value, the colour limits) is stored at the end.
  const CaseRecord& record = viewCase(rt, fig);
  std::string displayvalue = chooseDisplayValue(rt, fig, record.displayvalue);

  const auto walls = wallsInWallOrder(rt, fig);
  const ListEntry entry = chosenListEntry(rt, fig, walls.size(), record);
  const int va = entry.va;
  showWallsAndImages(rt, fig, record, walls, va, entry.orderShown);

  const auto mapHandles = objectsByTag(rt, fig, tags::kAudienceMap);
  const std::optional<Handle> map =
      mapHandles.empty() ? std::nullopt : std::optional<Handle>(mapHandles.front());
  const std::size_t rows = map ? g.at(*map).matrix("xdata").rows : 0;
  const std::size_t cols = map ? g.at(*map).matrix("xdata").cols : 0;
  const auto climAuto = findInWindow(rt, fig, tags::kMenuColorLimitsAuto);
  const auto climManual = findInWindow(rt, fig, tags::kMenuColorLimitsManual);
  const auto directButton = findInWindow(rt, fig, tags::kSelectDirect);
  const bool reflection = findInWindow(rt, fig, tags::kSelectReflection)
                              ? controlValue(rt, fig, tags::kSelectReflection, 1) == 1
                              : displayvalue == "reflection";
  // Counts have no limits to choose and no direct sound to add.
  setEnable(g, climAuto, !reflection);
  setEnable(g, climManual, !reflection);
  setEnable(g, directButton, !reflection && va == 1);
  const MapPicture picture = reflection ? reflectionPicture(record, rows * cols, entry)
                                        : levelPicture(rt, fig, record, rows * cols, entry);
  if (map) g.setText(*map, "cdatamapping", reflection ? "direct" : "scaled");
  drawMapPicture(rt, fig, map, rows, cols, picture, record.colormap);

  const std::string name = record.name == "not saved" ? "..." : record.name;
  const bool manual = !reflection && !platform::equalsIgnoreCase(record.climmode, "auto");
  changeCase(rt, fig, [&](CaseRecord& changed) {
    changed.displayvalue = std::move(displayvalue);
    changed.clim = picture.clim;
  });
  applyColourLimits(rt, ops, fig, axes, reflection, manual, picture.clim);
  if (const auto status = findInWindow(rt, fig, tags::kText)) {
    g.set(*status, "string", Value("case: " + name + " - " + picture.title));
  }
  refreshsurfacearea(rt);
}

void drawImageLines(Runtime& rt, Handle fig, const engine::ImageSet& set) {
  auto& g = rt.graphics();
  const Handle axes = drawingAxes(rt, fig);
  for (Handle wall : wallsInWallOrder(rt, fig)) {
    g.setNumber(wall, "linewidth", 2);
    g.setText(wall, "linestyle", "-");
  }
  // The first image and radius line are made property by property, the others (hundreds in a large
  // room) as copies of them with their own points.
  Handle firstImage = platform::kNoHandle, firstRadius = platform::kNoHandle;
  const auto copyWithPoints = [&](Handle first, Value x, Value y) {
    const Handle h = g.copy(first, axes);
    g.set(h, "xdata", std::move(x));
    g.set(h, "ydata", std::move(y));
  };
  for (std::size_t k = 0; k < set.images.size() && k < set.visible.size(); ++k) {
    const engine::ImageRecord& image = set.images[k];
    const engine::Wall& seen = set.visible[k];
    if (firstImage == platform::kNoHandle) {
      firstImage = createObject(g, platform::ObjectType::Line, axes,
                                {{"xdata", Value(image.xi)},
                                 {"ydata", Value(image.yi)},
                                 {"linestyle", "none"},
                                 {"marker", "."},
                                 {"color", "b"},
                                 {"markersize", 10.0},
                                 {"tag", tags::kImage},
                                 {"hittest", "off"}});
    } else {
      copyWithPoints(firstImage, Value(image.xi), Value(image.yi));
    }
    const std::array<std::pair<engine::Point, engine::Point>, 2> rays = {
        std::pair{image.image1(), engine::Point{seen.x1, seen.y1}},
        std::pair{image.image2(), engine::Point{seen.x2, seen.y2}}};
    for (const auto& [from, through] : rays) {
      Value x = Value::row({from.x, from.x + kFarFactor * (through.x - from.x)});
      Value y = Value::row({from.y, from.y + kFarFactor * (through.y - from.y)});
      if (firstRadius == platform::kNoHandle) {
        firstRadius = createObject(g, platform::ObjectType::Line, axes,
                                   {{"xdata", std::move(x)},
                                    {"ydata", std::move(y)},
                                    {"linestyle", ":"},
                                    {"color", "b"},
                                    {"tag", tags::kRadius},
                                    {"hittest", "off"}});
      } else {
        copyWithPoints(firstRadius, std::move(x), std::move(y));
      }
    }
  }
}

}  // namespace velmora::editor
