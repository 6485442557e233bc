// The room acoustics window: a plot of the reverberation times per octave band, the table beneath it
// and the buttons that set the room's height and its floor's and ceiling's materials. It follows its
// main window.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "document/drawing_objects.h"
#include "document/materials.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/files/csv.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "polar/room_acoustics.h"
#include "polar/window_parts.h"

namespace velmora::polar {

using document::createObject;
using document::RoomAcoustics;
using document::SurfaceMaterial;
using platform::Graphics;
using platform::Handle;
using platform::ObjectType;
using platform::Runtime;
using platform::Value;

namespace {

constexpr double kWidth = 600, kHeight = 500;
constexpr const char* kCanceled = "canceled";

struct RoomAcousticsRecord : platform::UserData {
  Handle mainWindow = platform::kNoHandle;
  RoomAcoustics room;
  std::vector<double> inputs;  // what the figures were computed from, to skip needless redraws

  Value toValue() const override {
    platform::Record r;
    r.set("mainwindow", Value::handle(mainWindow));
    r.set("planarea", room.planArea);
    r.set("height", room.height);
    r.set("volume", room.reverberation.volume);
    const auto row = [](const engine::BandValues& b) { return Value::row({b.begin(), b.end()}); };
    r.set("absorption", row(room.reverberation.absorption));
    r.set("sabine", row(room.reverberation.sabine));
    r.set("eyring", row(room.reverberation.eyring));
    return Value(std::move(r));
  }
};

bool isRoomAcousticsWindow(const Graphics& g, Handle fig) {
  return fig != platform::kNoHandle && g.exists(fig) && g.at(fig).type() == ObjectType::Figure &&
         g.at(fig).tag() == tags::kRoomAcousticsWindow;
}

const RoomAcousticsRecord* recordOf(const Graphics& g, Handle fig) {
  return isRoomAcousticsWindow(g, fig) ? g.at(fig).userdataAs<RoomAcousticsRecord>() : nullptr;
}

std::vector<Handle> roomAcousticsWindows(const Graphics& g) {
  std::vector<Handle> out;
  for (Handle f : g.figures())
    if (isRoomAcousticsWindow(g, f)) out.push_back(f);
  return out;
}

std::vector<double> fingerprint(const RoomAcoustics& room) {
  std::vector<double> v{room.height};
  for (const auto& w : room.walls) v.insert(v.end(), {w.x1, w.y1, w.x2, w.y2});
  for (const auto& b : room.wallBands) v.insert(v.end(), b.begin(), b.end());
  v.insert(v.end(), room.floor.begin(), room.floor.end());
  v.insert(v.end(), room.ceiling.begin(), room.ceiling.end());
  // The names show in the window too.
  for (const auto& name : room.wallMaterials)
    v.push_back(static_cast<double>(std::hash<std::string>{}(name)));
  for (const auto* m : {&room.floorMaterial, &room.ceilingMaterial})
    v.push_back(*m ? static_cast<double>(std::hash<std::string>{}((*m)->name)) : -1.0);
  return v;
}

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

std::string surfaceText(const char* what, const std::optional<SurfaceMaterial>& m) {
  if (!m) return std::string(what) + ": as the walls on average";
  return std::string(what) + ": " + (m->name.empty() ? std::string("own bands") : m->name);
}

Handle makeWindow(Runtime& rt) {
  return makeFixedWindow(rt, tags::kRoomAcousticsWindow, "VELMORA - Room acoustics", kWidth, kHeight);
}

Handle text(Graphics& g, Handle axes, const Value& s, double x, double y, const char* halign,
            const char* valign, double size, const char* tag = "") {
  return placeText(g, axes, s, x, y, "normalized", halign, valign, size, tag);
}

void button(Graphics& g, Handle fig, double x, double width, const char* label, const char* tip,
            const char* tag, const char* verb) {
  bottomButton(g, fig, x, width, label, tip, tag, std::string("velmoracopy('") + verb + "')");
}

void draw(Runtime& rt, Handle fig, RoomAcousticsRecord rec) {
  Graphics& g = rt.graphics();
  for (Handle h : g.at(fig).children())
    if (g.exists(h)) g.remove(h);
  button(g, fig, 1, 60, "height...", "Set the room's height", tags::kRoomAcousticsHeight, "roomheight");
  button(g, fig, 63, 60, "floor...", "Choose the floor's material", tags::kRoomAcousticsFloor,
         "floormaterial");
  button(g, fig, 125, 60, "ceiling...", "Choose the ceiling's material", tags::kRoomAcousticsCeiling,
         "ceilingmaterial");
  button(g, fig, 187, 50, "export", "Export the table as CSV", tags::kRoomAcousticsExport,
         "roomacousticsexport");

  const RoomAcoustics& room = rec.room;
  const auto& rv = room.reverberation;
  double top = 0;
  std::vector<double> sabine, eyring, x;
  for (std::size_t b = 0; b < engine::kBandCount; ++b) {
    x.push_back(static_cast<double>(b + 1));
    const auto finite = [](double t) { return std::isfinite(t) ? t : NAN; };
    sabine.push_back(finite(rv.sabine[b]));
    eyring.push_back(finite(rv.eyring[b]));
    if (std::isfinite(rv.sabine[b])) top = std::max(top, rv.sabine[b]);
    if (std::isfinite(rv.eyring[b])) top = std::max(top, rv.eyring[b]);
  }
  // A round top: 0.5 s steps up to 5 s, whole seconds beyond.
  const double step = top > 5 ? std::ceil(top / 5) : 0.5;
  top = top > 0 ? step * std::ceil(top * 1.1 / step) : 1;
  std::vector<double> yticks;
  for (double t = 0; t <= top + 1e-9; t += step) yticks.push_back(t);
  platform::List labels;
  for (std::size_t b = 0; b < engine::kBandCount; ++b) labels.items.emplace_back(bandLabel(b));

  const Handle ax = createObject(g, ObjectType::Axes, fig,
                                 {{"units", "normalized"},
                                  {"position", Value::row({0.12, 0.47, 0.83, 0.40})},
                                  {"tag", tags::kRoomAcousticsAxes},
                                  {"box", "on"},
                                  {"xlim", Value::row({0.5, 6.5})},
                                  {"ylim", Value::row({0, top})},
                                  {"xtick", Value::row(x)},
                                  {"xticklabel", Value(std::move(labels))},
                                  {"ytick", Value::row(yticks)},
                                  {"ygrid", "on"},
                                  {"fontsize", 8.0},
                                  {"nextplot", "add"}});
  text(g, ax, Value("octave band (Hz)"), 0.5, -0.1, "center", "top", 8);
  const Handle ylabel = text(g, ax, Value("reverberation time (s)"), -0.09, 0.5, "center", "bottom", 8);
  g.setNumber(ylabel, "rotation", 90);
  createObject(g, ObjectType::Line, ax,
               {{"xdata", Value::row(x)},
                {"ydata", Value::row(sabine)},
                {"color", "b"},
                {"marker", "o"},
                {"linewidth", 1.5},
                {"tag", tags::kRoomAcousticsSabine}});
  createObject(g, ObjectType::Line, ax,
               {{"xdata", Value::row(x)},
                {"ydata", Value::row(eyring)},
                {"color", "r"},
                {"marker", "s"},
                {"linestyle", "--"},
                {"linewidth", 1.5},
                {"tag", tags::kRoomAcousticsEyring}});
  g.setText(text(g, ax, Value("Sabine"), 0.02, 1.01, "left", "bottom", 8), "color", "b");
  g.setText(text(g, ax, Value("Eyring"), 0.98, 1.01, "right", "bottom", 8), "color", "r");
  text(g, ax, Value(roomAcousticsSummary(room)), 0.5, 1.1, "center", "bottom", 8,
       tags::kRoomAcousticsSummary);

  // The table, one column per band: each figure a text of its own, right-aligned on its column, so
  // the columns line up in any font and on paper.
  const auto table = roomAcousticsTable(room);
  for (std::size_t c = 0; c < table.front().size(); ++c) {
    const double y = -0.2 - 0.075 * static_cast<double>(c);
    text(g, ax, Value(table.front()[c]), -0.1, y, "left", "top", 8, tags::kRoomAcousticsTable);
    for (std::size_t r = 1; r < table.size(); ++r) {
      const Handle cell = text(g, ax, Value(table[r][c]), 0.3 + 0.125 * static_cast<double>(r - 1), y,
                               "right", "top", 8, tags::kRoomAcousticsTable);
      if (c == 0) g.setText(cell, "fontweight", "bold");
    }
  }

  std::size_t withMaterial = 0;
  for (const auto& name : room.wallMaterials)
    if (!name.empty()) ++withMaterial;
  platform::List surfaces;
  surfaces.items.emplace_back("walls with a material: " + std::to_string(withMaterial) + " of " +
                              std::to_string(room.walls.size()) +
                              " (the others absorb their absorption in every band)");
  surfaces.items.emplace_back(surfaceText("floor", room.floorMaterial) + ";  " +
                              surfaceText("ceiling", room.ceilingMaterial));
  text(g, ax, Value(std::move(surfaces)), -0.1, -0.62, "left", "top", 8, tags::kRoomAcousticsSurfaces);
  g.setUserdata(fig, std::move(rec));
}

RoomAcousticsRecord compute(const Runtime& rt, Handle mainWindow) {
  RoomAcousticsRecord rec;
  rec.mainWindow = mainWindow;
  rec.room = document::roomAcoustics(rt, mainWindow);
  rec.inputs = fingerprint(rec.room);
  return rec;
}

// The main window a button of the window acts on: the one the calling window follows, else the current.
// A window whose main window is closed acts on none: another main window's room is not its own.
Handle targetMainWindow(Runtime& rt) {
  const Graphics& g = rt.graphics();
  if (const auto* rec = recordOf(g, rt.callbackFigure())) {
    if (g.exists(rec->mainWindow) && document::isMainWindow(rt, rec->mainWindow)) return rec->mainWindow;
    const std::string why = "the main window of this room acoustics window is closed: nothing to change";
    rt.ui().message(platform::MessageKind::Error, why, "Room acoustics");
    throw Error(why);
  }
  return document::currentMainWindow(rt);
}

// Nothing changed: the mark goes to the current window, where the verb looks for it (this window
// when its button was pressed, the main window when called from a script).
void cancel(Runtime& rt, Handle /*mainWindow*/) {
  Graphics& g = rt.graphics();
  const Handle current = g.currentFigure();
  if (current != platform::kNoHandle && g.exists(current))
    g.setGuiData(current, Value(std::string(kCanceled)));
}

// The floor's or the ceiling's material from the library's list; "none" takes it back to the walls' mean.
void chooseSurfaceMaterial(Runtime& rt, bool floor) {
  const Handle main = targetMainWindow(rt);
  const auto* loaded = document::materialLibraryIfLoaded();
  if (loaded == nullptr) {
    rt.ui().message(platform::MessageKind::Error, document::materialLibraryProblem(),
                    floor ? "Floor material" : "Ceiling material");
    cancel(rt, main);
    return;
  }
  const auto& library = *loaded;
  const auto& record = document::viewCase(rt, main);
  const std::optional<SurfaceMaterial> before = floor ? record.floor : record.ceiling;
  platform::ListDialog dialog;
  dialog.title = floor ? "Floor material" : "Ceiling material";
  dialog.prompt = std::string(floor ? "Material of the floor" : "Material of the ceiling") + " (\"" +
                  std::string(document::kNoMaterial) + "\": as the walls on average):";
  dialog.items.emplace_back(document::kNoMaterial);
  for (const auto& m : library.materials()) dialog.items.push_back(m.name);
  dialog.initial = before ? before->name : std::string(document::kNoMaterial);
  const auto choice = rt.ui().choose(dialog);
  std::optional<SurfaceMaterial> after;
  if (choice && *choice != document::kNoMaterial) {
    const auto* m = library.find(*choice);
    if (m == nullptr) throw Error("unknown material \"" + *choice + "\"");
    after = SurfaceMaterial{m->name, m->absorption};
  }
  if (!choice || after == before) {
    cancel(rt, main);
    return;
  }
  document::changeCase(rt, main, [&](document::CaseRecord& r) { (floor ? r.floor : r.ceiling) = after; });
}

}  // namespace

std::string bandLabel(std::size_t band) {
  const double hz = engine::kBandCentresHz[band];
  return hz >= 1000 ? platform::formatNumber(hz / 1000) + "k" : platform::formatNumber(hz);
}

std::string shownFigure(double value, int decimals) {
  return std::isfinite(value) ? fixed(value, decimals) : std::string("inf");
}

std::vector<std::vector<std::string>> roomAcousticsTable(const RoomAcoustics& room) {
  const auto& rv = room.reverberation;
  std::vector<std::vector<std::string>> rows{
      {"band (Hz)", "absorption (m²)", "mean alpha", "Sabine T (s)", "Eyring T (s)"}};
  for (std::size_t b = 0; b < engine::kBandCount; ++b) {
    rows.push_back({bandLabel(b), shownFigure(rv.absorption[b], 1), shownFigure(rv.meanAbsorption[b], 3),
                    shownFigure(rv.sabine[b], 2), shownFigure(rv.eyring[b], 2)});
  }
  return rows;
}

std::string roomAcousticsSummary(const RoomAcoustics& room) {
  return "plan " + fixed(room.planArea, 1) + " m²   height " + platform::formatNumber(room.height) +
         " m   volume " + fixed(room.reverberation.volume, 1) + " m³   surfaces " +
         fixed(room.reverberation.surfaceArea, 1) + " m²";
}

std::string roomAcousticsCsv(const RoomAcoustics& room, const std::string& caseName) {
  platform::CsvTable csv;
  csv.comment("room acoustics of " + caseName + ": plan area " + platform::csvNumber(room.planArea, 3) +
              " m2, height " + platform::csvNumber(room.height, 3) + " m, volume " +
              platform::csvNumber(room.reverberation.volume, 3) + " m3, surfaces " +
              platform::csvNumber(room.reverberation.surfaceArea, 3) + " m2; empty times: nothing absorbs");
  csv.row({"band_hz", "absorption_m2", "mean_alpha", "sabine_s", "eyring_s"});
  const auto& rv = room.reverberation;
  for (std::size_t b = 0; b < engine::kBandCount; ++b) {
    csv.row({platform::csvNumber(engine::kBandCentresHz[b], 0), platform::csvNumber(rv.absorption[b], 4),
             platform::csvNumber(rv.meanAbsorption[b], 6), platform::csvNumber(rv.sabine[b], 4),
             platform::csvNumber(rv.eyring[b], 4)});
  }
  return csv.text();
}

void roomacoustics(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle main = document::currentMainWindow(rt);
  Handle fig = platform::kNoHandle;
  for (Handle f : roomAcousticsWindows(g))
    if (const auto* r = recordOf(g, f); r && r->mainWindow == main) fig = f;
  if (fig == platform::kNoHandle) fig = makeWindow(rt);
  draw(rt, fig, compute(rt, main));
  g.setCurrentFigure(fig);
}

void refreshroomacoustics(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle current = g.currentFigure();
  for (Handle fig : roomAcousticsWindows(g)) {
    const RoomAcousticsRecord* old = recordOf(g, fig);
    if (old == nullptr || !g.exists(old->mainWindow) || !document::isMainWindow(rt, old->mainWindow))
      continue;
    // A view that cannot follow (a main window caught half rebuilt) keeps its last picture.
    try {
      RoomAcousticsRecord now = compute(rt, old->mainWindow);
      if (now.inputs == old->inputs) continue;
      draw(rt, fig, std::move(now));
    } catch (const Error&) {
    }
  }
  if (current != platform::kNoHandle && g.exists(current)) g.setCurrentFigure(current);
}

void roomheight(Runtime& rt) {
  const Handle main = targetMainWindow(rt);
  const double before = document::viewCase(rt, main).roomheight.value_or(document::kDefaultRoomHeight);
  const auto answer =
      rt.ui().input({{"Room height (m):"}, "Room acoustics", 1, {platform::formatNumber(before)}});
  if (!answer || answer->empty() || answer->front().empty()) {
    cancel(rt, main);
    return;
  }
  const auto typed = platform::readNumbers(answer->front());
  if (!typed || typed->size() != 1 || !(typed->front() > 0 && typed->front() <= document::kHighestRoom)) {
    rt.ui().message(platform::MessageKind::Error,
                    "The room height must be a number above 0 and at most " +
                        platform::formatNumber(document::kHighestRoom) + " m.",
                    "Room acoustics");
    cancel(rt, main);
    return;
  }
  const double after = typed->front();
  if (after == before) {
    cancel(rt, main);
    return;
  }
  // The default height is kept as no height at all, so the case file stays as it was.
  document::changeCase(rt, main, [&](document::CaseRecord& r) {
    r.roomheight = after == document::kDefaultRoomHeight ? std::nullopt : std::optional<double>(after);
  });
}

void floormaterial(Runtime& rt) {
  chooseSurfaceMaterial(rt, true);
}

void ceilingmaterial(Runtime& rt) {
  chooseSurfaceMaterial(rt, false);
}

void roomacousticsexport(Runtime& rt, const std::optional<std::string>& path) {
  const Handle main = targetMainWindow(rt);
  const RoomAcoustics room = document::roomAcoustics(rt, main);
  const std::string csv = roomAcousticsCsv(room, document::viewCase(rt, main).name);
  const char* title = "Export room acoustics";
  const auto file = savePath(rt, path, "*.csv", title, "room-acoustics.csv");
  if (!file) return;
  writeExport(rt, path, title, [&] { platform::writeTextFile(*file, csv); });
}

void registerRoomAcousticsOperations(document::Operations& ops) {
  using document::makeOperation;
  using document::withoutArguments;
  ops.add(makeOperation("roomacoustics", 0, 0, withoutArguments(roomacoustics)));
  ops.add(makeOperation("refreshroomacoustics", 0, 0, withoutArguments(refreshroomacoustics)));
  ops.add(makeOperation("roomheight", 0, 0, withoutArguments(roomheight)));
  ops.add(makeOperation("floormaterial", 0, 0, withoutArguments(floormaterial)));
  ops.add(makeOperation("ceilingmaterial", 0, 0, withoutArguments(ceilingmaterial)));
  ops.add(makeOperation("roomacousticsexport", 1, 0,
                        [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                          if (!args.empty() && args[0].isText()) {
                            roomacousticsexport(rt, args[0].text());
                          } else {
                            roomacousticsexport(rt);
                          }
                          return {};
                        }));
}

}  // namespace velmora::polar
