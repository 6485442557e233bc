// The small display controls of the main window: colour scale and colour limits of the audience map,
// the show/hide menu of drawing objects, the diffusion factor switch and the measuring mode.

#include <algorithm>
#include <cmath>

#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "platform/model/colormaps.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using platform::Graphics;
using platform::Matrix;
using platform::ObjectType;
using platform::Value;
using namespace velmora::document;

namespace {

constexpr int kColorBarTicks = 10;

// The menu item that called the running operation, if a menu item did.
std::optional<Handle> callingMenuItem(const Runtime& rt) {
  const auto& g = rt.graphics();
  const Handle caller = rt.callbackObject();
  if (caller == platform::kNoHandle || !g.exists(caller) || g.at(caller).type() != ObjectType::UiMenu) {
    return std::nullopt;
  }
  return caller;
}

void check(Graphics& g, std::optional<Handle> item, bool on) {
  if (item) g.setText(*item, "checked", on ? "on" : "off");
}

const char* onOff(bool on) {
  return on ? "on" : "off";
}

bool reflectionMode(const Runtime& rt, Handle fig, const CaseRecord& record) {
  if (const auto button = findInWindow(rt, fig, tags::kSelectReflection)) {
    const auto v = rt.graphics().at(*button).numbers("value");
    return !v.empty() && v.front() == 1;
  }
  return record.displayvalue == "reflection";
}

Matrix tableMatrix(const engine::ColorTable& t) {
  Matrix m = Matrix::zeros(t.size(), 3);
  for (std::size_t r = 0; r < t.size(); ++r) {
    for (std::size_t c = 0; c < 3; ++c) m(r, c) = t[r][c];
  }
  return m;
}

// The colour bar of a level map with limits [cmin, cmax]: ten ticks labelled to 0.1.
void levelColorBar(Runtime& rt, Handle fig, double cmin, double cmax) {
  auto& g = rt.graphics();
  std::vector<double> ticks;
  Matrix labels = Matrix::zeros(1, kColorBarTicks);
  for (int i = 0; i < kColorBarTicks; ++i) {
    const double t = cmin + i * (cmax - cmin) / (kColorBarTicks - 1);
    ticks.push_back(t);
    labels.data[static_cast<std::size_t>(i)] = platform::roundHalfAway(t * 10) / 10;
  }
  if (const auto axes = findInWindow(rt, fig, tags::kColorBarAxes)) {
    g.set(*axes, "ylim", Value::row({cmin, cmax}));
    g.set(*axes, "ytick", Value::row(ticks));
    g.set(*axes, "yticklabel", Value(labels));
  }
  if (const auto patch = findInWindow(rt, fig, tags::kColorBarPatch)) {
    g.set(*patch, "ydata", Value::row({cmin, cmin, cmax, cmax}));
    g.set(*patch, "cdata", Value::row({cmin, cmin, cmax, cmax}));
  }
}

// The "measure" toggle: the calling control, or the toggle labelled so.
std::optional<Handle> measureToggle(const Runtime& rt, Handle fig) {
  const auto& g = rt.graphics();
  const Handle caller = rt.callbackObject();
  if (caller != platform::kNoHandle && g.exists(caller) && g.at(caller).type() == ObjectType::UiControl) {
    return caller;
  }
  const auto found = g.findIf(fig, [](const platform::GraphicsObject& o) {
    if (o.type() != ObjectType::UiControl) return false;
    const Value s = o.get("string");
    return s.isText() && s.text() == "measure" && o.text("style") == "togglebutton";
  });
  if (found.empty()) return std::nullopt;
  return found.front();
}

}  // namespace

engine::ColorTable baseColorTable(const std::string& colormap) {
  engine::ColorTable table;
  if (platform::equalsIgnoreCase(colormap, "color")) {
    const Matrix jet = platform::jetColormap(256);
    for (std::size_t r = 31; r < 225; ++r) table.push_back({jet(r, 0), jet(r, 1), jet(r, 2)});
  } else {
    const Matrix gray = platform::grayColormap(256);
    for (std::size_t r = 240; r-- > 99;) table.push_back({gray(r, 0), gray(r, 1), gray(r, 2)});
  }
  return table;
}

void changecolormap(Runtime& rt) {
  auto& g = rt.graphics();
  const auto item = callingMenuItem(rt);
  if (!item) return;  // only the two menu items choose a scale
  const Handle fig = currentMainWindow(rt);
  const auto colorItem = findInWindow(rt, fig, tags::kMenuColor);
  const auto grayItem = findInWindow(rt, fig, tags::kMenuGray);
  if (*item != colorItem && *item != grayItem) return;
  const bool color = *item == colorItem;
  check(g, findInWindow(rt, fig, tags::kMenuColor), color);
  check(g, findInWindow(rt, fig, tags::kMenuGray), !color);
  CaseRecord record = readCase(rt, fig);
  record.colormap = color ? "color" : "gray";
  const int colours = static_cast<int>(g.at(fig).matrix("colormap").rows);
  g.set(fig, "colormap",
        Value(tableMatrix(engine::calculate_colormap(baseColorTable(record.colormap), colours))));
  storeCase(rt, fig, std::move(record));
}

std::optional<std::array<double, 2>> levelLimits(const Runtime& rt, Handle fig) {
  const Value* v = rt.graphics().at(fig).appData("levelclim");
  if (v == nullptr || !v->isMatrix() || v->matrix().numel() != 2) return std::nullopt;
  const auto n = v->numbers();
  return std::array<double, 2>{n[0], n[1]};
}

void keepLevelLimits(Runtime& rt, Handle fig, const std::array<double, 2>& limits) {
  rt.graphics().setAppData(fig, "levelclim", Value::row({limits[0], limits[1]}));
}

void changecolorlimits(Runtime& rt, const std::optional<std::array<double, 2>>& limits, bool automatic) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  CaseRecord record = readCase(rt, fig);
  const auto autoItem = findInWindow(rt, fig, tags::kMenuColorLimitsAuto);
  const auto manualItem = findInWindow(rt, fig, tags::kMenuColorLimitsManual);

  bool manual = false;
  bool fromMenu = false;
  if (limits) {
    manual = true;
  } else if (automatic) {
    manual = false;
  } else {
    const auto item = callingMenuItem(rt);
    if (!item) return;
    if (*item != autoItem && *item != manualItem) return;
    manual = *item == manualItem;
    fromMenu = true;
    if (reflectionMode(rt, fig, record)) {
      // Counts have no limits to set: only the choice is kept for the level map.
      check(g, autoItem, !manual);
      check(g, manualItem, manual);
      record.climmode = manual ? "manual" : "auto";
      storeCase(rt, fig, std::move(record));
      return;
    }
  }

  const auto shown = g.at(axes).numbers("clim");
  std::array<double, 2> current{record.clim[0], record.clim[1]};
  if (const auto kept = levelLimits(rt, fig)) {
    current = *kept;
  } else if (shown.size() == 2) {
    current = {shown[0], shown[1]};
  }
  std::array<double, 2> chosen = current;
  if (!manual) {
    chosen = record.clim;
  } else if (fromMenu) {
    platform::InputDialog dialog;
    dialog.prompts = {"Enter color limits:"};
    dialog.title = "Set color limits";
    dialog.lines = 1;
    dialog.defaults = {platform::formatNumber(current[0]) + " " + platform::formatNumber(current[1])};
    const auto answer = rt.ui().input(dialog);
    if (!answer || answer->empty()) return;
    const auto numbers = platform::readNumbers(answer->front());
    if (!numbers || numbers->size() != 2 || !std::isfinite((*numbers)[0]) || !std::isfinite((*numbers)[1])) {
      return;
    }
    // Limits the wrong way round keep the present ones.
    if ((*numbers)[0] < (*numbers)[1]) chosen = {(*numbers)[0], (*numbers)[1]};
  } else if (std::isfinite((*limits)[0]) && std::isfinite((*limits)[1]) && (*limits)[0] < (*limits)[1]) {
    chosen = *limits;
  }

  check(g, autoItem, !manual);
  check(g, manualItem, manual);
  record.climmode = manual ? "manual" : "auto";
  g.set(axes, "clim", Value::row({chosen[0], chosen[1]}));
  keepLevelLimits(rt, fig, chosen);
  levelColorBar(rt, fig, chosen[0], chosen[1]);
  storeCase(rt, fig, std::move(record));
}

void hideviewobjects(Runtime& rt, const Operations& ops, const std::optional<std::string>& which) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  if (which) {
    struct Switch {
      const char* text;
      const char* label;
      bool on;
    };
    static constexpr std::array<Switch, 4> kSwitches = {{{"images-on", "images", true},
                                                         {"images-off", "images", false},
                                                         {"radius-on", "radius", true},
                                                         {"radius-off", "radius", false}}};
    for (const Switch& s : kSwitches) {
      if (platform::equalsIgnoreCase(*which, s.text)) {
        check(g, controlMenuItem(g, fig, tags::kObjectsButton, s.label), s.on);
        selectvalue(rt, ops);
        return;
      }
    }
    return;
  }

  const auto item = callingMenuItem(rt);
  if (!item) return;
  const bool on = !g.at(*item).isOn("checked");
  g.setText(*item, "checked", onOff(on));
  const std::string label = g.at(*item).text("label");
  if (label == "grid") {
    hidegrid(rt);
  } else if (label == "images" || label == "radius" || label == "higher-order images") {
    selectvalue(rt, ops);
  } else if (label == "axes") {
    for (const char* tag : {tags::kXAxis, tags::kYAxis}) {
      for (Handle h : objectsByTag(rt, fig, tag)) g.setText(h, "visible", onOff(on));
    }
  } else if (label == "receptor") {
    for (Handle h : objectsByTag(rt, fig, tags::kReceptor)) g.setText(h, "visible", onOff(on));
    if (const auto polar = findInWindow(rt, fig, tags::kPolarButton)) g.setText(*polar, "enable", onOff(on));
  } else if (label == "audience limits") {
    for (const char* tag : {tags::kAudienceEdge, tags::kAudienceVertex}) {
      for (Handle h : objectsByTag(rt, fig, tag)) g.setText(h, "visible", onOff(on));
    }
  }
}

void diffusionfactor(Runtime& rt, const Operations& ops) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const auto item = controlMenuItem(g, fig, "hiddensettings", "diffusion factor for convex walls");
  if (item) g.setText(*item, "checked", onOff(!g.at(*item).isOn("checked")));
  if (readCase(rt, fig).curves.empty()) return;  // no convex walls: nothing to recompute
  refreshimages(rt, fig);
  setlayer(rt);
  ops.call(rt, "refreshsurfacevalues");
  selectvalue(rt, ops);
}

std::string measureText(double x, double y) {
  const auto rounded = [](double v) {
    return platform::formatNumber(platform::roundHalfAway(v * 10) / 10 + 0.0);  // + 0.0: no "-0"
  };
  // Appended piece by piece: GCC 12's -Wrestrict misreads " " + std::string at -O2.
  std::string text = " ";
  text += rounded(x);
  text += ',';
  text += rounded(y);
  return text;
}

void setcursormeasure(Runtime& rt, const Operations& ops) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  const auto toggle = measureToggle(rt, fig);
  if (!toggle) return;
  const auto value = g.at(*toggle).numbers("value");
  const bool pressed = !value.empty() && value.front() == 1;
  for (Handle h : objectsByTag(rt, fig, tags::kMeasureText)) g.remove(h);

  if (pressed) {
    createObject(g, ObjectType::Text, axes,
                 {{"tag", tags::kMeasureText},
                  {"fontsize", 14.0},
                  {"fontname", "default"},
                  {"fontweight", "normal"},
                  {"units", "data"},
                  {"position", Value::row({0, 0})},
                  {"string", ""},
                  {"horizontalalignment", "left"},
                  {"verticalalignment", "bottom"}});
    ops.call(rt, "enableobjects", {Value("off")});
    g.setText(*toggle, "enable", "on");
    // Pointer positions are read in the drawing area.
    g.set(fig, "currentaxes", Value::handle(axes));
    g.setText(fig, "windowbuttonmotionfcn", "velmoracopy('measure')");
    g.setText(fig, "pointer", "crosshair");
  } else {
    ops.call(rt, "enableobjects", {Value("on")});
    g.setText(fig, "windowbuttonmotionfcn", "");
    g.setText(fig, "pointer", "arrow");
  }
}

void measure(Runtime& rt) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const auto text = objectsByTag(rt, fig, tags::kMeasureText);
  if (text.empty()) return;
  const Handle axes = drawingAxes(rt, fig);
  if (g.currentAxes(fig) != axes) {
    // The pointer was last followed in another axes: follow the drawing area from the next motion on.
    g.set(fig, "currentaxes", Value::handle(axes));
    return;
  }
  const Matrix& point = g.at(axes).matrix("currentpoint");
  if (point.rows == 0 || point.cols < 2) return;
  const double x = platform::roundHalfAway(point(0, 0) * 10) / 10;
  const double y = platform::roundHalfAway(point(0, 1) * 10) / 10;
  g.set(text.front(), "position", Value::row({x, y}));
  g.set(text.front(), "string", Value(measureText(point(0, 0), point(0, 1))));
}

}  // namespace velmora::editor
