#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

// A piece of a label drawn at one height: on the baseline, lowered (subscript) or raised (superscript).
struct MarkupRun {
  enum class Shift { None, Subscript, Superscript };
  std::string text;  // UTF-8
  Shift shift = Shift::None;
  bool operator==(const MarkupRun&) const = default;
};

// Reads label markup: "_" lowers and "^" raises the next character or a {group}; "\Delta", "\alpha" and
// a few other Greek names become their letters; "\_", "\^", "\{", "\}" and "\\" stand for the character.
// Anything else, unknown commands included, is kept as written. Runs of the same shift are merged.
std::vector<MarkupRun> parseLabelMarkup(std::string_view text);

// The runs of a label drawn without markup (interpreter "none"): the text itself.
std::vector<MarkupRun> plainLabel(std::string_view text);

}  // namespace velmora::platform
