// The polar window: direct sound and reflections as radii from the receptor, scale circles, title
// and information lines, and the room miniature.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/colormaps.h"
#include "platform/model/numbers.h"
#include "polar/polar.h"

namespace velmora::polar {

using document::createObject;
using document::MenuItem;
using platform::Graphics;
using platform::Matrix;
using platform::ObjectType;
using platform::Value;

namespace {

constexpr double kWindowSize = 420;
inline constexpr const char* kPolarTag = tags::kPolarWindow;

Value rowOf(std::vector<double> v) {
  return Value::row(std::move(v));
}

Value handleList(const std::vector<Handle>& handles) {
  platform::List l;
  for (Handle h : handles) l.items.push_back(h == platform::kNoHandle ? Value(Matrix{}) : Value::handle(h));
  return Value(std::move(l));
}

// Tip of a radius of level `level` above `lower` pointing from the receptor towards (xq, yq).
std::array<double, 2> tipOf(double level, double lower, double xq, double yq, double xre, double yre) {
  const double d = std::max(1.0, std::hypot(xq - xre, yq - yre));
  const double k = (level - lower) / d;
  return {k * (xq - xre), k * (yq - yre)};
}

Handle makePolarWindow(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle fig = g.create(ObjectType::Figure, platform::kRoot);
  const auto [screenWidth, screenHeight] = rt.ui().screenSize();
  document::setProperties(
      g, fig,
      {{"tag", kPolarTag},
       {"interruptible", "off"},
       {"color", "w"},
       {"colormap", Value(platform::jetColormap(256))},
       {"renderer", "zbuffer"},
       {"menubar", "none"},
       {"numbertitle", "off"},
       {"name", "VELMORA - Polar diagram"},
       {"position", rowOf({std::floor((screenWidth - kWindowSize) / 2),
                           std::floor((screenHeight - kWindowSize) / 2), kWindowSize, kWindowSize})},
       {"resize", "off"},
       {"paperunits", "points"},
       {"paperposition", rowOf({0, 0, 302.4, 302.4})}});
  document::setControlDefaults(g, fig);
  return fig;
}

bool isPolarWindow(const Runtime& rt, Handle fig) {
  const Graphics& g = rt.graphics();
  return fig != platform::kNoHandle && g.exists(fig) && g.at(fig).type() == ObjectType::Figure &&
         platform::equalsIgnoreCase(g.at(fig).tag(), kPolarTag);
}

}  // namespace

Value PrintRecord::toValue() const {
  platform::Record r;
  r.set("hal", Value(hal));
  r.set("val", Value(val));
  r.set("Lp", Value(Lp));
  r.set("ang", Value(ang));
  r.set("dela", Value(dela));
  r.set("xe", Value(xe));
  r.set("ye", Value(ye));
  r.set("ax", Value::handle(ax));
  return Value(std::move(r));
}

Value LimitsRecord::toValue() const {
  platform::Record r;
  r.set("ht", Value::handle(ht));
  platform::List images;
  for (const auto& im : imag1) images.items.push_back(rowOf(im.toRow()));
  r.set("imag1", Value(std::move(images)));
  r.set("xso", Value(xso));
  r.set("yso", Value(yso));
  r.set("xre", Value(xre));
  r.set("yre", Value(yre));
  r.set("Lmax", Value(Lmax));
  r.set("Lmin", Value(Lmin));
  r.set("Lw", Value(Lw));
  r.set("Lwall", rowOf(Lwall));
  r.set("Lso", Value(Lso));
  r.set("hra", handleList(hra));
  r.set("hdi", Value::handle(hdi));
  r.set("hdie", Value::handle(hdie));
  r.set("ax", Value::handle(ax));
  return Value(std::move(r));
}

void drawPolarGrid(Graphics& g, Handle axes, double range, double lower) {
  // Spokes every 30 degrees, counter-clockwise from +x.
  for (int k = 0; k < 12; ++k) {
    const double a = k * 30.0 / 180 * std::numbers::pi;
    createObject(g, ObjectType::Line, axes,
                 {{"xdata", rowOf({0, range * std::cos(a)})},
                  {"ydata", rowOf({0, range * std::sin(a)})},
                  {"zdata", rowOf({-2, -2})},
                  {"linestyle", ":"},
                  {"color", "k"},
                  {"hittest", "off"},
                  {"tag", "polaraxes"}});
  }
  // Five circles, sampled every degree; the outer one (the upper limit) solid.
  for (int k = 1; k <= 5; ++k) {
    const double rho = range * k / 5;
    std::vector<double> x, y, z;
    for (int d = 0; d <= 360; ++d) {
      const double a = d / 180.0 * std::numbers::pi;
      x.push_back(rho * std::cos(a));
      y.push_back(rho * std::sin(a));
      z.push_back(-2);
    }
    createObject(g, ObjectType::Line, axes,
                 {{"xdata", rowOf(std::move(x))},
                  {"ydata", rowOf(std::move(y))},
                  {"zdata", rowOf(std::move(z))},
                  {"linestyle", k == 5 ? "-" : ":"},
                  {"color", "k"},
                  {"hittest", "off"},
                  {"tag", "polaraxes"}});
  }
  // The levels of the four inner circles, below and above the centre.
  for (int k = 1; k <= 4; ++k) {
    const double rho = range * k / 5;
    std::string label = " ";  // appended: GCC 12's -Wrestrict misreads " " + std::string at -O2
    label += shown(rho + lower, 0.1);
    for (const auto& [y, valign] : {std::pair{-rho, "top"}, std::pair{rho, "bottom"}}) {
      createObject(g, ObjectType::Text, axes,
                   {{"units", "data"},
                    {"position", rowOf({0, y})},
                    {"string", label},
                    {"fontsize", 6.0},
                    {"fontname", "default"},
                    {"horizontalalignment", "left"},
                    {"verticalalignment", valign},
                    {"tag", "polaraxes"}});
    }
  }
  const double margin = range + range / 50;
  g.setRow(axes, "xlim", {-margin, margin});
  g.setRow(axes, "ylim", {-margin, margin});
}

namespace {

// The diagram's limits: the automatic ones, or those a refresh asks for when they give it an extent.
struct Scale {
  double Lmin = 0, Lmax = 0;  // lower limit and range, dB
  std::vector<double> automatic;
};
Scale scaleOf(const PolarLevels& L, const std::optional<RefreshRequest>& refresh) {
  Scale s{L.Lmin, L.Lmax, {L.Lmin, L.Lmin + L.Lmax}};
  if (refresh && refresh->level.size() >= 2) {
    const double low = refresh->level[0], high = refresh->level[1];
    if (std::isfinite(low) && std::isfinite(high) && high > low) {
      s.Lmin = low;
      s.Lmax = high - low;
    }
  }
  return s;
}

// A new polar window, or the refreshed one emptied.
Handle windowFor(Runtime& rt, const std::optional<RefreshRequest>& refresh) {
  Graphics& g = rt.graphics();
  if (!refresh) {
    const Handle fig = makePolarWindow(rt);
    createObject(g, ObjectType::UiControl, fig,
                 {{"style", "pushbutton"},
                  {"position", rowOf({1, 210, 40, 20})},
                  {"string", "print"},
                  {"tooltipstring", "Print polar diagram"},
                  {"callback", "velmoracopy('printpolar')"}});
    return fig;
  }
  const Handle fig = refresh->figure;
  g.setCurrentFigure(fig);
  const std::vector<Handle> children = g.at(fig).children();
  for (Handle h : children) {
    if (g.exists(h)) g.remove(h);
  }
  g.set(fig, "uicontextmenu", Value(Matrix{}));
  return fig;
}

Handle makePolarAxes(Graphics& g, Handle fig) {
  return createObject(g, ObjectType::Axes, fig,
                      {{"units", "normalized"},
                       {"position", rowOf({0.18, 0.12, 0.8, 0.8})},
                       {"tag", tags::kPolarAxes1},
                       {"box", "off"},
                       {"xtick", Value(Matrix{})},
                       {"ytick", Value(Matrix{})},
                       {"dataaspectratio", rowOf({1, 1, 1})},
                       {"nextplot", "add"},
                       {"visible", "off"}});
}

// The direct sound's radius (dashed when a wall blocks it) and, in the interactive window, its tip.
std::pair<Handle, Handle> drawDirect(Graphics& g, Handle ax, const PolarInputs& in, const PolarLevels& L,
                                     double Lmin, bool interactive) {
  const auto direct = tipOf(L.Lso, Lmin, in.xso, in.yso, in.xre, in.yre);
  const Handle hdi = createObject(g, ObjectType::Line, ax,
                                  {{"xdata", rowOf({0, direct[0]})},
                                   {"ydata", rowOf({0, direct[1]})},
                                   {"color", "r"},
                                   {"linewidth", 2.0},
                                   {"linestyle", L.isov == 0 ? "--" : "-"},
                                   {"tag", tags::kPolarDirectRadius}});
  Handle hdie = platform::kNoHandle;
  if (interactive) {
    hdie = createObject(g, ObjectType::Line, ax,
                        {{"xdata", Value(direct[0])},
                         {"ydata", Value(direct[1])},
                         {"linestyle", "none"},
                         {"color", "k"},
                         {"marker", "o"},
                         {"tag", tags::kPolarDirect},
                         {"hittest", "off"}});
  }
  return {hdi, hdie};
}

// The radii of the reflections: first the first order's, one per wall (kNoHandle where none
// arrives), then one per higher-order path, thinner and lighter with every order.
struct Radii {
  std::vector<Handle> handles;
  std::vector<std::array<double, 2>> tips;
};
Value orderColour(int order) {
  const double t = std::min(0.3 + 0.12 * (order - 2), 0.8);
  return rowOf({t, t, 1});
}
Radii drawReflections(Graphics& g, Handle ax, const PolarInputs& in, const PolarLevels& L, double Lmin) {
  const std::size_t n = in.walls.size();
  Radii r;
  r.handles.assign(n, platform::kNoHandle);
  r.tips.assign(n, {0, 0});
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(L.Lwall[i]) || !(L.Lwall[i] > 0)) continue;
    r.tips[i] = tipOf(L.Lwall[i], Lmin, in.images[i].xi, in.images[i].yi, in.xre, in.yre);
    r.handles[i] = createObject(
        g, ObjectType::Line, ax,
        {{"xdata", rowOf({0, r.tips[i][0]})}, {"ydata", rowOf({0, r.tips[i][1]})}, {"linewidth", 2.0}});
  }
  for (const engine::PathArrival& a : L.higher) {
    const auto tip = tipOf(a.levelDb, Lmin, a.image.x, a.image.y, in.xre, in.yre);
    r.tips.push_back(tip);
    r.handles.push_back(createObject(g, ObjectType::Line, ax,
                                     {{"xdata", rowOf({0, tip[0]})},
                                      {"ydata", rowOf({0, tip[1]})},
                                      {"linewidth", 1.0},
                                      {"color", orderColour(a.order)},
                                      {"visible", a.levelDb > Lmin ? "on" : "off"}}));
  }
  return r;
}

// The title (levels) and the information line; returns the information line.
Handle drawTexts(Graphics& g, Handle ax, const PolarInputs& in, const PolarLevels& L, double Lmin,
                 double Lmax) {
  createObject(g, ObjectType::Text, ax,
               {{"fontsize", 10.0},
                {"fontname", "Times New Roman"},
                {"units", "normalized"},
                {"position", rowOf({0.42, 1.005})},
                {"horizontalalignment", "center"},
                {"verticalalignment", "bottom"},
                {"string", "L_p = " + shown(L.LTa, 0.1) + " dB    L_p^d = " + shown(L.Lso, 0.1) +
                               " dB    L_p^r = " + shown(L.LT, 0.1) + " dB"}});
  std::string line = std::to_string(L.reflections()) + " refl.  S (" + shown(in.xso, 0.01) + "," +
                     shown(in.yso, 0.01) + ")  R (" + shown(in.xre, 0.01) + "," + shown(in.yre, 0.01) +
                     ") \\Delta_{R}=" + shown(in.Hr, 0.01) + " " + "  [" + shown(Lmin + Lmax, 0.1) + " " +
                     shown(Lmin, 0.1) + "]";
  // Above order 1 the line says so, before the limits that "change dB limits" rewrites.
  if (in.order > 1) line.insert(line.find("  ["), "  order " + std::to_string(in.order));
  return createObject(g, ObjectType::Text, ax,
                      {{"fontsize", 8.0},
                       {"fontname", "Times New Roman"},
                       {"units", "normalized"},
                       {"position", rowOf({0.95, -0.1})},
                       {"horizontalalignment", "right"},
                       {"verticalalignment", "bottom"},
                       {"string", line}});
}

// The room miniature with the source, the receptor and a refresh's path; its walls in wall order.
std::vector<Handle> drawMiniature(Graphics& g, Handle fig, const PolarInputs& in,
                                  const std::optional<RefreshRequest>& refresh) {
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  for (const engine::Wall& w : in.walls) {
    xmin = std::min(xmin, w.x1);
    xmax = std::max(xmax, w.x1);
    ymin = std::min(ymin, w.y1);
    ymax = std::max(ymax, w.y1);
  }
  const double xm = (xmin + xmax) / 2, ym = (ymin + ymax) / 2;
  double dd = 1.03 * std::max(xmax - xmin, ymax - ymin);
  if (!(dd > 0)) dd = 1;
  const Handle mini = createObject(g, ObjectType::Axes, fig,
                                   {{"tag", tags::kPolarAxes2},
                                    {"units", "normalized"},
                                    {"position", rowOf({0.02, 0.02, 0.25, 0.25})},
                                    {"color", "w"},
                                    {"box", "on"},
                                    {"xtick", Value(Matrix{})},
                                    {"ytick", Value(Matrix{})},
                                    {"dataaspectratio", rowOf({1, 1, 1})},
                                    {"nextplot", "add"},
                                    {"visible", "off"},
                                    {"xlim", rowOf({xm - dd / 2, xm + dd / 2})},
                                    {"ylim", rowOf({ym - dd / 2, ym + dd / 2})}});
  std::vector<Handle> miniWalls;
  for (const engine::Wall& w : in.walls) {
    miniWalls.push_back(
        createObject(g, ObjectType::Line, mini,
                     {{"xdata", rowOf({w.x1, w.x2})}, {"ydata", rowOf({w.y1, w.y2})}, {"color", "k"}}));
  }
  createObject(g, ObjectType::Line, mini,
               {{"xdata", Value(in.xso)},
                {"ydata", Value(in.yso)},
                {"linestyle", "none"},
                {"color", "k"},
                {"marker", "."},
                {"markersize", 6.0},
                {"tag", tags::kPolarSource}});
  createObject(g, ObjectType::Line, mini,
               {{"xdata", Value(in.xre)},
                {"ydata", Value(in.yre)},
                {"linestyle", "none"},
                {"color", "k"},
                {"marker", "pentagram"},
                {"markersize", 6.0}});
  if (refresh && !refresh->xpa.empty() && refresh->xpa.size() == refresh->ypa.size()) {
    createObject(
        g, ObjectType::Line, mini,
        {{"xdata", rowOf(refresh->xpa)}, {"ydata", rowOf(refresh->ypa)}, {"linestyle", ":"}, {"color", "k"}});
  }
  return miniWalls;
}

// What one radius's menu names: its level, angle and delay, its wall (or path) and what reflects.
struct RadiusFacts {
  double level = 0, angle = 0, delay = 0;
  std::string which;   // "wall 3", or "walls 3, 1" above the first order
  std::string detail;  // "absorption=20%", or "order 2"
};

// The click that flashes the radius's walls (the path's, in turn) and the value menu with its print items.
void attachRadiusMenu(Graphics& g, Handle fig, Handle ax, Handle radius, const std::array<double, 2>& tip,
                      const RadiusFacts& f, Value flashed) {
  g.setUserdata(radius, platform::ValueUserData(std::move(flashed)));
  g.setText(radius, "buttondownfcn", "velmoracopy('polardiagshowwall')");
  const std::array<MenuItem, 8> items = {
      MenuItem{"Lp=" + shown(f.level, 0.1) + "dB"},
      MenuItem{"angle=" + shown(f.angle, 0.1) + "\u00b0"},
      MenuItem{"delay=" + shown(f.delay, 1) + "ms"},
      MenuItem{f.which, "", true},
      MenuItem{f.detail},
      MenuItem{"print Lp", "velmoracopy('polardiagprint')", true},
      MenuItem{"print angle", "velmoracopy('polardiagprint')"},
      MenuItem{"print delay", "velmoracopy('polardiagprint')"},
  };
  const Handle menu = document::makeContextMenu(g, fig, items, radius);
  PrintRecord print;
  print.hal = tip[0] < 0 ? "right" : "left";
  print.val = tip[1] < 0 ? "top" : "bottom";
  print.Lp = shown(f.level, 0.1) + " dB";
  print.ang = shown(f.angle, 0.1) + "\u00b0";
  print.dela = shown(f.delay, 1) + "ms";
  print.xe = tip[0];
  print.ye = tip[1];
  print.ax = ax;
  const auto shared = std::make_shared<const PrintRecord>(print);
  const auto menuItems = document::menuItemsInOrder(g, menu);
  for (std::size_t k = 5; k < menuItems.size(); ++k) g.setUserdata(menuItems[k], shared);
}

void attachRadiusMenus(Graphics& g, Handle fig, Handle ax, const PolarInputs& in, const PolarLevels& L,
                       const Radii& radii, const std::vector<Handle>& miniWalls) {
  const std::size_t n = in.walls.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (radii.handles[i] == platform::kNoHandle) continue;
    const double alpha = i < in.alpha.size() ? in.alpha[i] : 0.0;
    attachRadiusMenu(g, fig, ax, radii.handles[i], radii.tips[i],
                     {L.Lwall[i], L.ang[i], L.dela[i], "wall " + std::to_string(i + 1),
                      "absorption=" + platform::formatNumber(alpha) + "%"},
                     Value::handle(miniWalls[i]));
  }
  for (std::size_t p = 0; p < L.higher.size(); ++p) {
    const engine::PathArrival& a = L.higher[p];
    std::string which = "walls ";
    platform::List path;
    for (std::size_t k = 0; k < a.walls.size(); ++k) {
      which += (k > 0 ? ", " : "") + std::to_string(a.walls[k]);
      const auto w = static_cast<std::size_t>(a.walls[k]);
      if (w >= 1 && w <= miniWalls.size()) path.items.push_back(Value::handle(miniWalls[w - 1]));
    }
    attachRadiusMenu(g, fig, ax, radii.handles[n + p], radii.tips[n + p],
                     {a.levelDb, a.angleDeg, a.delayMs, which, "order " + std::to_string(a.order)},
                     Value(std::move(path)));
  }
}

// The "change dB limits" menu of the window; the higher-order radii follow the first order's in
// its record (their images and levels after the walls').
void attachLimitsMenu(Graphics& g, Handle fig, Handle ax, Handle ht, const PolarInputs& in,
                      const PolarLevels& L, const Scale& scale, const Radii& radii,
                      std::pair<Handle, Handle> direct) {
  LimitsRecord limits;
  limits.ht = ht;
  limits.imag1 = in.images;
  limits.xso = in.xso;
  limits.yso = in.yso;
  limits.xre = in.xre;
  limits.yre = in.yre;
  limits.Lmax = scale.Lmin + scale.Lmax;
  limits.Lmin = scale.Lmin;
  limits.Lw = in.Lw;
  limits.Lwall = L.Lwall;
  limits.Lso = L.Lso;
  limits.hra = radii.handles;
  if (!L.higher.empty()) {
    limits.imag1.resize(in.walls.size());
    limits.Lwall.resize(in.walls.size(), std::numeric_limits<double>::quiet_NaN());
    for (const engine::PathArrival& a : L.higher) {
      engine::ImageRecord image;
      image.xi = a.image.x;
      image.yi = a.image.y;
      limits.imag1.push_back(image);
      limits.Lwall.push_back(a.levelDb);
    }
  }
  limits.hdi = direct.first;
  limits.hdie = direct.second;
  limits.ax = ax;
  const std::array<MenuItem, 1> windowMenu = {MenuItem{"change dB limits", "velmoracopy('changedblimits')"}};
  const Handle menu = document::makeContextMenu(g, fig, windowMenu, fig);
  const Handle item = document::menuItemsInOrder(g, menu).front();
  g.setText(item, "interruptible", "off");
  g.setUserdata(item, std::move(limits));
}

}  // namespace

void polardiagram(Runtime& rt, const std::optional<RefreshRequest>& refresh) {
  Graphics& g = rt.graphics();
  const bool interactive = !refresh.has_value();
  if (refresh && !isPolarWindow(rt, refresh->figure)) return;
  if (refresh && (!g.exists(refresh->mainWindow) || !document::isMainWindow(rt, refresh->mainWindow))) return;

  const Handle mainWindow = interactive ? document::currentMainWindow(rt) : refresh->mainWindow;
  const PolarInputs in = readPolarInputs(rt, mainWindow);
  const PolarComputation computed = computePolarLevels(in);
  if (computed.refusal) {
    rt.console(*computed.refusal);
    rt.ui().beep();
    return;
  }
  const PolarLevels& L = computed.levels;
  const Scale scale = scaleOf(L, refresh);

  const Handle fig = windowFor(rt, refresh);
  g.setUserdata(fig, platform::ValueUserData(rowOf(scale.automatic)));
  const Handle ax = makePolarAxes(g, fig);
  drawPolarGrid(g, ax, scale.Lmax, scale.Lmin);
  const auto direct = drawDirect(g, ax, in, L, scale.Lmin, interactive);
  const Radii radii = drawReflections(g, ax, in, L, scale.Lmin);
  const Handle ht = drawTexts(g, ax, in, L, scale.Lmin, scale.Lmax);
  const std::vector<Handle> miniWalls = drawMiniature(g, fig, in, refresh);
  if (!interactive) return;

  // Interactive extras: wall flashing, the value menus of the arrows, the dB limits menu.
  attachRadiusMenus(g, fig, ax, in, L, radii, miniWalls);
  attachLimitsMenu(g, fig, ax, ht, in, L, scale, radii, direct);
}

}  // namespace velmora::polar
