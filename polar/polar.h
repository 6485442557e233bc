#pragma once
// The polar diagram of what the receptor hears: the direct sound and one first-order reflection per
// wall, each drawn as a radius pointing where the sound comes from, and the tools of its window
// (value labels, wall flashing, dB limits).

#include <optional>
#include <string>
#include <vector>

#include "document/operations.h"
#include "engine/beams.h"
#include "engine/geometry.h"
#include "engine/images.h"
#include "platform/model/graphics.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::polar {

using platform::Handle;
using platform::Runtime;

inline constexpr double kSoundSpeed = 340.0;  // m/s

// Everything the levels are computed from, read from a main window.
struct PolarInputs {
  engine::Walls walls;        // wall order 1..N
  std::vector<double> alpha;  // percent, one per wall
  double xso = 0, yso = 0, xre = 0, yre = 0;
  double Lw = 100;                          // dB re 1e-12 W
  double Hr = 0;                            // receptor height offset, m
  std::vector<engine::ImageRecord> images;  // one per wall (missing ones give no reflection)
  std::vector<double> diffcoef;             // one per wall (missing ones count 1)
  bool convex = true;
  engine::Walls visible;  // seen part of each wall (missing rows: the whole wall)
  // Above order 1 the paths of orders 2..order arrive too; the beams follow the curves as the map does.
  int order = 1;
  std::vector<engine::Curve> curves;
  bool diffusion = true;
};

// What arrives at the receptor. Per-wall arrays are indexed by wall number - 1.
struct PolarLevels {
  int isov = 1;  // the direct sound is not blocked
  double rso = 1, Pso = 0, PT = 0;
  double Lso = 0, LT = 0, LTa = 0;
  std::vector<int> irecv;
  std::vector<double> Pwall, rref, Lwall, dela, ang;
  int received = 0;  // walls with irecv = 1
  double Lmin = 0;   // automatic lower limit of the diagram, dB
  double Lmax = 0;   // automatic range (upper limit minus lower limit), dB
  // Above order 1: the paths of orders 2..N that reach the receptor with some energy, order by order
  // (their energies count in PT, LT and LTa, their levels in Lmin).
  std::vector<engine::PathArrival> higher;
  // Every reflection that arrives: `received` and the higher-order paths.
  std::size_t reflections() const { return static_cast<std::size_t>(received) + higher.size(); }
};

// The levels at the receptor; the console message that refuses the diagram when the receptor is
// closer than 1 m to the source or outside the room.
struct PolarComputation {
  std::optional<std::string> refusal;
  PolarLevels levels;
};
PolarComputation computePolarLevels(const PolarInputs& in);

// The inputs of a main window: its drawing and its case record.
PolarInputs readPolarInputs(const Runtime& rt, Handle mainWindow);

// Rounding as shown to the user: to multiples of `step` (0.1, 0.01, 1), halves away from zero.
double roundTo(double v, double step);
// The shortest text of v rounded to `step`.
std::string shown(double v, double step);

// The record of an arrow's "print" menu items.
struct PrintRecord : platform::UserData {
  std::string hal, val;  // alignment away from the centre
  std::string Lp, ang, dela;
  double xe = 0, ye = 0;  // arrow tip in polar-axes units
  Handle ax = platform::kNoHandle;
  platform::Value toValue() const override;
};

// The record of the "change dB limits" menu item.
struct LimitsRecord : platform::UserData {
  Handle ht = platform::kNoHandle;  // information text
  std::vector<engine::ImageRecord> imag1;
  double xso = 0, yso = 0, xre = 0, yre = 0;
  double Lmax = 0;  // upper limit, dB
  double Lmin = 0;  // lower limit, dB
  double Lw = 0;
  std::vector<double> Lwall;  // NaN where no reflection arrives
  double Lso = 0;
  std::vector<Handle> hra;  // arrow of each wall, kNoHandle where none is drawn
  Handle hdi = platform::kNoHandle, hdie = platform::kNoHandle;
  Handle ax = platform::kNoHandle;
  platform::Value toValue() const override;
};

// Refresh-mode arguments of `polardiagram`.
struct RefreshRequest {
  Handle figure = platform::kNoHandle;      // an existing polar window
  Handle mainWindow = platform::kNoHandle;  // the main window whose case is shown
  std::vector<double> level;                // empty or [low, high] dB
  std::vector<double> xpa, ypa;             // the path drawn in the room miniature, or empty
};

// Interactive: a new polar window for the current main window (left current). Refresh: redraws the
// given polar window; returns at once when it is not one.
void polardiagram(Runtime& rt, const std::optional<RefreshRequest>& refresh = std::nullopt);

// Tools of the interactive window, acting on the callback object.
void polardiagprint(Runtime& rt);
void movepolarlabel(Runtime& rt, const std::string& mode);  // "move" or "end", ignoring case
void polardiagshowwall(Runtime& rt);
void changedblimits(Runtime& rt);

// Spokes, circles and circle labels of a diagram of this range above `lower`, tagged "polaraxes".
void drawPolarGrid(platform::Graphics& g, Handle axes, double range, double lower);

void registerPolarOperations(document::Operations& ops);

}  // namespace velmora::polar
