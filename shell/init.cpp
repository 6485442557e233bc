#include "shell/init.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "document/arrows.h"
#include "document/case_record.h"
#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "engine/beams.h"
#include "platform/model/colormaps.h"
#include "platform/model/numbers.h"
#include "shell/reflection_order.h"
#include "shell/shortcuts.h"

namespace velmora::shell {

using namespace velmora::document;

using platform::Graphics;
using platform::Handle;
using platform::Matrix;
using platform::ObjectType;
using platform::Value;

namespace {

constexpr double kZoneMin = 4;
constexpr double kZoneMax = 640;
constexpr double kFar = 100000;  // the axis lines run far beyond any drawing

// One control of the main window, in creation order.
struct ControlRow {
  const char* style;
  std::array<double, 4> position;
  const char* string;
  const char* tag;
  std::optional<double> value;
  const char* tooltip;
  const char* callback;
  const char* enable = "on";
  const char* arrow = nullptr;  // direction of the arrow image
};

const std::vector<ControlRow>& controlTable() {
  static const std::vector<ControlRow> table = {
      {"pushbutton",
       {1, 1, 40, 20},
       "grid",
       tags::kGridButton,
       {},
       "Set grid spacing",
       "velmoracopy('changegrid')"},
      {"togglebutton", {41, 1, 40, 20}, "snap", tags::kSnapButton, 1.0, "Set points to snap to grid", ""},
      {"togglebutton",
       {81, 1, 60, 20},
       "constrain",
       tags::kConstrainButton,
       0.0,
       "Constrain wall points to be between neighbours",
       ""},
      {"pushbutton",
       {141, 1, 55, 20},
       "objects",
       tags::kObjectsButton,
       {},
       "Hide or display graphical objects",
       "",
       "inactive"},
      {"togglebutton",
       {196, 1, 55, 20},
       "measure",
       "",
       {},
       "Display cursor point coordinates and value",
       "velmoracopy('setcursormeasure')"},
      {"pushbutton",
       {251, 1, 50, 20},
       "history",
       "",
       {},
       "Go back to a previous state",
       "velmoracopy('history')"},
      {"togglebutton",
       {305, 1, 35, 20},
       "zoom",
       tags::kZoomButton,
       0.0,
       "View drawing zone only or include images",
       "velmoracopy('zoom')"},
      {"togglebutton",
       {340, 1, 35, 20},
       "view",
       tags::kViewButton,
       0.0,
       "Set drawing zone size, center drawing, ...",
       "velmoracopy('view')"},
      {"pushbutton",
       {290, 50, 20, 20},
       "C",
       tags::kCenterButton,
       {},
       "Center drawing",
       "velmoracopy('movedrawing')"},
      {"pushbutton",
       {290, 70, 20, 20},
       "",
       tags::kMoveUp,
       {},
       "Move drawing up",
       "velmoracopy('movedrawing')",
       "on",
       "up"},
      {"pushbutton",
       {310, 50, 20, 20},
       "",
       tags::kMoveRight,
       {},
       "Move drawing right",
       "velmoracopy('movedrawing')",
       "on",
       "right"},
      {"pushbutton",
       {290, 30, 20, 20},
       "",
       tags::kMoveDown,
       {},
       "Move drawing down",
       "velmoracopy('movedrawing')",
       "on",
       "down"},
      {"pushbutton",
       {270, 50, 20, 20},
       "",
       tags::kMoveLeft,
       {},
       "Move drawing left",
       "velmoracopy('movedrawing')",
       "on",
       "left"},
      {"pushbutton",
       {420, 50, 20, 20},
       ">>",
       tags::kExpandMost,
       {},
       "Expand working zone (+5)",
       "velmoracopy('expand')"},
      {"pushbutton",
       {400, 50, 20, 20},
       ">",
       tags::kExpandMore,
       {},
       "Expand working zone (+1)",
       "velmoracopy('expand')"},
      {"pushbutton",
       {380, 50, 20, 20},
       "M",
       tags::kExpandFit,
       {},
       "Set working zone to match drawing",
       "velmoracopy('expand')"},
      {"pushbutton",
       {360, 50, 20, 20},
       "<",
       tags::kExpandLess,
       {},
       "Reduce working zone (-1)",
       "velmoracopy('expand')"},
      {"pushbutton",
       {340, 50, 20, 20},
       "<<",
       tags::kExpandLeast,
       {},
       "Reduce working zone (+5)",
       "velmoracopy('expand')"},
      {"listbox",
       {555, 460, 70, 75},
       "all|direct|wall 1|wall 2|wall 3|wall 4",
       tags::kValueList,
       1.0,
       "Select wall",
       "velmoracopy('select')"},
      {"radiobutton",
       {565, 70, 70, 20},
       "reflections",
       tags::kSelectReflection,
       1.0,
       "View reflection number",
       "velmoracopy('select')"},
      {"radiobutton",
       {565, 50, 70, 20},
       "decibels",
       tags::kSelectDecibel,
       0.0,
       "View sound power value",
       "velmoracopy('select')"},
      {"radiobutton",
       {565, 30, 70, 20},
       "direct",
       tags::kSelectDirect,
       0.0,
       "Add direct sound",
       "velmoracopy('select')"},
      {"pushbutton", {380, 1, 45, 20}, "utils", "", {}, "Utilities", "", "inactive"},
      {"pushbutton",
       {425, 1, 50, 20},
       "polar",
       tags::kPolarButton,
       {},
       "Create a polar diagram of receptor received sound",
       "velmoracopy('polardiagram')"},
      {"pushbutton",
       {475, 1, 40, 20},
       "scan",
       tags::kScanButton,
       {},
       "Import room design from a scanned plan",
       "velmoracopy('scan')"},
      {"pushbutton",
       {519, 1, 40, 20},
       "print",
       tags::kPrintButton,
       {},
       "Print current figure",
       "velmoracopy('print')"},
      {"pushbutton",
       {559, 1, 40, 20},
       "load",
       tags::kLoadButton,
       {},
       "Load an existing case",
       "velmoracopy('load')"},
      {"pushbutton",
       {599, 1, 40, 20},
       "save",
       tags::kSaveButton,
       {},
       "Save current case",
       "velmoracopy('save')"},
  };
  return table;
}

Value row4(const std::array<double, 4>& v) {
  return Value::row({v[0], v[1], v[2], v[3]});
}

Handle makeFigure(platform::Runtime& rt, Graphics& g) {
  const Handle fig = g.create(ObjectType::Figure, platform::kRoot);
  const auto [screenWidth, screenHeight] = rt.ui().screenSize();
  const Value controlBackground = g.get(fig, "defaultuicontrolbackgroundcolor");
  setProperties(g, fig,
                {{"tag", tags::kMainWindow},
                 {"color", controlBackground},
                 {"interruptible", "off"},
                 {"colormap", Value(platform::jetColormap(256))},
                 {"renderer", "zbuffer"},
                 {"menubar", "none"},
                 {"numbertitle", "off"},
                 {"name", std::string(kWindowTitle)},
                 {"position",
                  Value::row({std::floor((screenWidth - kWindowWidth) / 2),
                              std::floor((screenHeight - kWindowHeight) / 2), kWindowWidth, kWindowHeight})},
                 {"resize", "off"},
                 {"paperunits", "points"},
                 {"paperposition", Value::row({0, 0, 614.4, 537.6})}});
  document::setControlDefaults(g, fig);
  return fig;
}

void makeColourBar(Graphics& g, Handle fig) {
  const Handle axes = g.create(ObjectType::Axes, fig);
  const Handle patch = createObject(g, ObjectType::Patch, axes,
                                    {{"xdata", Value::row({0, 1, 1, 0})},
                                     {"ydata", Value::row({-0.5, -0.5, 4.5, 4.5})},
                                     {"cdata", Value::row({0, 0, 4, 4})},
                                     {"facecolor", "interp"},
                                     {"edgecolor", "none"},
                                     {"tag", tags::kColorBarPatch}});
  const std::array<MenuItem, 4> items = {
      MenuItem{"color", "velmoracopy('changecolormap')", false, true, tags::kMenuColor},
      MenuItem{"gray", "velmoracopy('changecolormap')", false, false, tags::kMenuGray},
      MenuItem{"CL auto", "velmoracopy('changecolorlimits')", true, true, tags::kMenuColorLimitsAuto},
      MenuItem{"CL manual", "velmoracopy('changecolorlimits')", false, false, tags::kMenuColorLimitsManual},
  };
  makeContextMenu(g, fig, items, patch);
  setProperties(g, axes,
                {{"tag", tags::kColorBarAxes},
                 {"position", Value::row({0.89, 0.2, 0.05, 0.6})},
                 {"xtick", Value(Matrix{})},
                 {"yaxislocation", "right"},
                 {"ticklength", Value::row({0, 0})},
                 {"xlim", Value::row({0, 1})},
                 {"ylim", Value::row({-0.5, 4.5})},
                 {"ytick", Value::row({0, 1, 2, 3, 4})},
                 {"box", "on"},
                 {"hittest", "off"}});
}

Handle makeDrawingArea(Graphics& g, Handle fig, double zone) {
  const Handle axes = createObject(g, ObjectType::Axes, fig,
                                   {{"tag", tags::kDrawingAxes},
                                    {"position", Value::row({0, 0.05, 0.9, 0.9})},
                                    {"box", "on"},
                                    {"xtick", Value(Matrix{})},
                                    {"ytick", Value(Matrix{})},
                                    {"dataaspectratio", Value::row({1, 1, 1})},
                                    {"xlim", Value::row({0, zone})},
                                    {"ylim", Value::row({-zone / 2, zone / 2})},
                                    {"nextplot", "add"},
                                    {"hittest", "on"},
                                    {"buttondownfcn", "velmoracopy('zoomaxes')"}});
  g.setAppData(fig, "zoomaxesfactor", Value(1.2));
  g.setAppData(fig, "zoomaxesstatus", Value(0.0));
  installShortcuts(g, fig);

  const std::string axisPress = "set(gcf,'windowbuttonmotionfcn','velmoracopy(''moveaxis'')')";
  createObject(g, ObjectType::Line, axes,
               {{"xdata", Value::row({-kFar, kFar})},
                {"ydata", Value::row({0, 0})},
                {"zdata", Value::row({-2, -2})},
                {"color", "k"},
                {"tag", tags::kXAxis},
                {"hittest", "on"},
                {"buttondownfcn", axisPress}});
  createObject(g, ObjectType::Line, axes,
               {{"xdata", Value::row({0, 0})},
                {"ydata", Value::row({-kFar, kFar})},
                {"zdata", Value::row({-2, -2})},
                {"color", "k"},
                {"tag", tags::kYAxis},
                {"hittest", "on"},
                {"buttondownfcn", axisPress}});
  createObject(g, ObjectType::Line, axes,
               {{"xdata", Value(0.0)},
                {"ydata", Value(0.0)},
                {"zdata", Value(-2.0)},
                {"linestyle", "none"},
                {"marker", "."},
                {"color", "k"},
                {"markersize", 1.0},
                {"tag", tags::kGrid},
                {"hittest", "off"}});
  return axes;
}

void makeMarkers(Graphics& g, Handle fig, Handle axes, const DefaultRoom& room) {
  const Handle source = createObject(g, ObjectType::Line, axes,
                                     {{"xdata", Value(room.xso)},
                                      {"ydata", Value(room.yso)},
                                      {"linestyle", "none"},
                                      {"marker", "o"},
                                      {"markersize", 8.0},
                                      {"markerfacecolor", "r"},
                                      {"markeredgecolor", "k"},
                                      {"tag", tags::kSource},
                                      {"buttondownfcn", "velmoracopy('preparemovesource')"},
                                      {"interruptible", "off"}});
  const std::array<MenuItem, 1> sourceMenu = {MenuItem{"position", "velmoracopy('setsourceposition')"}};
  makeContextMenu(g, fig, sourceMenu, source);

  const Handle receptor = createObject(g, ObjectType::Line, axes,
                                       {{"xdata", Value(room.xre)},
                                        {"ydata", Value(room.yre)},
                                        {"linestyle", "none"},
                                        {"marker", "pentagram"},
                                        {"markersize", 12.0},
                                        {"markerfacecolor", "y"},
                                        {"markeredgecolor", "k"},
                                        {"tag", tags::kReceptor},
                                        {"buttondownfcn", "velmoracopy('preparemovereceptor')"},
                                        {"interruptible", "off"}});
  const std::array<MenuItem, 1> receptorMenu = {MenuItem{"position", "velmoracopy('setreceptorposition')"}};
  makeContextMenu(g, fig, receptorMenu, receptor);
}

void makeControlMenu(Graphics& g, Handle fig, Handle control, std::string_view owner) {
  if (owner == "hiddensettings") {
    const std::array<MenuItem, 3> items = {
        MenuItem{"diffusion factor for convex walls", "velmoracopy('diffusionfactor')", false, true},
        MenuItem{"change absorption manually", "velmoracopy('changealphamanual')", true},
        MenuItem{"zoom", "velmoracopy('zoomaxes')", true},
    };
    const Handle menu = makeContextMenu(g, fig, items, control);
    // The reflection order of the case: "1" (checked) to "6".
    const Handle orders = addMenuItem(g, menu, {kReflectionOrderLabel, "", true});
    for (int k = 1; k <= engine::kMaxOrder; ++k) {
      addMenuItem(
          g, orders,
          {std::to_string(k), "velmoracopy('reflectionorder','" + std::to_string(k) + "')", false, k == 1});
    }
  } else if (owner == "objects") {
    const char* hide = "velmoracopy('hideviewobjects')";
    const std::array<MenuItem, 6> items = {
        MenuItem{"grid", hide, false, false},    MenuItem{"images", hide, false, true},
        MenuItem{"radius", hide, false, true},   MenuItem{"axes", hide, false, true},
        MenuItem{"receptor", hide, false, true}, MenuItem{"audience limits", hide, false, true},
    };
    const Handle menu = makeContextMenu(g, fig, items, control);
    addMenuItem(g, menu, {"scale bar", "velmoracopy('scalebar')", true, true});
    // The map follows vertex, source and audience drags while this is checked (editor/live_map).
    addMenuItem(g, menu, {"live map", hide, false, true});
    // Above order 1: the images of the higher orders, smaller and lighter, with their windows.
    addMenuItem(g, menu, {"higher-order images", hide, false, false});
  } else if (owner == "utils") {
    const Handle menu = g.create(ObjectType::UiContextMenu, fig);
    addMenuItem(g, menu, {"dB sum", "velmoracopy('dbsum')"});
    addMenuItem(g, menu, {"dB decrease", "velmoracopy('dbdecrease')"});
    const Handle shapes = addMenuItem(g, menu, {"geometric shapes", "", true});
    for (const char* shape : {"circle", "ellipse", "parabola", "logarithmic spiral"}) {
      addMenuItem(g, shapes, {shape, "velmoracopy('geometricshapes')"});
    }
    addMenuItem(g, menu, {"animation", "velmoracopy('anim')", true});
    addMenuItem(g, menu, {"true scale plan (to printer)", "velmoracopy('scaleplan')", true});
    addMenuItem(g, menu, {"echogram", "velmoracopy('echogram')", true});
    addMenuItem(g, menu, {"room acoustics...", "velmoracopy('roomacoustics')"});
    addMenuItem(g, menu, {"import DXF plan...", "velmoracopy('importdxf')"});
    g.set(control, "uicontextmenu", Value::handle(menu));
  }
}

void makeControls(Graphics& g, Handle fig) {
  // The hidden settings control: a text with the window's colour, reached by a right click in the
  // top-left corner.
  const Handle hidden = createObject(g, ObjectType::UiControl, fig,
                                     {{"style", "text"},
                                      {"units", "normalized"},
                                      {"position", Value::row({0, 0.95, 0.05, 0.05})},
                                      {"string", ""},
                                      {"tag", "hiddensettings"},
                                      {"backgroundcolor", g.get(fig, "color")}});
  makeControlMenu(g, fig, hidden, "hiddensettings");

  for (const ControlRow& row : controlTable()) {
    const Handle c = createObject(g, ObjectType::UiControl, fig,
                                  {{"style", row.style},
                                   {"position", row4(row.position)},
                                   {"string", row.string},
                                   {"tag", row.tag},
                                   {"tooltipstring", row.tooltip},
                                   {"callback", row.callback},
                                   {"enable", row.enable}});
    if (row.value) g.set(c, "value", Value(*row.value));
    if (row.arrow != nullptr) g.set(c, "cdata", Value(createarrow(std::string(row.arrow))));
    makeControlMenu(g, fig, c, row.string);
  }
}

}  // namespace

std::optional<double> getzonesize(platform::Runtime& rt) {
  platform::InputDialog dialog;
  dialog.prompts = {"Enter drawing zone dimension in meter ([4 640]):"};
  dialog.title = "Zone definition";
  dialog.lines = 1;
  dialog.defaults = {"20"};
  // An answer that does not read as a number is said so and asked again, so a slip such as "20 m"
  // does not end the program silently; only Cancel ends the question with nothing.
  for (;;) {
    const auto answer = rt.ui().input(dialog);
    if (!answer || answer->empty()) return std::nullopt;
    const auto numbers = platform::readNumbers(answer->front());
    if (!numbers || numbers->empty()) {
      rt.ui().message(platform::MessageKind::Error, std::string(kZoneAnswerError), dialog.title);
      continue;
    }
    // NaN answers count as nothing typed; the zone is at least 4 whatever was read.
    double zone = kZoneMin;
    for (double v : *numbers) {
      if (!std::isnan(v)) zone = std::max(zone, v);
    }
    zone = std::min(kZoneMax, zone);
    return 2 * std::ceil(zone / 2);
  }
}

Handle init(platform::Runtime& rt, const Operations& ops, double zone) {
  Graphics& g = rt.graphics();
  const Handle fig = makeFigure(rt, g);
  const double gsize = gsizeForZone(zone);
  makeColourBar(g, fig);

  const Handle axes = makeDrawingArea(g, fig, zone);
  const DefaultRoom room = defaultRoom(zone);
  makeWallChain(g, axes, room.xwall, room.ywall, room.alpha);
  makeAudienceArea(g, axes, room.xaud, room.yaud);
  const Handle map = makeAudienceMap(g, axes, room.Nsurface, -0.01);
  g.set(map, "faceoffsetbias", Value(0.3 / zone));
  makeMarkers(g, fig, axes, room);

  makeControls(g, fig);
  createObject(g, ObjectType::Text, axes,
               {{"units", "normalized"},
                {"position", Value::row({0.5, 1.015})},
                {"string", "a"},
                {"fontsize", 10.0},
                {"fontname", "Times New Roman"},
                {"horizontalalignment", "center"},
                {"verticalalignment", "bottom"},
                {"interpreter", "none"},
                {"tag", tags::kText}});

  CaseRecord record = newCaseRecord(zone);
  record.gsize = gsize;
  storeCase(rt, fig, std::move(record));

  // A named argument list: GCC 12 at -O3 takes the braced temporary for uninitialized.
  std::vector<Value> gridArgs;
  gridArgs.emplace_back(gsize);
  ops.call(rt, "changegrid", gridArgs);
  for (const char* step :
       {document::kViewOperation, "refreshsurfaceposition", "checkroomconvexity", "refreshimages", "setlayer",
        "refreshsurfacevalues", "selectvalue", "hidegrid", "refreshwallmenu"}) {
    ops.call(rt, step);
  }
  return fig;
}

}  // namespace velmora::shell
