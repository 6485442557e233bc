#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

// The tolerance of every geometric test: values are snapped to multiples of it first.
inline constexpr double kSnapTolerance = 1e-6;

// Rounds half away from zero: 2.5 -> 3, -2.5 -> -3.
double roundHalfAway(double v);
// -1, 0 or 1; NaN stays NaN.
double sign(double v);
// Rounds to the nearest multiple of 1e-6 (half away from zero).
double snap(double v);
// Smallest / largest element ignoring NaNs; NaN when all are NaN or the span is empty.
double nanMin(std::span<const double> v);
double nanMax(std::span<const double> v);
// The shortest decimal text that reads back as the same number: 5, 0.1, -2.25, 1e+20, NaN, Inf, -Inf.
std::string formatNumber(double v);
// Reads typed text as a list of numbers: plain numeric literals (optionally signed, with
// decimals and exponent, or Inf / NaN) separated by blanks, commas or semicolons. Never evaluates
// anything: returns nothing when a word is not such a literal. Blank text gives an empty list.
std::optional<std::vector<double>> readNumbers(std::string_view text);
// Lower-cases ASCII letters.
std::string lower(std::string_view s);
// Equality ignoring the case of ASCII letters.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// A text cut to `most` bytes (at a UTF-8 character's start) with "..." appended, for messages that
// quote input.
std::string excerpt(std::string_view text, std::size_t most = 80);

}  // namespace velmora::platform
