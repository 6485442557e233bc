#pragma once
// The path animation: the source (or, for the polar diagram, the source or the receptor) moved
// step by step along a path drawn with the pointer or typed, the display recomputed at every step,
// optional numbered bitmap frames, and a summary window.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/case_record.h"
#include "document/operations.h"
#include "platform/model/runtime.h"

namespace velmora::animation {

using document::AnimationParameters;
using platform::Handle;
using platform::Runtime;

inline constexpr std::string_view kDialogTag = "animparam";
inline constexpr std::string_view kSummaryName = "Animation summary";

// ---- paths (path.cpp) --------------------------------------------------------------------------

struct Path {
  std::vector<double> x, y;
};

// Frame positions along the entered points: "spline" spreads ns + 1 frames evenly along the
// polyline; "linear" and "manual" give each segment max(2, ceil(ns * l / L)) steps.
Path setpathsegments(const std::vector<double>& xp, const std::vector<double>& yp, std::string_view ptype,
                     int ns);

// A parametric cubic spline through the points in order (parameter step: square root of the
// distance), natural ends, or periodic when the first and last points coincide; split where two
// consecutive points coincide. Sampled `samplesPerInterval` times between consecutive points.
Path splineCurve(const std::vector<double>& x, const std::vector<double>& y, int samplesPerInterval = 16);

// ---- parameters dialog (dialog.cpp) -----------------------------------------------------------

// Field corrections of the dialog: each takes the typed text and gives the text written back.
std::string correctedLevel(std::string_view text);
std::string correctedAxis(std::string_view text);
std::string correctedStep(std::string_view text);
std::string correctedPause(std::string_view text);

// Shows the modal parameters dialog (the previous parameters, or the defaults) and waits for
// "proceed" or "cancel". Nothing when cancelled.
std::optional<AnimationParameters> getanimparameter(Runtime& rt,
                                                    const std::optional<AnimationParameters>& previous);
// Callback of the dialog's edit fields, output button, and proceed / cancel buttons.
void animcasecb(Runtime& rt);
// Callback of the two "." buttons: copies the limits shown by the newest summary window.
void animcasegrab(Runtime& rt);

// ---- the animation (animcase.cpp) ---------------------------------------------------------------

// The verb "anim": dialog, path entry, path check, frame loop, restoring, summary.
void animcase(Runtime& rt, const document::Operations& ops);

// The six lines of the summary window.
std::vector<std::string> summaryLines(std::size_t frames, const std::string& outputDirectory,
                                      const std::vector<double>& levels, const std::vector<double>& extent,
                                      double seconds);

void registerAnimationOperations(document::Operations& ops);

}  // namespace velmora::animation
