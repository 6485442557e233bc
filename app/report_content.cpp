// What a report says about a case: gathered from the main window and its polar diagram as text.

#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>

#include "app/report.h"
#include "document/room_acoustics.h"
#include "document/tags.h"
#include "document/window.h"
#include "engine/kinds.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "polar/echogram.h"
#include "polar/polar.h"
#include "polar/room_acoustics.h"
#include "shell/wall_menu.h"

namespace velmora::app {

using platform::Handle;

namespace {

// Fixed decimals, so the columns of a table line up; "-0.0" reads as "0.0".
std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  std::string s = buffer;
  if (s.starts_with('-') && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

std::string seenFromSource(const std::optional<std::vector<int>>& iwv, std::size_t wall) {
  // Without visibility classes (a convex room) every wall is seen whole.
  switch (engine::wallVisibility(iwv, wall)) {
    case engine::WallVisibility::Hidden:
      return "no";
    case engine::WallVisibility::SeenInPart:
      return "in part";
    case engine::WallVisibility::SourceOnEndVertex:
      return "yes, from its end";
    case engine::WallVisibility::SeenWhole:
      break;
  }
  return "yes";
}

// The direction a sound arrives from at the receptor, as the diagram draws it: degrees from +x,
// counter-clockwise, 0 to 360.
double direction(double xq, double yq, double xre, double yre) {
  const double d = std::atan2(yq - yre, xq - xre) * 180 / std::numbers::pi;
  return d < 0 ? d + 360 : d;
}

std::string point(double x, double y) {
  // Appended piece by piece: GCC 12's -Wrestrict misreads string + string temporaries at -O3.
  std::string text = "(";
  text += polar::shown(x, 0.01);
  text += ", ";
  text += polar::shown(y, 0.01);
  text += ") m";
  return text;
}

ReportTable wallTable(const platform::Runtime& rt, Handle fig, const std::optional<std::vector<int>>& iwv) {
  ReportTable t;
  t.header = {"wall", "length (m)", "angle (°)", "absorption (%)", "seen from the source"};
  const engine::Walls walls = document::wallGeometry(rt, fig);
  const std::vector<double> alpha = document::wallAbsorptions(rt, fig);
  for (std::size_t i = 0; i < walls.size(); ++i) {
    const auto& w = walls[i];
    const shell::WallInfo info = shell::wallInfo(w.x1, w.y1, w.x2, w.y2, i < alpha.size() ? alpha[i] : 0.0);
    // The table shows the numbers the wall's menu shows.
    t.rows.push_back({std::to_string(i + 1), info.lengthNumber, info.angleNumber, info.absorptionNumber,
                      seenFromSource(iwv, i)});
  }
  return t;
}

// The room acoustics window's table and summary, with the materials the room has.
void acousticsSection(const platform::Runtime& rt, Handle fig, ReportContent& c) {
  const document::RoomAcoustics room = document::roomAcoustics(rt, fig);
  auto rows = polar::roomAcousticsTable(room);
  c.acoustics.header = rows.front();
  c.acoustics.rows.assign(rows.begin() + 1, rows.end());
  // "absorption (m²)" is wider than the default second column and ran into "mean alpha".
  c.acoustics.columns = {0.2, 0.2, 0.16, 0.18, 0.26};
  std::size_t withMaterial = 0;
  for (const auto& name : room.wallMaterials) withMaterial += name.empty() ? 0 : 1;
  const auto surface = [](const std::optional<document::SurfaceMaterial>& m) {
    return m ? (m->name.empty() ? std::string("own bands") : m->name) : std::string("as the walls on average");
  };
  c.acousticsNotes = {polar::roomAcousticsSummary(room),
                      "walls with a material of their own: " + std::to_string(withMaterial) + " of " +
                          std::to_string(room.walls.size()) + " (the others absorb their absorption in every band)",
                      "floor: " + surface(room.floorMaterial), "ceiling: " + surface(room.ceilingMaterial)};
}

ReportTable arrivalTable(const polar::PolarInputs& in, const polar::PolarLevels& L) {
  ReportTable t;
  t.header = {"wall", "level (dB)", "delay (ms)", "direction (°)", "from the direct sound (°)"};
  t.rows.push_back({L.isov != 0 ? "direct" : "direct (blocked)", fixed(L.Lso, 1), fixed(0, 1),
                    fixed(direction(in.xso, in.yso, in.xre, in.yre), 1), fixed(0, 1)});
  for (std::size_t i = 0; i < L.Lwall.size(); ++i) {
    if (std::isnan(L.Lwall[i]) || i >= in.images.size()) continue;
    const auto& image = in.images[i];
    t.rows.push_back({std::to_string(i + 1), fixed(L.Lwall[i], 1),
                      fixed(i < L.dela.size() ? L.dela[i] : NAN, 1),
                      fixed(direction(image.xi, image.yi, in.xre, in.yre), 1),
                      fixed(i < L.ang.size() ? L.ang[i] : NAN, 1)});
  }
  return t;
}

// Above order 1: every arrival of the echogram, by delay, each with the walls of its path and its order,
// as the echogram names them ("3, 5"), and the direction of its image source.
ReportTable pathTable(const polar::PolarInputs& in, const polar::PolarLevels& L) {
  ReportTable t;
  t.header = {"walls", "order", "level (dB)", "delay (ms)", "direction (°)", "from the direct sound (°)"};
  t.columns = {0.22, 0.08, 0.13, 0.13, 0.15, 0.29};
  for (const polar::Arrival& a : polar::echogramFigures(L, in.order).arrivals) {
    if (a.direct) {
      t.rows.push_back({a.blocked ? "direct (blocked)" : "direct", "0", fixed(a.levelDb, 1), fixed(0, 1),
                        fixed(direction(in.xso, in.yso, in.xre, in.yre), 1), fixed(0, 1)});
      continue;
    }
    std::string walls;
    for (int w : a.walls) walls += (walls.empty() ? "" : ", ") + std::to_string(w);
    double towards = NAN;
    if (a.path >= 0 && static_cast<std::size_t>(a.path) < L.higher.size()) {
      const engine::Point& image = L.higher[static_cast<std::size_t>(a.path)].image;
      towards = direction(image.x, image.y, in.xre, in.yre);
    } else if (a.wall >= 1 && static_cast<std::size_t>(a.wall) <= in.images.size()) {
      const auto& image = in.images[static_cast<std::size_t>(a.wall) - 1];
      towards = direction(image.xi, image.yi, in.xre, in.yre);
    }
    t.rows.push_back({walls, std::to_string(a.order), fixed(a.levelDb, 1), fixed(a.delayMs, 1), fixed(towards, 1),
                      fixed(a.angleDeg, 1)});
  }
  return t;
}

bool isPolarWindow(const platform::Graphics& g, Handle fig) {
  return g.exists(fig) && platform::equalsIgnoreCase(g.at(fig).tag(), tags::kPolarWindow);
}

}  // namespace

std::string todaysDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[16];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &local);
  return buffer;
}

ReportContent gatherReport(platform::Runtime& rt, const document::Operations& ops, Handle fig,
                           const std::string& date) {
  ReportContent c;
  const document::CaseRecord record = document::readCase(rt, fig);
  c.caseName = record.name;
  c.date = date;
  c.version = VELMORA_VERSION;
  c.plan = fig;
  const polar::PolarInputs in = polar::readPolarInputs(rt, fig);
  c.planNote =
      "source " + point(in.xso, in.yso) + ", " + platform::formatNumber(record.Lw) + " dB;  receptor " +
      point(in.xre, in.yre) + ";  the map shows " +
      (platform::equalsIgnoreCase(record.displayvalue, "decibel") ? "the sound level in dB"
                                                                  : "the number of reflections heard");
  c.walls = wallTable(rt, fig, record.iwv);
  acousticsSection(rt, fig, c);

  // The diagram's own refusal ("receptor is outside room ...") is what the report says instead.
  const polar::PolarComputation computed = polar::computePolarLevels(in);
  if (computed.refusal) {
    c.polarNote = "No polar diagram: " + *computed.refusal;
    return c;
  }
  platform::Graphics& g = rt.graphics();
  g.setCurrentFigure(fig);
  ops.call(rt, "polardiagram", {});
  const Handle polarWindow = g.currentFigure();
  if (polarWindow == fig || !isPolarWindow(g, polarWindow)) throw Error("the polar diagram did not open");
  c.polar = polarWindow;
  g.setCurrentFigure(fig);
  const polar::PolarLevels& L = computed.levels;
  c.polarNote = "total " + fixed(L.LTa, 1) + " dB,  direct " + fixed(L.Lso, 1) + " dB" +
                (L.isov != 0 ? "" : " (blocked)") + ",  reflected " + fixed(L.LT, 1) + " dB;  " +
                std::to_string(L.reflections()) + (L.reflections() == 1 ? " reflection" : " reflections") +
                ";  receptor height offset " + polar::shown(in.Hr, 0.01) + " m";
  if (in.order > 1) {
    c.arrivalsHeading += ": reflections up to order " + std::to_string(in.order);
    c.arrivals = pathTable(in, L);
  } else {
    c.arrivals = arrivalTable(in, L);
  }
  return c;
}

}  // namespace velmora::app
