#include "document/drawing_objects.h"

#include <algorithm>
#include <array>

#include "document/case_record.h"
#include "document/tags.h"
#include "platform/model/error.h"

namespace velmora::document {

namespace {

std::shared_ptr<const platform::UserData> handleUserdata(Handle h) {
  return std::make_shared<platform::ValueUserData>(Value::handle(h));
}

Value pair(double a, double b) {
  return Value::row({a, b});
}

// The area label stays last: the audience operations rewrite the menu's last item.
const std::array<MenuItem, 6> kAudienceMapMenuTop = {
    MenuItem{"set surface precision", "velmoracopy('surfaceprecision')"},
    MenuItem{"predefined precision"},
    MenuItem{"include room", "velmoracopy('matchroom')", true},
    MenuItem{"reduce size", "velmoracopy('reducesurfacesize')"},
    MenuItem{"export map...", "velmoracopy('exportmap')", true},
    MenuItem{"area=", "", true},
};

// A wall's ten items in order; the absorption items (3 to 5) and "material..." carry the wall line, so
// `changealpha` and `wallmaterial` know which wall to change, and the information items come last.
const std::array<MenuItem, kWallMenuItems> kWallMenu = {
    MenuItem{"split wall", "velmoracopy('splitwall')"},
    MenuItem{"delete vertex", "velmoracopy('deletevertex')"},
    MenuItem{"symmetry", "velmoracopy('symmetry')"},
    MenuItem{"change absorption", "velmoracopy('changealpha')", true},
    MenuItem{"set absorption to 0%", "velmoracopy('changealpha')"},
    MenuItem{"set absorption to 100%", "velmoracopy('changealpha')"},
    MenuItem{"material...", "velmoracopy('wallmaterial')"},
    MenuItem{"length", "", true},
    MenuItem{"angle", ""},
    MenuItem{"absorption", ""}};

}  // namespace

void setProperties(Graphics& g, Handle h, PropertyList props) {
  for (const Property& p : props) g.set(h, p.name, std::move(p.value));
}

void setControlDefaults(Graphics& g, Handle figure) {
  setProperties(g, figure,
                {{"defaultuicontrolfontname", "default"},
                 {"defaultuicontrolfontsize", 6.0},
                 {"defaultuicontrolfontangle", "normal"},
                 {"defaultuicontrolfontweight", "light"},
                 {"defaultuicontrolforegroundcolor", "k"},
                 {"defaultuicontrolinterruptible", "off"},
                 {"defaultuicontrolbusyaction", "queue"}});
}

Handle createObject(Graphics& g, ObjectType type, Handle parent, PropertyList props) {
  const Handle h = g.create(type, parent);
  setProperties(g, h, props);
  return h;
}

Handle addMenuItem(Graphics& g, Handle parent, const MenuItem& item) {
  const Handle h = g.create(ObjectType::UiMenu, parent);
  g.setText(h, "label", item.label);
  if (!item.callback.empty()) g.setText(h, "callback", item.callback);
  if (item.separator) g.setText(h, "separator", "on");
  if (item.checked) g.setText(h, "checked", "on");
  if (!item.tag.empty()) g.setText(h, "tag", item.tag);
  return h;
}

Handle makeContextMenu(Graphics& g, Handle figure, std::span<const MenuItem> items, Handle owner) {
  const Handle menu = g.create(ObjectType::UiContextMenu, figure);
  for (const MenuItem& item : items) addMenuItem(g, menu, item);
  if (owner != platform::kNoHandle) g.set(owner, "uicontextmenu", Value::handle(menu));
  return menu;
}

std::vector<Handle> menuItemsInOrder(const Graphics& g, Handle menu) {
  const auto& kids = g.at(menu).childrenBottomUp();
  std::vector<Handle> items;
  items.reserve(kids.size());
  for (Handle c : kids) {
    if (g.at(c).type() == ObjectType::UiMenu) items.push_back(c);
  }
  if (!std::is_sorted(items.begin(), items.end())) std::sort(items.begin(), items.end());
  return items;
}

Handle makeWallMenu(Graphics& g, Handle wall, Handle like) {
  const auto wallLine = handleUserdata(wall);  // one record for the three items: it never changes
  Handle menu = platform::kNoHandle;
  if (like != platform::kNoHandle) {
    // A copy of another wall's menu costs a fraction of making its items one property at a time.
    menu = g.copy(like, g.figureOf(wall));
    const auto items = menuItemsInOrder(g, menu);
    for (std::size_t k = kWallMenuChangeAbsorption; k <= kWallMenuMaterial && k < items.size(); ++k)
      g.setUserdata(items[k], wallLine);
  } else {
    menu = g.create(ObjectType::UiContextMenu, g.figureOf(wall));
    for (std::size_t k = 0; k < kWallMenuItems; ++k) {
      const Handle item = addMenuItem(g, menu, kWallMenu[k]);
      if (k >= kWallMenuChangeAbsorption && k <= kWallMenuMaterial) g.setUserdata(item, wallLine);
    }
  }
  g.set(wall, "uicontextmenu", Value::handle(menu));
  return menu;
}

WallChain makeWallChain(Graphics& g, Handle axes, std::span<const double> x, std::span<const double> y,
                        std::span<const double> alpha) {
  const std::size_t n = std::min(x.size(), y.size());
  WallChain chain;
  chain.walls.reserve(n);
  chain.vertices.reserve(n);
  // The first wall and vertex are made property by property; the others (hundreds in a large room)
  // are copies that then take their own points, records and menus.
  for (std::size_t k = 0; k < n; ++k) {
    if (k == 0) {
      chain.walls.push_back(createObject(g, ObjectType::Line, axes,
                                         {{"color", "k"},
                                          {"linestyle", "-"},
                                          {"marker", "none"},
                                          {"buttondownfcn", "velmoracopy('setactivewall')"},
                                          {"xdata", pair(x[0], x[1 % n])},
                                          {"ydata", pair(y[0], y[1 % n])},
                                          {"tag", tags::kWall},
                                          {"linewidth", 1.0}}));
      chain.vertices.push_back(createObject(g, ObjectType::Line, axes,
                                            {{"color", "k"},
                                             {"linestyle", "none"},
                                             {"marker", "."},
                                             {"xdata", Value(x[0])},
                                             {"ydata", Value(y[0])},
                                             {"tag", tags::kWallVertex},
                                             {"markersize", 15.0},
                                             {"buttondownfcn", std::string(kWallVertexPress)},
                                             {"interruptible", "off"}}));
    } else {
      chain.walls.push_back(g.copy(chain.walls.front(), axes));
      chain.vertices.push_back(g.copy(chain.vertices.front(), axes));
    }
  }
  Handle firstMenu = platform::kNoHandle;  // the menus of the other walls are copies of the first's
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t q = (k + 1) % n;      // next vertex
    const std::size_t p = (k + n - 1) % n;  // previous wall
    const Handle wall = chain.walls[k];
    const Handle vertex = chain.vertices[k];

    WallRecord wallRecord;
    wallRecord.con = {chain.vertices[k], chain.vertices[q]};
    wallRecord.alpha = k < alpha.size() ? alpha[k] : 0.0;
    g.setUserdata(wall, std::make_shared<WallRecord>(wallRecord));
    if (k > 0) {
      g.set(wall, "xdata", pair(x[k], x[q]));
      g.set(wall, "ydata", pair(y[k], y[q]));
    }
    const Handle menu = makeWallMenu(g, wall, firstMenu);
    if (firstMenu == platform::kNoHandle) firstMenu = menu;

    VertexRecord vertexRecord;
    vertexRecord.con = {chain.walls[p], chain.walls[k]};
    g.setUserdata(vertex, std::make_shared<VertexRecord>(vertexRecord));
    if (k > 0) {
      g.set(vertex, "xdata", Value(x[k]));
      g.set(vertex, "ydata", Value(y[k]));
    }
  }
  return chain;
}

AudienceArea makeAudienceArea(Graphics& g, Handle axes, std::span<const double> x,
                              std::span<const double> y) {
  if (x.size() < 4 || y.size() < 4) throw Error("the audience area needs 4 corners");
  constexpr std::size_t n = 4;
  AudienceArea area;
  for (std::size_t k = 0; k < n; ++k) {
    area.edges.push_back(g.create(ObjectType::Line, axes));
    area.corners.push_back(g.create(ObjectType::Line, axes));
  }
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t q = (k + 1) % n;
    const std::size_t p = (k + n - 1) % n;
    AudienceEdgeRecord edgeRecord;
    edgeRecord.con = {area.corners[k], area.corners[q]};
    g.setUserdata(area.edges[k], std::make_shared<AudienceEdgeRecord>(edgeRecord));
    setProperties(g, area.edges[k],
                  {{"color", "k"},
                   {"linestyle", "-"},
                   {"marker", "none"},
                   {"xdata", pair(x[k], x[q])},
                   {"ydata", pair(y[k], y[q])},
                   {"tag", tags::kAudienceEdge}});

    AudienceCornerRecord cornerRecord;
    cornerRecord.con = {area.edges[p], area.edges[k]};
    g.setUserdata(area.corners[k], std::make_shared<AudienceCornerRecord>(cornerRecord));
    setProperties(g, area.corners[k],
                  {{"color", "k"},
                   {"linestyle", "none"},
                   {"marker", "."},
                   {"xdata", Value(x[k])},
                   {"ydata", Value(y[k])},
                   {"tag", tags::kAudienceVertex},
                   {"markersize", 15.0},
                   {"buttondownfcn", std::string(kAudienceVertexPress)},
                   {"interruptible", "off"}});
  }
  return area;
}

Handle makeAudienceMap(Graphics& g, Handle axes, int intervals, double z) {
  if (intervals < 1) throw Error("the audience map needs at least one interval");
  const auto n = static_cast<std::size_t>(intervals) + 1;
  // Map point (i, j) at linear index i + j(N+1): the first index runs along the first side.
  platform::Matrix xi = platform::Matrix::zeros(n, n);
  platform::Matrix eta = platform::Matrix::zeros(n, n);
  platform::Matrix height = platform::Matrix::zeros(n, n);
  platform::Matrix colour = platform::Matrix::zeros(n, n);
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t i = 0; i < n; ++i) {
      xi(i, j) = static_cast<double>(i) / intervals;
      eta(i, j) = static_cast<double>(j) / intervals;
      height(i, j) = z;
      colour(i, j) = 1;
    }
  }
  const Handle map = createObject(g, ObjectType::Surface, axes,
                                  {{"xdata", Value(std::move(xi))},
                                   {"ydata", Value(std::move(eta))},
                                   {"zdata", Value(std::move(height))},
                                   {"cdata", Value(std::move(colour))},
                                   {"edgecolor", "none"},
                                   {"facecolor", "interp"},
                                   {"tag", tags::kAudienceMap},
                                   {"buttondownfcn", "velmoracopy('zoomaxes')"}});

  const Handle menu = g.create(ObjectType::UiContextMenu, g.figureOf(axes));
  addMenuItem(g, menu, kAudienceMapMenuTop[0]);
  const Handle predefined = addMenuItem(g, menu, kAudienceMapMenuTop[1]);
  for (const char* label : {"10", "50", "100", "200"}) {
    addMenuItem(g, predefined, {label, "velmoracopy('surfaceprecision')"});
  }
  for (std::size_t k = 2; k + 1 < kAudienceMapMenuTop.size(); ++k)
    addMenuItem(g, menu, kAudienceMapMenuTop[k]);
  // The echo risk overlay, switched per window; "area=" stays last, where its label is rewritten.
  const Value* risk = g.at(g.figureOf(axes)).appData("echorisk");
  addMenuItem(
      g, menu,
      {"echo risk", "velmoracopy('echorisk')", true, risk && risk->isScalar() && risk->scalar() != 0});
  addMenuItem(g, menu, {"echo risk settings...", "velmoracopy('echorisksettings')"});
  addMenuItem(g, menu, kAudienceMapMenuTop.back());
  g.set(map, "uicontextmenu", Value::handle(menu));
  return map;
}

}  // namespace velmora::document
