// The echogram window: one bar per arrival at its delay and level, the 50 ms and 80 ms marks, the
// figures of the arrivals above the plot and the named arrival below it. It follows its main window.

#include <algorithm>
#include <cmath>
#include <span>

#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/files/csv.h"
#include "polar/arrivals_csv.h"
#include "polar/echogram.h"
#include "polar/echogram_response.h"
#include "polar/window_parts.h"

namespace velmora::polar {

using document::createObject;
using platform::Graphics;
using platform::Matrix;
using platform::ObjectType;
using platform::Value;

namespace {

// The arrivals' plot keeps the window's first 560 pixels; the response's decay stands to its right.
constexpr double kWidth = 560, kHeight = 420, kWindowWidth = 900;
constexpr double kPlotWidth = 0.85, kPlotHeight = 0.6;  // of the first 560 pixels
constexpr double kDecayLeft = 610, kDecayWidth = 270;    // pixels
constexpr double kDecayFloorDb = -70;
constexpr const char* kBarPress = "velmoracopy('echogramshowarrival')";
constexpr const char* kPrompt = "click a bar to name its arrival";

bool isEchogramWindow(const Graphics& g, Handle fig) {
  return fig != platform::kNoHandle && g.exists(fig) && g.at(fig).type() == ObjectType::Figure &&
         g.at(fig).tag() == kEchogramTag;
}

std::vector<Handle> echogramWindows(const Graphics& g) {
  std::vector<Handle> out;
  for (Handle f : g.figures()) {
    if (isEchogramWindow(g, f)) out.push_back(f);
  }
  return out;
}

const EchogramRecord* recordOf(const Graphics& g, Handle fig) {
  return isEchogramWindow(g, fig) ? g.at(fig).userdataAs<EchogramRecord>() : nullptr;
}

// Everything the figures depend on, flattened: equal lists mean an identical echogram.
std::vector<double> fingerprint(const PolarInputs& in, const document::RoomAcoustics& room) {
  std::vector<double> v = {in.xso,
                           in.yso,
                           in.xre,
                           in.yre,
                           in.Lw,
                           in.Hr,
                           in.convex ? 1.0 : 0.0,
                           static_cast<double>(in.order),
                           in.diffusion ? 1.0 : 0.0};
  for (const auto& c : in.curves) v.insert(v.end(), {c.type, c.xc1, c.yc1, c.xc2, c.yc2, c.xc3, c.yc3});
  for (const auto& w : in.walls) v.insert(v.end(), {w.x1, w.y1, w.x2, w.y2});
  v.insert(v.end(), in.alpha.begin(), in.alpha.end());
  v.insert(v.end(), in.diffcoef.begin(), in.diffcoef.end());
  for (const auto& im : in.images) {
    const auto row = im.toRow();
    v.push_back(static_cast<double>(row.size()));
    v.insert(v.end(), row.begin(), row.end());
  }
  for (const auto& w : in.visible) v.insert(v.end(), {w.x1, w.y1, w.x2, w.y2});
  v.push_back(room.height);
  for (const auto& bands : {room.floor, room.ceiling}) v.insert(v.end(), bands.begin(), bands.end());
  for (const auto& bands : room.wallBands) v.insert(v.end(), bands.begin(), bands.end());
  return v;
}

// A tick step that gives at most ten intervals.
double tickStep(double span) {
  for (double step : {5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0}) {
    if (span / step <= 10) return step;
  }
  return 10000;
}

std::vector<double> ticks(double lo, double hi, double step) {
  std::vector<double> t;
  for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step) t.push_back(v);
  return t;
}

std::string arrivalText(const Arrival& a) {
  std::string what =
      a.direct ? (a.blocked ? "direct sound (blocked)" : "direct sound") : "wall " + std::to_string(a.wall);
  if (a.order > 1) {
    what = "walls ";
    for (std::size_t k = 0; k < a.walls.size(); ++k) what += (k > 0 ? ", " : "") + std::to_string(a.walls[k]);
    what += " (order " + std::to_string(a.order) + ")";
  }
  return what + ": " + shown(a.levelDb, 0.1) + " dB, delay " + shown(a.delayMs, 0.1) + " ms, angle " +
         shown(a.angleDeg, 0.1) + "\u00b0";
}

Handle makeWindow(Runtime& rt) {
  return makeFixedWindow(rt, kEchogramTag, "VELMORA - Echogram", kWindowWidth, kHeight);
}

Handle text(Graphics& g, Handle axes, const std::string& s, double x, double y, const char* units,
            const char* halign, const char* valign, double size, const char* tag = "") {
  return placeText(g, axes, Value(s), x, y, units, halign, valign, size, tag);
}

std::string seconds(const std::optional<double>& t) {
  return t ? shown(*t, 0.01) + " s" : std::string("none");
}

// The response's energy decay beside the arrivals, with the figures read from it.
void drawDecay(Graphics& g, Handle fig, const EchogramRecord& rec) {
  const hearing::DecayFigures& d = rec.decay;
  std::vector<double> xs, ys;
  for (std::size_t i = 0; i < d.decayDb.size() && d.decayDb[i] >= kDecayFloorDb - 10; ++i) {
    xs.push_back(static_cast<double>(i) * d.stepSeconds * 1000);
    ys.push_back(d.decayDb[i]);
  }
  const double span = xs.empty() ? 100 : std::max(100.0, xs.back());
  const double step = tickStep(span);
  const double xmax = std::ceil(span / step) * step;
  const Handle ax = createObject(g, ObjectType::Axes, fig,
                                 {{"units", "normalized"},
                                  {"position", Value::row({kDecayLeft / kWindowWidth, 0.24,
                                                           kDecayWidth / kWindowWidth, kPlotHeight})},
                                  {"tag", tags::kEchogramDecayAxes},
                                  {"box", "on"},
                                  {"xlim", Value::row({0, xmax})},
                                  {"ylim", Value::row({kDecayFloorDb, 0})},
                                  {"xtick", Value::row(ticks(0, xmax, xmax / 4 >= step ? 2 * step : step))},
                                  {"ytick", Value::row(ticks(kDecayFloorDb, 0, 10))},
                                  {"fontsize", 8.0},
                                  {"nextplot", "add"}});
  text(g, ax, "time after the onset (ms)", 0.5, -0.09, "normalized", "center", "top", 8);
  text(g, ax, "energy decay of the response (Schroeder)", 0.5, 1.01, "normalized", "center", "bottom", 8);
  if (!xs.empty()) {
    createObject(g, ObjectType::Line, ax,
                 {{"xdata", Value::row(std::move(xs))},
                  {"ydata", Value::row(std::move(ys))},
                  {"color", Value::row({0.1, 0.5, 0.1})},
                  {"linewidth", 1.5},
                  {"hittest", "off"},
                  {"tag", tags::kEchogramDecay}});
  }
  std::string c80 = "none";
  if (d.c80) c80 = std::isinf(*d.c80) ? "no late energy" : shown(*d.c80, 0.1) + " dB";
  const std::string decay = "EDT = " + seconds(d.edt) + "   T20 = " + seconds(d.t20) + "   T30 = " + seconds(d.t30);
  const std::string whole = "whole response:  D50 = " + (d.d50 ? shown(*d.d50, 0.1) + " %" : std::string("none")) +
                            "   C80 = " + c80;
  text(g, ax, decay, 0.5, -0.2, "normalized", "center", "top", 8, tags::kEchogramDecayFigures);
  text(g, ax, whole, 0.5, -0.28, "normalized", "center", "top", 8, tags::kEchogramDecayFigures);
}

// Draws the whole window anew from its record.
void draw(Runtime& rt, Handle fig, const EchogramRecord& rec) {
  Graphics& g = rt.graphics();
  const std::vector<Handle> children = g.at(fig).children();
  for (Handle h : children) {
    if (g.exists(h)) g.remove(h);
  }
  // The response's controls and decay first: a search for the window's newest objects finds what it
  // always found (the arrivals' plot and its buttons).
  const auto button = [&](double x, double width, const char* label, const char* tip, const char* tag,
                          const char* callback) { bottomButton(g, fig, x, width, label, tip, tag, callback); };
  button(96, 45, "listen", "Play the dry sound as the receptor hears it", tags::kEchogramListen,
         "velmoracopy('echogramlisten')");
  std::string dry = "click|speech|open dry sound...";
  if (!rec.dryPath.empty()) dry += "|" + platform::splitPath(rec.dryPath).file;
  const Handle dryMenu = createObject(g, ObjectType::UiControl, fig,
                                      {{"style", "popupmenu"},
                                       {"position", Value::row({143, 1, 125, 20})},
                                       {"string", dry},
                                       {"tooltipstring", "The dry sound to listen to"},
                                       {"tag", tags::kEchogramDry},
                                       {"callback", "velmoracopy('echogramdrysound')"}});
  g.setNumber(dryMenu, "value", rec.dryChoice);
  button(270, 110, "export response...", "Export the impulse response as WAV", tags::kEchogramExportResponse,
         "velmoracopy('echogramexportresponse')");
  button(382, 130, "export auralisation...", "Export the dry sound as heard, as WAV",
         tags::kEchogramExportAuralisation, "velmoracopy('echogramexportauralisation')");
  if (rec.refusal.empty()) drawDecay(g, fig, rec);

  createObject(g, ObjectType::UiControl, fig,
               {{"style", "pushbutton"},
                {"position", Value::row({1, 1, 40, 20})},
                {"string", "print"},
                {"tooltipstring", "Print echogram"},
                {"tag", tags::kEchogramPrint},
                {"callback", "velmoracopy('printechogram')"}});
  createObject(g, ObjectType::UiControl, fig,
               {{"style", "pushbutton"},
                {"position", Value::row({43, 1, 50, 20})},
                {"string", "export"},
                {"tooltipstring", "Export the arrivals as CSV"},
                {"tag", tags::kEchogramExport},
                {"callback", "velmoracopy('echogramexport')"}});
  const auto& arrivals = rec.figures.arrivals;
  double maxDelay = 0, low = INFINITY, high = -INFINITY;
  for (const Arrival& a : arrivals) {
    maxDelay = std::max(maxDelay, a.delayMs);
    low = std::min(low, a.levelDb);
    high = std::max(high, a.levelDb);
  }
  if (arrivals.empty()) low = 0, high = 60;
  const double xstep = tickStep(std::max(100.0, maxDelay * 1.05 + 1));
  const double xmax = std::max(100.0, std::ceil((maxDelay * 1.05 + 1) / xstep) * xstep);
  double top = 10 * std::ceil((high + 3) / 10);
  const double bottom = std::min(10 * std::floor((low - 5) / 10), top - 30);
  // The wall labels, placed at the plot's scale; the plot grows upwards until the highest fits.
  std::vector<EchogramLabel> labels;
  for (int grown = 0; grown < 50; ++grown) {
    labels = echogramLabels(arrivals, (xmax + xmax / 80) / (kPlotWidth * kWidth),
                            (top - bottom) / (kPlotHeight * kHeight));
    double highest = -INFINITY;
    for (const EchogramLabel& l : labels) highest = std::max(highest, l.levelDb + l.heightDb);
    if (highest <= top) break;
    top += 10;
  }
  const double ystep = top - bottom > 100 ? 20 : 10;

  const Handle ax = createObject(g, ObjectType::Axes, fig,
                                 {{"units", "normalized"},
                                  {"position", Value::row({0.11 * kWidth / kWindowWidth, 0.24,
                                                           kPlotWidth * kWidth / kWindowWidth, kPlotHeight})},
                                  {"tag", tags::kEchogramAxes},
                                  {"box", "on"},
                                  // A little room left of 0 keeps the direct sound's bar off the frame.
                                  {"xlim", Value::row({-xmax / 80, xmax})},
                                  {"ylim", Value::row({bottom, top})},
                                  {"xtick", Value::row(ticks(0, xmax, xstep))},
                                  {"ytick", Value::row(ticks(bottom, top, ystep))},
                                  {"fontsize", 8.0},
                                  {"nextplot", "add"}});
  text(g, ax, "delay after the direct sound (ms)", 0.5, -0.09, "normalized", "center", "top", 8);
  const Handle ylabel = text(g, ax, "level (dB)", -0.08, 0.5, "normalized", "center", "bottom", 8);
  g.setNumber(ylabel, "rotation", 90);

  // The 50 ms and 80 ms marks, after the direct sound at 0.
  for (double mark : {50.0, 80.0}) {
    createObject(g, ObjectType::Line, ax,
                 {{"xdata", Value::row({mark, mark})},
                  {"ydata", Value::row({bottom, top})},
                  {"zdata", Value::row({-1, -1})},
                  {"linestyle", ":"},
                  {"color", "k"},
                  {"hittest", "off"},
                  {"tag", tags::kEchogramMark}});
    text(g, ax, " " + shown(mark, 1) + " ms", mark, top, "data", "left", "top", 7, tags::kEchogramMark);
  }

  // Bars, the direct sound red (dashed when blocked), the reflections blue.
  for (std::size_t k = 0; k < arrivals.size(); ++k) {
    const Arrival& a = arrivals[k];
    // Higher orders thinner and lighter, order by order.
    const double light = std::min(0.3 + 0.12 * (a.order - 2), 0.8);
    const Value colour = a.order > 1 ? Value::row({light, light, 1}) : Value(a.direct ? "r" : "b");
    const Handle bar = createObject(g, ObjectType::Line, ax,
                                    {{"xdata", Value::row({a.delayMs, a.delayMs})},
                                     {"ydata", Value::row({bottom, a.levelDb})},
                                     {"color", colour},
                                     {"linewidth", a.order > 1 ? 1.5 : 3.0},
                                     {"linestyle", a.blocked ? "--" : "-"},
                                     {"tag", tags::kEchogramBar},
                                     {"buttondownfcn", kBarPress}});
    g.setUserdata(bar, platform::ValueUserData(Value(static_cast<double>(k + 1))));
  }
  // Wall numbers above the bars; arrivals less than 1 ms apart share one label ("16, 17, 18").
  for (const EchogramLabel& l : labels) {
    const Handle t = text(g, ax, l.text, l.delayMs, l.levelDb, "data", "center", "bottom", 7, tags::kEchogramLabel);
    g.setText(t, "color", "b");
  }
  const bool blocked = !arrivals.empty() && arrivals.front().blocked;
  const Handle directKey =
      text(g, ax, blocked ? "direct sound (blocked: dashed, not counted)" : "direct sound", 0, 1.01,
           "normalized", "left", "bottom", 7);
  g.setText(directKey, "color", "r");
  const Handle reflectionKey = text(g, ax,
                                    rec.figures.order > 1 ? "reflections (wall number; higher orders lighter)"
                                                          : "reflections (wall number)",
                                    1, 1.01, "normalized", "right", "bottom", 7);
  g.setText(reflectionKey, "color", "b");

  const std::string summary = rec.refusal.empty() ? echogramTitle(rec.figures) : rec.refusal;
  text(g, ax, summary, 0.5, 1.08, "normalized", "center", "bottom", 9, tags::kEchogramSummary);
  const std::string where = "S (" + shown(rec.xso, 0.01) + "," + shown(rec.yso, 0.01) + ")  R (" +
                            shown(rec.xre, 0.01) + "," + shown(rec.yre, 0.01) + ")    ";
  // No bar to click when nothing is drawn (the receptor too near the source, say).
  text(g, ax, arrivals.empty() ? where : where + kPrompt, 0.5, -0.2, "normalized", "center", "top", 8,
       tags::kEchogramInfo);
  g.setUserdata(fig, rec);
}

// The echogram of a main window; a refused one carries the reason and no arrivals.
EchogramRecord compute(Handle mainWindow, const PolarInputs& in, const document::RoomAcoustics& room) {
  EchogramRecord rec;
  rec.mainWindow = mainWindow;
  rec.xso = in.xso;
  rec.yso = in.yso;
  rec.xre = in.xre;
  rec.yre = in.yre;
  rec.inputs = fingerprint(in, room);
  const PolarComputation computed = computePolarLevels(in);
  if (computed.refusal) {
    rec.refusal = *computed.refusal;
  } else {
    rec.figures = echogramFigures(computed.levels, in.order);
    const hearing::ResponseInputs heard = responseInputs(in, rec.figures, room);
    const hearing::ImpulseResponse ir = hearing::impulseResponse(heard);
    rec.decay = hearing::decayFigures(ir.samples, ir.sampleRate, 0.001, ir.depthDb);
    rec.transitionMs = (ir.transitionSeconds - heard.directSeconds) * 1000;
  }
  return rec;
}

}  // namespace

void echogram(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle main = document::currentMainWindow(rt);
  const PolarInputs in = readPolarInputs(rt, main);
  EchogramRecord rec = compute(main, in, document::roomAcoustics(rt, main));
  if (!rec.refusal.empty()) {
    rt.console(rec.refusal);
    rt.ui().beep();
    return;
  }
  Handle fig = platform::kNoHandle;
  for (Handle f : echogramWindows(g)) {
    if (const auto* r = recordOf(g, f); r && r->mainWindow == main) fig = f;
  }
  if (fig == platform::kNoHandle) {
    fig = makeWindow(rt);
  } else if (const auto* old = recordOf(g, fig)) {
    rec.dryChoice = old->dryChoice;
    rec.dryPath = old->dryPath;
  }
  draw(rt, fig, rec);
  g.setCurrentFigure(fig);
}

void refreshEchograms(Runtime& rt, Handle mainWindow) {
  Graphics& g = rt.graphics();
  const Handle current = g.currentFigure();
  for (Handle fig : echogramWindows(g)) {
    const EchogramRecord* old = recordOf(g, fig);
    if (old == nullptr || !g.exists(old->mainWindow) || !document::isMainWindow(rt, old->mainWindow))
      continue;
    if (mainWindow != platform::kNoHandle && old->mainWindow != mainWindow) continue;
    const PolarInputs in = readPolarInputs(rt, old->mainWindow);
    const document::RoomAcoustics room = document::roomAcoustics(rt, old->mainWindow);
    const std::vector<double> now = fingerprint(in, room);
    const bool same = now.size() == old->inputs.size() &&
                      std::equal(now.begin(), now.end(), old->inputs.begin(), [](double a, double b) {
                        return a == b || (std::isnan(a) && std::isnan(b));
                      });
    if (same) continue;
    EchogramRecord rec = compute(old->mainWindow, in, room);
    rec.dryChoice = old->dryChoice;
    rec.dryPath = old->dryPath;
    draw(rt, fig, rec);
  }
  if (current != platform::kNoHandle && g.exists(current)) g.setCurrentFigure(current);
}

void echogramshowarrival(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle bar = rt.callbackObject();
  if (bar == platform::kNoHandle || !g.exists(bar)) return;
  const Handle fig = g.figureOf(bar);
  const EchogramRecord* rec = recordOf(g, fig);
  if (rec == nullptr || g.at(fig).text("selectiontype") != "normal") return;
  const auto data = g.at(bar).userdata();
  if (!data) return;
  const Value index = data->toValue();
  if (!index.isScalar()) return;
  const auto k = static_cast<std::size_t>(index.scalar());
  if (k < 1 || k > rec->figures.arrivals.size()) return;
  const Arrival arrival = rec->figures.arrivals[k - 1];
  const Handle mainWindow = rec->mainWindow;
  for (Handle info : g.findobj(fig, tags::kEchogramInfo)) g.setText(info, "string", arrivalText(arrival));

  if (arrival.direct || !g.exists(mainWindow) || !document::isMainWindow(rt, mainWindow)) return;
  const std::vector<Handle> walls = document::wallsInWallOrder(rt, mainWindow);
  // The walls of the path in turn, first wall first (the one wall of a first-order arrival).
  const std::span<const int> path =
      arrival.order > 1 ? std::span<const int>(arrival.walls) : std::span<const int>(&arrival.wall, 1);
  const double seconds = path.size() > 1 ? 0.5 : 1;
  for (int number : path) {
    if (number < 1 || static_cast<std::size_t>(number) > walls.size()) return;
    const Handle wall = walls[static_cast<std::size_t>(number) - 1];
    // The wall may have gone meanwhile (a rebuild during the pause).
    if (!g.exists(wall)) return;
    const Value colour = g.get(wall, "color");
    const Value width = g.get(wall, "linewidth");
    g.setText(wall, "color", "r");
    g.setNumber(wall, "linewidth", 1.5);
    rt.ui().pause(seconds);
    if (!g.exists(wall)) return;
    g.set(wall, "linewidth", width);
    g.set(wall, "color", colour);
  }
}

Handle echogramOfCall(Runtime& rt) {
  Graphics& g = rt.graphics();
  Handle fig = rt.callbackFigure();
  if (!isEchogramWindow(g, fig)) fig = g.currentFigure();
  // Called as a verb from a script while the main window is current: that window's echogram.
  if (!isEchogramWindow(g, fig)) {
    fig = platform::kNoHandle;
    if (const auto main = document::findMainWindow(rt)) {
      for (Handle f : echogramWindows(g)) {
        if (const auto* r = recordOf(g, f); r && r->mainWindow == *main) fig = f;
      }
    }
  }
  return fig;
}

void echogramexport(Runtime& rt, const std::optional<std::string>& path) {
  Graphics& g = rt.graphics();
  const Handle fig = echogramOfCall(rt);
  const EchogramRecord* rec = recordOf(g, fig);
  if (rec == nullptr) throw Error(std::string(kNoEchogram));
  // The arrivals table of batch runs (docs/arrivals-csv.md), computed for the main window this
  // echogram follows; a refused diagram gives its reason and writes nothing.
  const Handle mainWindow = rec->mainWindow;
  const char* title = "Export echogram arrivals";
  if (!g.exists(mainWindow) || !document::isMainWindow(rt, mainWindow)) {
    // The window still shows its last echogram: its user is told in a box (a refusal the window shows).
    writeExport(rt, path, title, [] { throw Error("the main window of this echogram is closed: nothing to export"); });
  }
  const std::string csv = arrivalsCsv(rt, mainWindow);
  const auto file = savePath(rt, path, "*.csv", title, "arrivals.csv");
  if (!file) return;
  writeExport(rt, path, title, [&] { platform::writeTextFile(*file, csv); });
}

}  // namespace velmora::polar
