#pragma once
// The echogram: every first-order arrival at the receptor as a bar at its delay with its level, the
// initial time delay gap and the early-energy figures D50 and C80 of those arrivals; and the echo
// risk overlay of the audience map.

#include <optional>
#include <string>
#include <vector>

#include "document/tags.h"
#include "engine/echo_risk.h"
#include "hearing/decay.h"
#include "platform/model/graphics.h"
#include "platform/model/runtime.h"
#include "polar/polar.h"

namespace velmora::polar {

inline constexpr const char* kEchogramTag = tags::kEchogramWindow;

struct Arrival {
  bool direct = false;
  bool blocked = false;  // a direct sound that a wall stops: drawn, but counted nowhere
  int wall = 0;          // 1-based; 0 for the direct sound
  double delayMs = 0;    // after the direct sound
  double levelDb = 0;
  double angleDeg = 0;  // seen from the receptor, between the source and the image
  double energy = 0;    // squared pressure, Pa²
  int order = 1;        // walls on the path (0 for the direct sound)
  std::vector<int> walls = {};  // 1-based, first wall first; `wall` is the first
  int path = -1;                // above the first order: its index in PolarLevels::higher
};

struct EchogramFigures {
  std::vector<Arrival> arrivals;  // by delay; the direct sound first
  std::optional<double> itdgMs;   // first reflection minus direct sound; none without reflections
  std::optional<double> d50;      // percent; none when nothing is heard
  std::optional<double> c80;      // dB; +Inf: no late energy, -Inf: no early energy
  int order = 1;                  // the case's reflection order
};

// From the levels of the polar diagram: the same arrivals, levels, delays and angles (the
// higher-order paths among them above order 1, which ITDG, D50 and C80 count too).
EchogramFigures echogramFigures(const PolarLevels& levels, int order = 1);

// "ITDG = 12.4 ms    D50 = 63.1 %    C80 = 4.2 dB", with "none" and "no late energy" as they apply.
std::string echogramSummary(const EchogramFigures& f);
// The line above the plot: "first-order arrivals only:  " and the summary at order 1,
// "reflections up to order N:  " and the summary above it.
std::string echogramTitle(const EchogramFigures& f);
// A wall-number label above the bars of the first order (higher-order bars go unlabelled). Reflections less
// than 1 ms apart share one ("16, 17, 18", walls in rising order) over the tallest of their bars; a label
// that would cover another label or a bar goes up until it is clear. Its text is centred on `delayMs` and
// stands on `levelDb`.
struct EchogramLabel {
  std::string text;
  double delayMs = 0;
  double levelDb = 0;
  double widthMs = 0;   // the text's width and height in the plot's units
  double heightDb = 0;
};
inline constexpr double kLabelMergeMs = 1;
// `msPerPixel` and `dbPerPixel`: the plot's scale; the labels' text is about 7 pixels high.
std::vector<EchogramLabel> echogramLabels(const std::vector<Arrival>& arrivals, double msPerPixel,
                                          double dbPerPixel);

// The record of an echogram window (its userdata): what it shows and for which main window.
struct EchogramRecord : platform::UserData {
  platform::Handle mainWindow = platform::kNoHandle;
  double xso = 0, yso = 0, xre = 0, yre = 0;
  std::string refusal;  // why nothing is shown (receptor too close or outside), else empty
  EchogramFigures figures;
  std::vector<double> inputs;  // what the figures were computed from, to skip needless redraws
  // The impulse response at the receptor: its decay and figures (all of the response, every order),
  // and where its tail starts after the direct sound.
  hearing::DecayFigures decay;
  double transitionMs = 0;
  // The dry sound "listen" plays: 1 a click, 2 the spoken phrase, 4 the file `dryPath`.
  int dryChoice = 1;
  std::string dryPath;
  platform::Value toValue() const override;
};

// Opens the echogram of the current main window (or brings its open one up to date and to the
// front). Receptor too close or outside the room: the polar diagram's console message and a beep.
void echogram(Runtime& rt);
// Redraws the echogram windows of `mainWindow` (of every main window when none is given) whose
// source, receptor or room changed since they were drawn.
void refreshEchograms(Runtime& rt, Handle mainWindow = platform::kNoHandle);
// A click on a bar: names the arrival under the plot and flashes its wall in the main window (each
// wall of its path in turn, above the first order).
void echogramshowarrival(Runtime& rt);
// Writes the arrivals of the current echogram window to a CSV file chosen in a save dialog, in the
// layout of polar/arrivals_csv.h (the same as a batch run's --polar).
void echogramexport(Runtime& rt, const std::optional<std::string>& path = std::nullopt);
// The echogram window a verb acts on: the callback's window, else the current figure, else the echogram
// of the current main window; none when there is none.
Handle echogramOfCall(Runtime& rt);
// What a verb of the echogram's sound or export says when no echogram window is open to act on.
inline constexpr const char* kNoEchogram =
    "no echogram window is open for this main window: open it with \"echogram\" first";

// The dry sound popup: "open dry sound..." asks for a WAV or FLAC file and keeps it as the fourth
// choice; a file that cannot be read is refused in a message box and the choice stays as it was.
void echogramdrysound(Runtime& rt);
// The dry sound chosen, convolved with the response at the receptor, on the default audio output;
// without an audio output device a message box says so and nothing else happens.
void echogramlisten(Runtime& rt);
// The response (normalised to -1 dBFS) and the dry sound heard through it, as 48 kHz WAV files chosen
// in a save dialog (or given).
void echogramexportresponse(Runtime& rt, const std::optional<std::string>& path = std::nullopt);
void echogramexportauralisation(Runtime& rt, const std::optional<std::string>& path = std::nullopt);

// The echo risk overlay of the audience map: switched by the map's menu, its thresholds in a dialog.
engine::EchoRiskThresholds echoRiskThresholds(const Runtime& rt, Handle mainWindow);
void echorisk(Runtime& rt);
void echorisksettings(Runtime& rt);
// Redraws the overlay of a main window from its map as it is now (removes it when switched off).
void refreshEchoRisk(Runtime& rt, Handle mainWindow);

// Everything that follows the main windows: echograms and echo risk overlays.
void refreshlinkedviews(Runtime& rt);

void registerEchogramOperations(document::Operations& ops);

}  // namespace velmora::polar
