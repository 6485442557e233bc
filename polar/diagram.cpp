// The polar window: direct sound and reflections as radii from the receptor, scale circles, title
// and information lines, and the room miniature.

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

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
  const std::size_t n = in.walls.size();

  double Lmin = L.Lmin;
  double Lmax = L.Lmax;
  const std::vector<double> automatic = {Lmin, Lmin + Lmax};
  if (refresh && refresh->level.size() >= 2) {
    const double low = refresh->level[0], high = refresh->level[1];
    // Limits that give the diagram no extent are not applied.
    if (std::isfinite(low) && std::isfinite(high) && high > low) {
      Lmin = low;
      Lmax = high - low;
    }
  }

  Handle fig;
  if (interactive) {
    fig = makePolarWindow(rt);
  } else {
    fig = refresh->figure;
    g.setCurrentFigure(fig);
    const std::vector<Handle> children = g.at(fig).children();
    for (Handle h : children) {
      if (g.exists(h)) g.remove(h);
    }
    g.set(fig, "uicontextmenu", Value(Matrix{}));
  }
  g.setUserdata(fig, platform::ValueUserData(rowOf(automatic)));

  if (interactive) {
    createObject(g, ObjectType::UiControl, fig,
                 {{"style", "pushbutton"},
                  {"position", rowOf({1, 210, 40, 20})},
                  {"string", "print"},
                  {"tooltipstring", "Print polar diagram"},
                  {"callback", "velmoracopy('printpolar')"}});
  }

  const Handle ax = createObject(g, ObjectType::Axes, fig,
                                 {{"units", "normalized"},
                                  {"position", rowOf({0.18, 0.12, 0.8, 0.8})},
                                  {"tag", tags::kPolarAxes1},
                                  {"box", "off"},
                                  {"xtick", Value(Matrix{})},
                                  {"ytick", Value(Matrix{})},
                                  {"dataaspectratio", rowOf({1, 1, 1})},
                                  {"nextplot", "add"},
                                  {"visible", "off"}});
  drawPolarGrid(g, ax, Lmax, Lmin);

  // Direct sound: dashed when a wall blocks it.
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

  // One radius per reflection that arrives.
  std::vector<Handle> hra(n, platform::kNoHandle);
  std::vector<std::array<double, 2>> tips(n, {0, 0});
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(L.Lwall[i]) || !(L.Lwall[i] > 0)) continue;
    tips[i] = tipOf(L.Lwall[i], Lmin, in.images[i].xi, in.images[i].yi, in.xre, in.yre);
    hra[i] = createObject(
        g, ObjectType::Line, ax,
        {{"xdata", rowOf({0, tips[i][0]})}, {"ydata", rowOf({0, tips[i][1]})}, {"linewidth", 2.0}});
  }

  createObject(g, ObjectType::Text, ax,
               {{"fontsize", 10.0},
                {"fontname", "Times New Roman"},
                {"units", "normalized"},
                {"position", rowOf({0.42, 1.005})},
                {"horizontalalignment", "center"},
                {"verticalalignment", "bottom"},
                {"string", "L_p = " + shown(L.LTa, 0.1) + " dB    L_p^d = " + shown(L.Lso, 0.1) +
                               " dB    L_p^r = " + shown(L.LT, 0.1) + " dB"}});
  const Handle ht =
      createObject(g, ObjectType::Text, ax,
                   {{"fontsize", 8.0},
                    {"fontname", "Times New Roman"},
                    {"units", "normalized"},
                    {"position", rowOf({0.95, -0.1})},
                    {"horizontalalignment", "right"},
                    {"verticalalignment", "bottom"},
                    {"string", std::to_string(L.received) + " refl.  S (" + shown(in.xso, 0.01) + "," +
                                   shown(in.yso, 0.01) + ")  R (" + shown(in.xre, 0.01) + "," +
                                   shown(in.yre, 0.01) + ") \\Delta_{R}=" + shown(in.Hr, 0.01) + " " + "  [" +
                                   shown(Lmin + Lmax, 0.1) + " " + shown(Lmin, 0.1) + "]"}});

  // Room miniature.
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
  if (!interactive) return;

  // Interactive extras: wall flashing, the value menus of the arrows, the dB limits menu.
  for (std::size_t i = 0; i < n; ++i) {
    if (hra[i] == platform::kNoHandle) continue;
    g.setUserdata(hra[i], platform::ValueUserData(Value::handle(miniWalls[i])));
    g.setText(hra[i], "buttondownfcn", "velmoracopy('polardiagshowwall')");

    const double alpha = i < in.alpha.size() ? in.alpha[i] : 0.0;
    const std::array<MenuItem, 8> items = {
        MenuItem{"Lp=" + shown(L.Lwall[i], 0.1) + "dB"},
        MenuItem{"angle=" + shown(L.ang[i], 0.1) + "\u00b0"},
        MenuItem{"delay=" + shown(L.dela[i], 1) + "ms"},
        MenuItem{"wall " + std::to_string(i + 1), "", true},
        MenuItem{"absorption=" + platform::formatNumber(alpha) + "%"},
        MenuItem{"print Lp", "velmoracopy('polardiagprint')", true},
        MenuItem{"print angle", "velmoracopy('polardiagprint')"},
        MenuItem{"print delay", "velmoracopy('polardiagprint')"},
    };
    const Handle menu = document::makeContextMenu(g, fig, items, hra[i]);
    PrintRecord print;
    print.hal = tips[i][0] < 0 ? "right" : "left";
    print.val = tips[i][1] < 0 ? "top" : "bottom";
    print.Lp = shown(L.Lwall[i], 0.1) + " dB";
    print.ang = shown(L.ang[i], 0.1) + "\u00b0";
    print.dela = shown(L.dela[i], 1) + "ms";
    print.xe = tips[i][0];
    print.ye = tips[i][1];
    print.ax = ax;
    const auto shared = std::make_shared<const PrintRecord>(print);
    const auto menuItems = document::menuItemsInOrder(g, menu);
    for (std::size_t k = 5; k < menuItems.size(); ++k) g.setUserdata(menuItems[k], shared);
  }

  LimitsRecord limits;
  limits.ht = ht;
  limits.imag1 = in.images;
  limits.xso = in.xso;
  limits.yso = in.yso;
  limits.xre = in.xre;
  limits.yre = in.yre;
  limits.Lmax = Lmin + Lmax;
  limits.Lmin = Lmin;
  limits.Lw = in.Lw;
  limits.Lwall = L.Lwall;
  limits.Lso = L.Lso;
  limits.hra = hra;
  limits.hdi = hdi;
  limits.hdie = hdie;
  limits.ax = ax;
  const std::array<MenuItem, 1> windowMenu = {MenuItem{"change dB limits", "velmoracopy('changedblimits')"}};
  const Handle menu = document::makeContextMenu(g, fig, windowMenu, fig);
  const Handle item = document::menuItemsInOrder(g, menu).front();
  g.setText(item, "interruptible", "off");
  g.setUserdata(item, std::move(limits));
}

}  // namespace velmora::polar
