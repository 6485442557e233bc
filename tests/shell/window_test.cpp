// The main window: zone question, construction, drawing objects, rebuild, wall menus, control
// locking, printing and the arrow icons, driven through the dispatcher with scripted dialogs.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/arrows.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "platform/automation/scripted_ui.h"
#include "platform/model/callbacks.h"
#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "shell/dispatcher.h"
#include "shell/wall_menu.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;

class MainWindowTest : public test_support::MainWindowFixture<> {
 protected:
  Handle open() { return openMainWindow(); }
  std::vector<Handle> mainWindows() const {
    std::vector<Handle> out;
    for (Handle f : rt.graphics().figures()) {
      if (isMainWindow(rt, f)) out.push_back(f);
    }
    return out;
  }
  engine::Point at(Handle h) const { return firstPoint(rt, h); }
  Handle control(Handle fig, const std::string& tagOrString) const {
    const auto found = rt.graphics().findIf(fig, [&](const platform::GraphicsObject& o) {
      if (o.type() != ObjectType::UiControl) return false;
      const Value s = o.get("string");
      return o.tag() == tagOrString || (o.tag().empty() && s.isText() && s.text() == tagOrString);
    });
    EXPECT_EQ(found.size(), 1u) << tagOrString;
    return found.empty() ? platform::kNoHandle : found.front();
  }
  std::vector<std::string> menuLabels(Handle menu) const {
    std::vector<std::string> out;
    for (Handle item : menuItemsInOrder(rt.graphics(), menu)) out.push_back(text(item, "label"));
    return out;
  }
  Handle menuOf(Handle h) const { return rt.graphics().get(h, "uicontextmenu").object(); }
  void rebuild(const CaseDescription& d) { velmoracopy(rt, ops, {Value("update"), d.toValue()}); }
};

// ---- zone question -------------------------------------------------------------------------------

TEST_F(MainWindowTest, ZoneAnswersGiveTheZoneOrNoWindow) {
  struct Row {
    std::optional<std::string> answer;
    std::optional<double> zone;
  };
  const std::vector<Row> rows = {{"3", 4},   {"700", 640}, {"15", 16},         {"10 30", 30},
                                 {"20", 20}, {"abc", {}},  {std::nullopt, {}}, {"", {}},
                                 {"4;7", 8}, {"-5", 4},    {"1+1", {}},        {"Inf", 640}};
  for (const Row& row : rows) {
    const std::size_t before = mainWindows().size();
    start(row.answer);
    const auto windows = mainWindows();
    if (!row.zone) {
      EXPECT_EQ(windows.size(), before) << row.answer.value_or("<cancel>");
      continue;
    }
    ASSERT_EQ(windows.size(), before + 1) << *row.answer;
    const CaseRecord r = readCase(rt, currentMainWindow(rt));
    EXPECT_EQ(r.height, *row.zone) << *row.answer;
    EXPECT_EQ(r.xlim[1], *row.zone);
  }
  // The dialog itself.
  const auto& shown = ui.shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front().title, "Zone definition");
  EXPECT_EQ(shown.front().text, "Enter drawing zone dimension in meter ([4 640]):");
}

// ---- the new window ------------------------------------------------------------------------------

TEST_F(MainWindowTest, DefaultRoomOfZone20) {
  const Handle fig = open();
  const auto walls = wallsInWallOrder(rt, fig);
  ASSERT_EQ(walls.size(), 4u);
  const std::vector<std::array<double, 4>> expected = {
      {3, -7, 17, -7}, {17, -7, 17, 7}, {17, 7, 3, 7}, {3, 7, 3, -7}};
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(nums(walls[k], "xdata"), (std::vector<double>{expected[k][0], expected[k][2]})) << k;
    EXPECT_EQ(nums(walls[k], "ydata"), (std::vector<double>{expected[k][1], expected[k][3]})) << k;
  }
  const auto corners = objectsInCreationOrder(rt, fig, "acouaudiencevertex");
  ASSERT_EQ(corners.size(), 4u);
  const std::vector<std::pair<double, double>> aud = {{5, -5}, {15, -5}, {15, 5}, {5, 5}};
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(at(corners[k]).x, aud[k].first);
    EXPECT_EQ(at(corners[k]).y, aud[k].second);
  }
  EXPECT_EQ(at(objectInWindow(rt, fig, "acousource")).x, 3.5);
  EXPECT_EQ(at(objectInWindow(rt, fig, "acousource")).y, 0);
  EXPECT_EQ(at(objectInWindow(rt, fig, "acoureceptor")).x, 16.5);

  const CaseRecord r = readCase(rt, fig);
  EXPECT_EQ(r.name, "not saved");
  EXPECT_EQ(r.gsize, 0.5);
  EXPECT_EQ(r.ylim, (std::array<double, 2>{-10, 10}));
  EXPECT_EQ(r.Lw, 100);
  EXPECT_EQ(r.colormap, "color");
  // The start-up chain ran: convexity, images, map values.
  EXPECT_EQ(r.iscnvx, 1);
  ASSERT_TRUE(r.images);
  EXPECT_EQ(r.images->size(), 4u);
  ASSERT_TRUE(r.RT);
  EXPECT_EQ(r.RT->rows, 21u);
  EXPECT_EQ(objectsByTag(rt, fig, "acouimage").size(), 4u);
  EXPECT_EQ(objectsByTag(rt, fig, "acouradius").size(), 8u);
  // Audience map placed on the audience area; map corners on the area corners.
  const Handle map = objectInWindow(rt, fig, "acouaudiencesurface");
  const auto& xs = rt.graphics().at(map).matrix("xdata");
  const auto& ys = rt.graphics().at(map).matrix("ydata");
  EXPECT_DOUBLE_EQ(xs(0, 0), 5);
  EXPECT_DOUBLE_EQ(ys(0, 0), -5);
  EXPECT_DOUBLE_EQ(xs(20, 20), 15);
  EXPECT_DOUBLE_EQ(ys(20, 20), 5);
  EXPECT_DOUBLE_EQ(rt.graphics().at(map).number("faceoffsetbias"), 0.3 / 20);
  EXPECT_EQ(text(objectInWindow(rt, fig, "acoutext"), "string"), "case: ... - first reflection number");
}

TEST_F(MainWindowTest, WindowProperties) {
  const Handle fig = open();
  const auto& g = rt.graphics();
  EXPECT_EQ(text(fig, "tag"), "acoufig");
  EXPECT_EQ(text(fig, "interruptible"), "off");
  EXPECT_EQ(text(fig, "resize"), "off");
  EXPECT_EQ(text(fig, "menubar"), "none");
  EXPECT_EQ(text(fig, "numbertitle"), "off");
  EXPECT_EQ(text(fig, "renderer"), "zbuffer");
  EXPECT_EQ(text(fig, "name").rfind("VELMORA  (", 0), 0u);
  const auto [sw, sh] = ui.screenSize();
  EXPECT_EQ(nums(fig, "position"), (std::vector<double>{(sw - 640) / 2.0, (sh - 560) / 2.0, 640, 560}));
  EXPECT_EQ(nums(fig, "paperposition"), (std::vector<double>{0, 0, 614.4, 537.6}));
  EXPECT_EQ(text(fig, "paperunits"), "points");
  EXPECT_EQ(g.at(fig).color("color"), g.at(fig).color("defaultuicontrolbackgroundcolor"));
  EXPECT_EQ(nums(fig, "defaultuicontrolfontsize"), std::vector<double>{6});
  EXPECT_EQ(text(fig, "defaultuicontrolfontweight"), "light");
  EXPECT_EQ(g.at(fig).appData("zoomaxesfactor")->scalar(), 1.2);
  EXPECT_EQ(g.at(fig).appData("zoomaxesstatus")->scalar(), 0);

  const Handle cb = objectInWindow(rt, fig, "acoucbaxes");
  EXPECT_EQ(nums(cb, "position"), (std::vector<double>{0.89, 0.2, 0.05, 0.6}));
  EXPECT_EQ(text(cb, "yaxislocation"), "right");
  EXPECT_EQ(text(cb, "hittest"), "off");
  EXPECT_TRUE(nums(cb, "xtick").empty());
  const Handle patch = objectInWindow(rt, fig, "acoucbpatch");
  EXPECT_EQ(menuLabels(menuOf(patch)), (std::vector<std::string>{"color", "gray", "CL auto", "CL manual"}));
  const auto cbItems = menuItemsInOrder(g, menuOf(patch));
  EXPECT_EQ(text(cbItems[0], "checked"), "on");
  EXPECT_EQ(text(cbItems[1], "checked"), "off");
  EXPECT_EQ(text(cbItems[2], "separator"), "on");
  EXPECT_EQ(text(cbItems[2], "tag"), "acouuimenclimauto");

  const Handle axes = drawingAxes(rt, fig);
  EXPECT_EQ(nums(axes, "position"), (std::vector<double>{0, 0.05, 0.9, 0.9}));
  EXPECT_EQ(nums(axes, "xlim"), (std::vector<double>{0, 20}));
  EXPECT_EQ(nums(axes, "ylim"), (std::vector<double>{-10, 10}));
  EXPECT_EQ(text(axes, "buttondownfcn"), "velmoracopy('zoomaxes')");
  EXPECT_EQ(text(objectInWindow(rt, fig, "acouXaxis"), "buttondownfcn"),
            "set(gcf,'windowbuttonmotionfcn','velmoracopy(''moveaxis'')')");
  // Grid hidden ("grid" starts unchecked), filled by the grid rebuild: 41 x 41 points on 0.5.
  const Handle grid = objectInWindow(rt, fig, "acougrid");
  EXPECT_FALSE(g.at(grid).visible());
  EXPECT_EQ(nums(grid, "xdata").size(), 41u * 41u);

  const Handle source = objectInWindow(rt, fig, "acousource");
  EXPECT_EQ(text(source, "marker"), "o");
  EXPECT_EQ(menuLabels(menuOf(source)), std::vector<std::string>{"position"});
  const Handle receptor = objectInWindow(rt, fig, "acoureceptor");
  EXPECT_EQ(text(receptor, "marker"), "pentagram");
  EXPECT_EQ(nums(receptor, "markersize"), std::vector<double>{12});
  const Handle status = objectInWindow(rt, fig, "acoutext");
  EXPECT_EQ(text(status, "fontname"), "Times New Roman");
  EXPECT_EQ(nums(status, "position"), (std::vector<double>{0.5, 1.015}));
}

// The verb a callback text runs, read by the program's own parser: one statement
// "velmoracopy('VERB', ...)"; nothing for any other text.
std::optional<std::string> callbackVerb(const std::string& callback) {
  const auto statements = platform::parseCallback(callback);
  if (statements.size() != 1 || statements.front().kind != platform::CallbackStatement::Kind::Dispatch ||
      statements.front().args.empty())
    return std::nullopt;
  return statements.front().args.front();
}

// The controls and menus of a new main window, checked by what must hold of them rather than row by
// row: callbacks that reach registered operations, tags and positions that do not clash, the
// specified labels and tooltips present, and the states a new window starts in.
TEST_F(MainWindowTest, ControlsAndMenusOfANewWindow) {
  const Handle fig = open();
  auto& g = rt.graphics();
  const auto controls =
      g.findIf(fig, [](const platform::GraphicsObject& o) { return o.type() == ObjectType::UiControl; });
  const auto items =
      g.findIf(fig, [](const platform::GraphicsObject& o) { return o.type() == ObjectType::UiMenu; });

  // Every callback text of a control or menu item runs a verb whose operations are all registered.
  for (const auto& group : {controls, items}) {
    for (Handle h : group) {
      const std::string callback = text(h, "callback");
      if (callback.empty()) continue;
      const auto verb = callbackVerb(callback);
      ASSERT_TRUE(verb.has_value()) << callback;
      const Verb* v = findVerb(*verb);
      ASSERT_NE(v, nullptr) << callback;
      for (const std::string& need : v->needs) EXPECT_TRUE(ops.has(need)) << callback << " needs " << need;
    }
  }
  // The program's table holds every step of every verb: none is skipped for want of its operation.
  for (const Verb& v : verbTable()) {
    for (const VerbStep& step : v.steps) {
      if (step.kind != VerbStep::Kind::Call) continue;
      EXPECT_TRUE(ops.has(step.op)) << v.name << ": " << step.op;
    }
  }

  // Tags name one control each; the controls placed in pixels do not overlap (edges may touch).
  std::vector<std::string> tags;
  struct Box {
    std::string key;
    double x, y, w, h;
  };
  std::vector<Box> boxes;
  for (Handle c : controls) {
    const std::string key = g.at(c).tag().empty() ? text(c, "string") : g.at(c).tag();
    if (!g.at(c).tag().empty()) tags.push_back(g.at(c).tag());
    if (text(c, "units") == "normalized") continue;
    const auto p = nums(c, "position");
    ASSERT_EQ(p.size(), 4u) << key;
    EXPECT_GT(p[2], 0) << key;
    EXPECT_GT(p[3], 0) << key;
    boxes.push_back({key, p[0], p[1], p[2], p[3]});
  }
  std::sort(tags.begin(), tags.end());
  EXPECT_EQ(std::adjacent_find(tags.begin(), tags.end()), tags.end());
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    for (std::size_t j = i + 1; j < boxes.size(); ++j) {
      const Box &a = boxes[i], &b = boxes[j];
      const bool apart = a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
      EXPECT_TRUE(apart) << a.key << " overlaps " << b.key;
    }
  }

  // The specified controls: each one present once, with its label and tooltip.
  struct Specified {
    std::string key;  // tag, or string for the untagged controls
    std::string style, string, tooltip;
  };
  const std::vector<Specified> specified = {
      {"acougridbutton", "pushbutton", "grid", "Set grid spacing"},
      {"acousnapbutton", "togglebutton", "snap", "Set points to snap to grid"},
      {"acouconstrainbutton", "togglebutton", "constrain", "Constrain wall points to be between neighbours"},
      {"acouobjects", "pushbutton", "objects", "Hide or display graphical objects"},
      {"measure", "togglebutton", "measure", "Display cursor point coordinates and value"},
      {"history", "pushbutton", "history", "Go back to a previous state"},
      {"acouzoombutton", "togglebutton", "zoom", "View drawing zone only or include images"},
      {"acouviewbutton", "togglebutton", "view", "Set drawing zone size, center drawing, ..."},
      {"acoucenter", "pushbutton", "C", "Center drawing"},
      {"acoumoveup", "pushbutton", "", "Move drawing up"},
      {"acoumoveright", "pushbutton", "", "Move drawing right"},
      {"acoumovedown", "pushbutton", "", "Move drawing down"},
      {"acoumoveleft", "pushbutton", "", "Move drawing left"},
      {"acouexpand++", "pushbutton", ">>", "Expand working zone (+5)"},
      {"acouexpand+", "pushbutton", ">", "Expand working zone (+1)"},
      {"acouexpandm", "pushbutton", "M", "Set working zone to match drawing"},
      {"acouexpand-", "pushbutton", "<", "Reduce working zone (-1)"},
      {"acouexpand--", "pushbutton", "<<", "Reduce working zone (+5)"},
      {"acouselectbutton", "listbox", "all|direct|wall 1|wall 2|wall 3|wall 4", "Select wall"},
      {"acouselectreflection", "radiobutton", "reflections", "View reflection number"},
      {"acouselectdecibel", "radiobutton", "decibels", "View sound power value"},
      {"acouselectdirect", "radiobutton", "direct", "Add direct sound"},
      {"utils", "pushbutton", "utils", "Utilities"},
      {"acoucreatepolar", "pushbutton", "polar", "Create a polar diagram of receptor received sound"},
      {"acouscan", "pushbutton", "scan", "Import room design from a scanned plan"},
      {"acouprint", "pushbutton", "print", "Print current figure"},
      {"acouload", "pushbutton", "load", "Load an existing case"},
      {"acousave", "pushbutton", "save", "Save current case"},
  };
  EXPECT_EQ(controls.size(), specified.size() + 1);  // and the hidden settings text
  for (const Specified& row : specified) {
    const Handle c = control(fig, row.key);
    if (c == platform::kNoHandle) continue;
    EXPECT_EQ(text(c, "style"), row.style) << row.key;
    EXPECT_EQ(g.get(c, "string"), Value(row.string)) << row.key;
    EXPECT_EQ(text(c, "tooltipstring"), row.tooltip) << row.key;
    EXPECT_EQ(text(c, "fontweight"), "light") << row.key;
  }

  // The states a new window starts in: snapping on, reflection numbers shown (the direct sound only
  // adds to levels), the two menu buttons inactive, the drawing's navigation buttons hidden.
  const auto value = [&](const char* key) { return nums(control(fig, key), "value"); };
  EXPECT_EQ(value("acousnapbutton"), std::vector<double>{1});
  EXPECT_EQ(value("acouconstrainbutton"), std::vector<double>{0});
  EXPECT_EQ(value("acouselectbutton"), std::vector<double>{1});
  EXPECT_EQ(value("acouselectreflection"), std::vector<double>{1});
  EXPECT_EQ(value("acouselectdecibel"), std::vector<double>{0});
  EXPECT_EQ(value("acouselectdirect"), std::vector<double>{0});
  EXPECT_EQ(text(control(fig, "acouselectdirect"), "enable"), "off");
  for (const char* key : {"acouobjects", "utils"}) EXPECT_EQ(text(control(fig, key), "enable"), "inactive");
  for (const char* key : {"acoucenter", "acoumoveup", "acoumoveright", "acoumovedown", "acoumoveleft",
                          "acouexpand++", "acouexpand+", "acouexpandm", "acouexpand-", "acouexpand--"})
    EXPECT_EQ(text(control(fig, key), "visible"), "off") << key;

  const Handle hidden = control(fig, "hiddensettings");
  EXPECT_EQ(text(hidden, "style"), "text");
  EXPECT_EQ(text(hidden, "units"), "normalized");
  EXPECT_EQ(menuLabels(menuOf(hidden)),
            (std::vector<std::string>{"diffusion factor for convex walls", "change absorption manually",
                                      "zoom", "reflection order"}));
  EXPECT_EQ(menuLabels(menuOf(control(fig, "acouobjects"))),
            (std::vector<std::string>{"grid", "images", "radius", "axes", "receptor", "audience limits",
                                      "scale bar", "live map", "higher-order images", "recent cases"}));
  const auto objectItems = menuItemsInOrder(g, menuOf(control(fig, "acouobjects")));
  EXPECT_EQ(text(objectItems[0], "checked"), "off");
  for (std::size_t i = 1; i < 8; ++i) EXPECT_EQ(text(objectItems[i], "checked"), "on");
  const Handle utilsMenu = menuOf(control(fig, "utils"));
  EXPECT_EQ(menuLabels(utilsMenu),
            (std::vector<std::string>{"dB sum", "dB decrease", "geometric shapes", "animation",
                                      "true scale plan (to printer)", "echogram", "room acoustics...", "import DXF plan..."}));
  EXPECT_EQ(menuLabels(menuItemsInOrder(g, utilsMenu)[2]),
            (std::vector<std::string>{"circle", "ellipse", "parabola", "logarithmic spiral"}));

  // Arrow buttons carry their arrows.
  EXPECT_EQ(g.at(control(fig, "acoumoveup")).matrix("cdata"), createarrow(std::string("up")));
}

// ---- drawing objects -----------------------------------------------------------------------------

TEST_F(MainWindowTest, ThreeWallChainIsLinked) {
  auto& g = rt.graphics();
  const Handle fig = g.create(ObjectType::Figure, platform::kRoot);
  const Handle axes = g.create(ObjectType::Axes, fig);
  const std::vector<double> x = {0, 4, 0}, y = {0, 0, 3}, alpha = {10, 20, 30};
  const WallChain chain = makeWallChain(g, axes, x, y, alpha);
  ASSERT_EQ(chain.walls.size(), 3u);
  const auto wallRec = [&](std::size_t k) { return g.at(chain.walls[k]).userdataAs<WallRecord>(); };
  const auto vertexRec = [&](std::size_t k) { return g.at(chain.vertices[k]).userdataAs<VertexRecord>(); };
  EXPECT_EQ(vertexRec(0)->con, (std::array<Handle, 2>{chain.walls[2], chain.walls[0]}));
  EXPECT_EQ(wallRec(2)->con, (std::array<Handle, 2>{chain.vertices[2], chain.vertices[0]}));
  EXPECT_EQ(wallRec(1)->con, (std::array<Handle, 2>{chain.vertices[1], chain.vertices[2]}));
  EXPECT_EQ(wallRec(1)->alpha, 20);
  EXPECT_EQ(nums(chain.walls[2], "xdata"), (std::vector<double>{0, 0}));
  EXPECT_EQ(nums(chain.walls[2], "ydata"), (std::vector<double>{3, 0}));

  std::vector<Handle> menus;
  for (std::size_t k = 0; k < 3; ++k) {
    const Handle menu = menuOf(chain.walls[k]);
    menus.push_back(menu);
    EXPECT_EQ(menuLabels(menu),
              (std::vector<std::string>{"split wall", "delete vertex", "symmetry", "change absorption",
                                        "set absorption to 0%", "set absorption to 100%", "material...", "length",
                                        "angle", "absorption"}));
    const auto items = menuItemsInOrder(g, menu);
    for (std::size_t i : {3u, 4u, 5u}) {
      EXPECT_EQ(g.get(items[i], "userdata"), Value::handle(chain.walls[k]));
      EXPECT_EQ(text(items[i], "callback"), "velmoracopy('changealpha')");
    }
    EXPECT_EQ(g.get(items[kWallMenuMaterial], "userdata"), Value::handle(chain.walls[k]));
    EXPECT_EQ(text(items[kWallMenuMaterial], "callback"), "velmoracopy('wallmaterial')");
    for (std::size_t i : {7u, 8u, 9u}) EXPECT_EQ(text(items[i], "callback"), "");
    EXPECT_EQ(text(items[3], "separator"), "on");
    EXPECT_EQ(text(items[kWallMenuFirstInfo], "separator"), "on");
    EXPECT_EQ(text(chain.vertices[k], "buttondownfcn"),
              "set(gcf,'windowbuttonmotionfcn','velmoracopy(''movewallpoint'')')");
  }
  std::sort(menus.begin(), menus.end());
  EXPECT_EQ(std::unique(menus.begin(), menus.end()), menus.end());  // a menu of its own per wall

  const AudienceArea area =
      makeAudienceArea(g, axes, std::vector<double>{0, 1, 1, 0}, std::vector<double>{0, 0, 1, 1});
  EXPECT_EQ(g.at(area.corners[0]).userdataAs<AudienceCornerRecord>()->con,
            (std::array<Handle, 2>{area.edges[3], area.edges[0]}));
  EXPECT_EQ(g.at(area.edges[3]).userdataAs<AudienceEdgeRecord>()->con,
            (std::array<Handle, 2>{area.corners[3], area.corners[0]}));

  const Handle map = makeAudienceMap(g, axes, 10);
  EXPECT_EQ(g.at(map).matrix("xdata").rows, 11u);
  EXPECT_EQ(g.at(map).matrix("zdata").data.front(), -0.5);
  EXPECT_EQ(menuLabels(menuOf(map)),
            (std::vector<std::string>{"set surface precision", "predefined precision", "include room",
                                      "reduce size", "export map...", "echo risk", "echo risk settings...",
                                      "area="}));
  EXPECT_EQ(menuLabels(menuItemsInOrder(g, menuOf(map))[1]),
            (std::vector<std::string>{"10", "50", "100", "200"}));
}

// ---- rebuild -------------------------------------------------------------------------------------

TEST_F(MainWindowTest, RebuildWithAFullDescription) {
  const Handle fig = open();
  CaseDescription d;
  d.name = "hall";
  d.xwall = {0, 10, 10, 5, 0};
  d.ywall = {0, 0, 8, 10, 8};
  d.alpha = {10, 20, 30, 40, 50};
  d.xaud = {2, 8, 8, 2};
  d.yaud = {2, 2, 6, 6};
  d.xso = 1;
  d.yso = 1;
  d.xre = 9;
  d.yre = 7;
  d.Nsurface = 10;
  d.Lw = 90;
  d.xlim = {{-2, 12}};
  d.ylim = {{-2, 12}};
  d.gsize = 1;
  rebuild(d);
  EXPECT_EQ(wallsInWallOrder(rt, fig).size(), 5u);
  EXPECT_EQ(wallAbsorptions(rt, fig), (std::vector<double>{10, 20, 30, 40, 50}));
  EXPECT_EQ(objectsByTag(rt, fig, "acouwallvertex").size(), 5u);
  const Handle list = objectInWindow(rt, fig, "acouselectbutton");
  EXPECT_EQ(text(list, "string"), "all|direct|wall 1|wall 2|wall 3|wall 4|wall 5");
  EXPECT_EQ(objectsByTag(rt, fig, "acouaudiencevertex").size(), 4u);
  EXPECT_EQ(rt.graphics().at(objectInWindow(rt, fig, "acouaudiencesurface")).matrix("xdata").rows, 11u);
  EXPECT_EQ(at(objectInWindow(rt, fig, "acoureceptor")).x, 9);
  const CaseRecord r = readCase(rt, fig);
  EXPECT_EQ(r.name, "hall");
  EXPECT_EQ(r.Lw, 90);
  EXPECT_EQ(r.gsize, 1);
  EXPECT_EQ(r.xlim, (std::array<double, 2>{-2, 12}));
  EXPECT_EQ(nums(drawingAxes(rt, fig), "xlim"), (std::vector<double>{-2, 12}));
  EXPECT_EQ(r.images->size(), 5u);
  EXPECT_EQ(text(objectInWindow(rt, fig, "acoutext"), "string"), "case: hall - first reflection number");
  // Old wall menus went with their walls: one wall menu per wall remains.
  const Handle objectsMenu = menuOf(control(fig, "acouobjects"));
  const auto menus = rt.graphics().findIf(fig, [&](const platform::GraphicsObject& o) {
    return o.type() == ObjectType::UiContextMenu && o.handle() != objectsMenu &&
           menuItemsInOrder(rt.graphics(), o.handle()).size() == kWallMenuItems;
  });
  EXPECT_EQ(menus.size(), 5u);
  // Wall menus reflect the new walls.
  const auto items = menuItemsInOrder(rt.graphics(), menuOf(wallsInWallOrder(rt, fig)[2]));
  EXPECT_EQ(text(items[kWallMenuFirstInfo], "label"), "length=5.4m");
  EXPECT_EQ(text(items[kWallMenuFirstInfo + 1], "label"), "angle=22°");
  EXPECT_EQ(text(items[kWallMenuFirstInfo + 2], "label"), "absorption=30%");
}

TEST_F(MainWindowTest, MirroringStyleDescriptionRebuildsOnlyTheWalls) {
  const Handle fig = open();
  rt.graphics().set(objectInWindow(rt, fig, "acouselectbutton"), "value", Value(3.0));
  const auto audienceBefore = objectsInCreationOrder(rt, fig, "acouaudiencevertex");
  const Handle mapBefore = objectInWindow(rt, fig, "acouaudiencesurface");

  // A larger room that still holds the audience area and the source.
  CaseDescription d;
  d.xwall = {2, 18, 18, 2};
  d.ywall = {-8, -8, 8, 8};
  d.alpha = {0, 100, 0, 0};
  rebuild(d);
  EXPECT_EQ(objectsInCreationOrder(rt, fig, "acouaudiencevertex"), audienceBefore);
  EXPECT_EQ(objectInWindow(rt, fig, "acouaudiencesurface"), mapBefore);
  EXPECT_EQ(at(objectInWindow(rt, fig, "acousource")).x, 3.5);
  EXPECT_EQ(nums(objectInWindow(rt, fig, "acouselectbutton"), "value"), std::vector<double>{1});
  // The zone fits the drawing ("auto"): extent 16, step 0.5 around the centre (10, 0).
  const CaseRecord r = readCase(rt, fig);
  EXPECT_EQ(r.xlim, (std::array<double, 2>{1.5, 18.5}));
  EXPECT_EQ(r.ylim, (std::array<double, 2>{-8.5, 8.5}));
  EXPECT_EQ(r.gsize, 0.5);
  // The receptor moves to the centre of the new view.
  EXPECT_EQ(at(objectInWindow(rt, fig, "acoureceptor")).x, 10);
  EXPECT_EQ(at(objectInWindow(rt, fig, "acoureceptor")).y, 0);
  // A wall that absorbs everything is dotted.
  EXPECT_EQ(text(wallsInWallOrder(rt, fig)[1], "linestyle"), ":");

  // A smaller room: the audience area no longer fits and is fitted to the room; the source left
  // outside jumps to vertex 1 (and the image refresh nudges it off the vertex into the room).
  CaseDescription small;
  small.xwall = {6, 14, 14, 6};
  small.ywall = {-3, -3, 3, 3};
  small.noselectchange = true;
  rt.graphics().set(objectInWindow(rt, fig, "acouselectbutton"), "value", Value(4.0));
  rebuild(small);
  EXPECT_EQ(nums(objectInWindow(rt, fig, "acouselectbutton"), "value"), std::vector<double>{4});
  const auto corners = objectsInCreationOrder(rt, fig, "acouaudiencevertex");
  EXPECT_EQ(at(corners[0]).x, 6);
  EXPECT_EQ(at(corners[0]).y, -3);
  EXPECT_EQ(at(corners[2]).x, 14);
  const engine::Point s = at(objectInWindow(rt, fig, "acousource"));
  EXPECT_NEAR(s.x, 6, 0.01);
  EXPECT_NEAR(s.y, -3, 0.01);
  EXPECT_EQ(wallAbsorptions(rt, fig), (std::vector<double>{0, 0, 0, 0}));  // no alpha: all 0
}

TEST_F(MainWindowTest, RebuildKeepsHiddenAudienceEdgesHidden) {
  const Handle fig = open();
  for (Handle h : objectsByTag(rt, fig, "acouaudienceedge")) rt.graphics().setText(h, "visible", "off");
  for (Handle h : objectsByTag(rt, fig, "acouaudiencevertex")) rt.graphics().setText(h, "visible", "off");
  CaseDescription d;
  d.xaud = {6, 12, 12, 6};
  d.yaud = {-2, -2, 2, 2};
  rebuild(d);
  const auto edges = objectsByTag(rt, fig, "acouaudienceedge");
  ASSERT_EQ(edges.size(), 4u);
  for (Handle h : edges) EXPECT_FALSE(rt.graphics().at(h).visible());
  for (Handle h : objectsByTag(rt, fig, "acouaudiencevertex")) EXPECT_FALSE(rt.graphics().at(h).visible());
  EXPECT_EQ(at(objectsInCreationOrder(rt, fig, "acouaudiencevertex")[1]).x, 12);
}

TEST_F(MainWindowTest, RecordFormOpensANewWindow) {
  open();
  CaseDescription d;
  d.xwall = {0, 6, 6, 0};
  d.ywall = {0, 0, 6, 6};
  velmoracopy(rt, ops, {d.toValue()});
  EXPECT_EQ(mainWindows().size(), 2u);
  EXPECT_EQ(wallsInWallOrder(rt, currentMainWindow(rt)).size(), 4u);
  EXPECT_EQ(firstPoint(rt, wallsInWallOrder(rt, currentMainWindow(rt))[1]).x, 6);
}

TEST_F(MainWindowTest, BadDescriptionChangesNothing) {
  const Handle fig = open();
  platform::Record r;
  r.set("xwall", Value("abc"));
  r.set("ywall", Value::row({0, 1, 2}));
  EXPECT_THROW(velmoracopy(rt, ops, {Value("update"), Value(r)}), Error);
  EXPECT_EQ(wallsInWallOrder(rt, fig).size(), 4u);
}

// ---- wall menu -----------------------------------------------------------------------------------

TEST(WallInfoTest, Labels) {
  struct Row {
    std::array<double, 4> wall;
    double alpha;
    std::string length, angle, absorption;
  };
  const std::vector<Row> rows = {
      {{0, 0, 3, 4}, 25, "length=5m", "angle=53°", "absorption=25%"},
      {{2, 2, 2, 2}, 0, "length=0m", "angle=0°", "absorption=0%"},
      {{1, 5, 1, -3}, 100, "length=8m", "angle=90°", "absorption=100%"},
      {{1, 2, 1, 9}, 12.5, "length=7m", "angle=90°", "absorption=12.5%"},
      {{7, 1, -2, 1}, 0, "length=9m", "angle=0°", "absorption=0%"},
      {{0, 0, -3, -4}, 0, "length=5m", "angle=53°", "absorption=0%"},
      {{0, 0, 1, 1}, 0, "length=1.4m", "angle=45°", "absorption=0%"},
      {{0, 0, 0.25, 0}, 0, "length=0.3m", "angle=0°", "absorption=0%"},
  };
  for (const Row& r : rows) {
    const WallInfo info = wallInfo(r.wall[0], r.wall[1], r.wall[2], r.wall[3], r.alpha);
    EXPECT_EQ(info.length, r.length);
    EXPECT_EQ(info.angle, r.angle);
    EXPECT_EQ(info.absorption, r.absorption);
    // The numbers alone are the lines' own: each line is its number between its words.
    EXPECT_EQ("length=" + info.lengthNumber + "m", r.length);
    EXPECT_EQ("angle=" + info.angleNumber + "°", r.angle);
    EXPECT_EQ("absorption=" + info.absorptionNumber + "%", r.absorption);
  }
}

TEST_F(MainWindowTest, RefreshWallMenuFillsTheInformationItems) {
  const Handle fig = open();
  CaseDescription d;
  d.xwall = {0, 3, 3, 0};
  d.ywall = {0, 4, 8, 8};
  d.alpha = {25, 0, 100, 50};
  rebuild(d);
  const auto walls = wallsInWallOrder(rt, fig);
  const auto labels = [&](std::size_t k) {
    const auto all = menuLabels(menuOf(walls[k]));
    return std::vector<std::string>(all.end() - 3, all.end());
  };
  EXPECT_EQ(labels(0), (std::vector<std::string>{"length=5m", "angle=53°", "absorption=25%"}));
  EXPECT_EQ(labels(1), (std::vector<std::string>{"length=4m", "angle=90°", "absorption=0%"}));
  EXPECT_EQ(labels(2), (std::vector<std::string>{"length=3m", "angle=0°", "absorption=100%"}));
}

// ---- locking the controls ------------------------------------------------------------------------

TEST_F(MainWindowTest, EnableObjectsStates) {
  const Handle fig = open();
  auto& g = rt.graphics();
  const auto controls =
      g.findIf(fig, [](const platform::GraphicsObject& o) { return o.type() == ObjectType::UiControl; });
  std::vector<Handle> drawing;
  for (const char* tag : {"acouwall", "acouwallvertex", "acouaudiencesurface", "acouaudiencevertex",
                          "acousource", "acoureceptor", "acouXaxis", "acouYaxis"}) {
    for (Handle h : objectsByTag(rt, fig, tag)) drawing.push_back(h);
  }
  const auto edges = objectsByTag(rt, fig, "acouaudienceedge");

  ops.call(rt, "enableobjects", {Value("OFF")});
  for (Handle c : controls) EXPECT_EQ(text(c, "enable"), "off");
  for (Handle h : drawing) EXPECT_EQ(text(h, "hittest"), "off");
  for (Handle h : edges) EXPECT_EQ(text(h, "hittest"), "on");

  // Released with the receptor hidden: polar stays off, objects and utils inactive, the rest on.
  g.setText(objectInWindow(rt, fig, "acoureceptor"), "visible", "off");
  for (Handle h : edges) g.setText(h, "hittest", "off");
  ops.call(rt, "enableobjects", {Value("on")});
  for (Handle c : controls) {
    const Value s = g.get(c, "string");
    const std::string str = s.isText() ? s.text() : "";
    const std::string want = str == "polar"                         ? "off"
                             : (str == "objects" || str == "utils") ? "inactive"
                                                                    : "on";
    EXPECT_EQ(text(c, "enable"), want) << str;
  }
  for (Handle h : drawing) EXPECT_EQ(text(h, "hittest"), "on");
  for (Handle h : edges) EXPECT_EQ(text(h, "hittest"), "off");

  g.setText(objectInWindow(rt, fig, "acoureceptor"), "visible", "on");
  ops.call(rt, "enableobjects", {});
  EXPECT_EQ(text(objectInWindow(rt, fig, "acoucreatepolar"), "enable"), "on");
}

// ---- printing ------------------------------------------------------------------------------------

// Records what would be written, and what the window looked like at that moment.
class FakePrinter : public test_support::RecordingPrinter {
 public:
  explicit FakePrinter(platform::Runtime& rt) : rt_(rt) {}
  void print(Handle figure, const std::string& device, const std::string& path) override {
    RecordingPrinter::print(figure, device, path);
    const Handle fig = figure;
    if (!isMainWindow(rt_, fig)) return;
    const auto vertices = objectsByTag(rt_, fig, "acouwallvertex");
    verticesHidden = std::none_of(vertices.begin(), vertices.end(),
                                  [&](Handle h) { return rt_.graphics().at(h).visible(); });
    const Handle source = objectInWindow(rt_, fig, "acousource");
    sourceFace = rt_.graphics().at(source).color("markerfacecolor");
    const auto images = objectsByTag(rt_, fig, "acouimage");
    imageColour = images.empty() ? std::nullopt : rt_.graphics().at(images.front()).color("color");
  }
  bool verticesHidden = false;
  std::optional<platform::Rgb> sourceFace, imageColour;

 private:
  platform::Runtime& rt_;
};

TEST_F(MainWindowTest, PrintCaseDevicesAndNames) {
  const Handle fig = open();
  FakePrinter printer(rt);
  rt.setPrintService(&printer);
  struct Row {
    std::string file;
    bool gray;
    std::string device, path;
  };
  const std::vector<Row> rows = {
      {"room", false, "-djpeg90", "/out/room.jpg"},
      {"room.jpg", false, "-djpeg90", "/out/room.jpg"},
      {"room.BMP", false, "-dbmp", "/out/room.BMP"},
      {"room.hpg", false, "-dhpgl", "/out/room.hpg"},
      {"room.pcx", false, "-dpcx24b", "/out/room.pcx"},
      {"room.ps", false, "-dpsc2", "/out/room.ps"},
      {"room.PS", true, "-dps2", "/out/room.PS"},
      {"room.tif", false, "-dtiff", "/out/room.tif"},
      {"room.png", false, "-dpng -r300", "/out/room.png"},
      {"room.PDF", true, "-dpdf", "/out/room.PDF"},
      {"room.Svg", false, "-dsvg", "/out/room.Svg"},
      {"room.pdf.gif", false, "-djpeg90", "/out/room.pdf.gif"},
      {"my.room.eps", false, "-djpeg90", "/out/my.room.eps"},
  };
  for (const Row& row : rows) {
    CaseRecord r = readCase(rt, fig);
    r.colormap = row.gray ? "gray" : "color";
    storeCase(rt, fig, r);
    ops.call(rt, "printcase", {Value("/out/"), Value(row.file)});
    ASSERT_FALSE(printer.jobs.empty());
    EXPECT_EQ(printer.jobs.back().device, row.device) << row.file;
    EXPECT_EQ(printer.jobs.back().path, row.path) << row.file;
    EXPECT_EQ(printer.jobs.back().figure, fig);
    // While printing: vertex markers hidden, images black; a gray case shows a black source.
    EXPECT_TRUE(printer.verticesHidden);
    EXPECT_EQ(printer.imageColour, (platform::Rgb{0, 0, 0}));
    EXPECT_EQ(printer.sourceFace, (row.gray ? platform::Rgb{0, 0, 0} : platform::Rgb{1, 0, 0}));
    // Restored afterwards.
    for (Handle h : objectsByTag(rt, fig, "acouwallvertex")) EXPECT_TRUE(rt.graphics().at(h).visible());
    for (Handle h : objectsByTag(rt, fig, "acouimage")) {
      EXPECT_EQ(rt.graphics().at(h).color("color"), (platform::Rgb{0, 0, 1}));
    }
  }
}

TEST_F(MainWindowTest, PrintDialogCancelAndFailure) {
  const Handle fig = open();
  FakePrinter printer(rt);
  rt.setPrintService(&printer);
  ui.push(ScriptedAnswer::chosenFile("/tmp/out/plan"));
  velmoracopy(rt, ops, {Value("print")});
  ASSERT_EQ(printer.jobs.size(), 1u);
  EXPECT_EQ(printer.jobs[0].path, "/tmp/out/plan.jpg");
  EXPECT_EQ(ui.shown().back().title, "Print current case");
  EXPECT_EQ(ui.shown().back().text, "*.jpg;*.bmp;*.ps;*.hpg;*.tif;*.pcx;*.pdf;*.svg;*.png");
  // The window keeps its rule for other extensions: a JPEG under the name given.
  ui.push(ScriptedAnswer::chosenFile("/tmp/out/plan.eps"));
  velmoracopy(rt, ops, {Value("print")});
  ASSERT_EQ(printer.jobs.size(), 2u);
  EXPECT_EQ(printer.jobs[1].device, "-djpeg90");
  EXPECT_EQ(printer.jobs[1].path, "/tmp/out/plan.eps");
  printer.jobs.pop_back();

  ui.push(ScriptedAnswer::chosenFile(std::nullopt));
  velmoracopy(rt, ops, {Value("print")});
  EXPECT_EQ(printer.jobs.size(), 1u);
  for (Handle h : objectsByTag(rt, fig, "acouwallvertex")) EXPECT_TRUE(rt.graphics().at(h).visible());

  printer.fail = true;
  const std::size_t shown = ui.shown().size();
  EXPECT_THROW(ops.call(rt, "printcase", {Value("/nowhere/"), Value("x.bmp")}), Error);
  for (Handle h : objectsByTag(rt, fig, "acouwallvertex")) EXPECT_TRUE(rt.graphics().at(h).visible());
  EXPECT_EQ(ui.shown().size(), shown);  // named by a script: the error is the caller's
  // Picked in the dialog: the failure is said in a box too (a window's user sees no console).
  ui.push(ScriptedAnswer::chosenFile("/nowhere/x.bmp"));
  EXPECT_THROW(velmoracopy(rt, ops, {Value("print")}), Error);
  ASSERT_EQ(ui.shown().size(), shown + 2);
  EXPECT_EQ(ui.shown().back().kind, "error");
  EXPECT_EQ(ui.shown().back().title, "Print current case");
  for (Handle h : objectsByTag(rt, fig, "acouwallvertex")) EXPECT_TRUE(rt.graphics().at(h).visible());
}

// A PNG chosen in the dialog asks for its resolution; a cancel or a resolution not offered writes nothing.
TEST_F(MainWindowTest, PrintPngAsksItsResolution) {
  const Handle fig = open();
  FakePrinter printer(rt);
  rt.setPrintService(&printer);
  struct Row {
    std::optional<std::vector<std::string>> answer;
    std::string device;  // empty: nothing printed
    bool complaint;
  };
  const std::vector<Row> rows = {
      {std::vector<std::string>{"600"}, "-dpng -r600", false},
      {std::vector<std::string>{" 96 "}, "-dpng -r96", false},
      {std::nullopt, "", false},
      {std::vector<std::string>{"72"}, "", true},
      {std::vector<std::string>{"300 600"}, "", true},
      {std::vector<std::string>{"high"}, "", true},
  };
  for (const Row& row : rows) {
    printer.jobs.clear();
    ui.takeShown();
    ui.push(ScriptedAnswer::chosenFile("/tmp/out/plan.PNG"));
    ui.push(ScriptedAnswer::inputs(row.answer));
    velmoracopy(rt, ops, {Value("print")});
    const auto shown = ui.takeShown();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[1].title, "PNG resolution");
    EXPECT_EQ(row.device.empty(), printer.jobs.empty());
    if (!printer.jobs.empty()) {
      EXPECT_EQ(printer.jobs.back().device, row.device);
    }
    const bool complained = shown.back().kind == "error";
    EXPECT_EQ(complained, row.complaint);
    if (complained) {
      EXPECT_EQ(shown.back().text,
                "The PNG resolution must be 96, 150, 300 or 600 dpi; nothing was written.");
    }
    for (Handle h : objectsByTag(rt, fig, "acouwallvertex")) EXPECT_TRUE(rt.graphics().at(h).visible());
  }
}

TEST_F(MainWindowTest, PrintPolarOnlyFromAPolarWindow) {
  open();
  FakePrinter printer(rt);
  rt.setPrintService(&printer);
  ops.call(rt, "printpolar", {Value("/out/"), Value("p.bmp")});
  EXPECT_TRUE(printer.jobs.empty());

  auto& g = rt.graphics();
  const Handle polar = g.create(ObjectType::Figure, platform::kRoot);
  g.setText(polar, "tag", "AcouPolar");
  const Handle a1 = g.create(ObjectType::Axes, polar);
  g.setText(a1, "tag", "acoupolaraxes1");
  const Handle radius = g.create(ObjectType::Line, a1);
  g.setText(radius, "tag", "acoupolardirectradius");
  g.setText(radius, "color", "r");
  const Handle direct = g.create(ObjectType::Line, a1);
  g.setText(direct, "tag", "acoupolardirect");
  g.setText(direct, "marker", "o");
  struct Row {
    std::string file, device, path;
  };
  for (const Row& row : std::vector<Row>{{"p", "-djpeg90", "/out/p.jpg"},
                                         {"p.bmp", "-dbitmap", "/out/p.bmp"},
                                         {"p.hpg", "-dhpgl", "/out/p.hpg"},
                                         {"p.ps", "-dpsc2", "/out/p.ps"},
                                         {"p.Tif", "-dtiff", "/out/p.Tif"},
                                         {"p.pdf", "-dpdf", "/out/p.pdf"},
                                         {"p.SVG", "-dsvg", "/out/p.SVG"},
                                         {"p.png", "-dpng -r300", "/out/p.png"}}) {
    ops.call(rt, "printpolar", {Value("/out/"), Value(row.file)});
    ASSERT_FALSE(printer.jobs.empty());
    EXPECT_EQ(printer.jobs.back().device, row.device);
    EXPECT_EQ(printer.jobs.back().path, row.path);
    EXPECT_EQ(g.at(radius).color("color"), (platform::Rgb{1, 0, 0}));
    EXPECT_EQ(text(direct, "marker"), "o");
  }
}

// ---- arrows --------------------------------------------------------------------------------------

TEST(ArrowTest, Edges) {
  const auto right = createarrow(std::string("right"));
  ASSERT_EQ(right.rows, 16u);
  ASSERT_EQ(right.cols, 16u);
  ASSERT_EQ(right.pages, 3u);
  for (std::size_t r = 0; r < 16; ++r) {
    for (std::size_t p = 0; p < 3; ++p) {
      EXPECT_EQ(right.at3(r, 0, p), 0) << r;
      EXPECT_EQ(right.at3(r, 15, p), kArrowBackground) << r;
    }
  }
  // Tip at the middle of the right edge: row 7 reaches column 14 in black.
  EXPECT_EQ(right.at3(7, 14, 0), 0);
  const auto left = createarrow(std::string("left"));
  const auto up = createarrow(std::string("up"));
  const auto down = createarrow(std::string("down"));
  for (std::size_t r = 0; r < 16; ++r) {
    for (std::size_t c = 0; c < 16; ++c) {
      EXPECT_EQ(left.at3(r, c, 1), right.at3(r, 15 - c, 1));
      EXPECT_EQ(down.at3(r, c, 2), right.at3(c, r, 2));
      EXPECT_EQ(up.at3(r, c, 0), down.at3(15 - r, c, 0));
    }
    EXPECT_EQ(left.at3(r, 15, 0), 0);
  }
  EXPECT_EQ(createarrow(std::string("sideways")), right);
  const auto none = createarrow(std::nullopt);
  EXPECT_EQ(none.pages, 1u);
  EXPECT_EQ(none.numel(), 256u);
  EXPECT_TRUE(std::all_of(none.data.begin(), none.data.end(), [](double v) { return v == 0; }));
}

TEST_F(MainWindowTest, CreateArrowOperationRefusesExtraArguments) {
  EXPECT_EQ(ops.call(rt, "createarrow", {Value(3.0)}, 1).front().matrix().pages, 1u);
  EXPECT_THROW(ops.call(rt, "createarrow", {Value("up"), Value("down")}, 1), Error);
}

}  // namespace
}  // namespace velmora::shell
