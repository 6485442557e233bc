#include "platform/model/label_markup.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace velmora::platform {

namespace {

struct Greek {
  std::string_view name;
  std::string_view utf8;
};

constexpr Greek kGreek[] = {
    {"alpha", "\u03B1"},   {"beta", "\u03B2"},   {"gamma", "\u03B3"},  {"delta", "\u03B4"},
    {"epsilon", "\u03B5"}, {"theta", "\u03B8"},  {"lambda", "\u03BB"}, {"mu", "\u03BC"},
    {"pi", "\u03C0"},      {"rho", "\u03C1"},    {"sigma", "\u03C3"},  {"tau", "\u03C4"},
    {"phi", "\u03C6"},     {"omega", "\u03C9"},  {"Gamma", "\u0393"},  {"Delta", "\u0394"},
    {"Theta", "\u0398"},   {"Lambda", "\u039B"}, {"Pi", "\u03A0"},     {"Sigma", "\u03A3"},
    {"Phi", "\u03A6"},     {"Omega", "\u03A9"},  {"circ", "\u00B0"},
};

void append(std::vector<MarkupRun>& runs, std::string_view text, MarkupRun::Shift shift) {
  if (text.empty()) return;
  if (!runs.empty() && runs.back().shift == shift) {
    runs.back().text += text;
  } else {
    runs.push_back({std::string(text), shift});
  }
}

// Reads one item at `i`: a command, an escaped character or one UTF-8 character. Returns its text.
std::string readItem(std::string_view s, std::size_t& i) {
  if (s[i] == '\\' && i + 1 < s.size()) {
    const char next = s[i + 1];
    if (next == '_' || next == '^' || next == '{' || next == '}' || next == '\\') {
      i += 2;
      return std::string(1, next);
    }
    std::size_t j = i + 1;
    while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j]))) ++j;
    const std::string_view name = s.substr(i + 1, j - i - 1);
    for (const Greek& g : kGreek) {
      if (g.name == name) {
        i = j;
        return std::string(g.utf8);
      }
    }
    ++i;  // an unknown command stays as written
    return "\\";
  }
  // One whole UTF-8 character, so "^°" raises the degree sign and not half of it.
  std::size_t len = 1;
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead >= 0xF0) {
    len = 4;
  } else if (lead >= 0xE0) {
    len = 3;
  } else if (lead >= 0xC0) {
    len = 2;
  }
  len = std::min(len, s.size() - i);
  std::string out(s.substr(i, len));
  i += len;
  return out;
}

}  // namespace

std::vector<MarkupRun> parseLabelMarkup(std::string_view s) {
  std::vector<MarkupRun> runs;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if ((c == '_' || c == '^') && i + 1 < s.size()) {
      const auto shift = c == '_' ? MarkupRun::Shift::Subscript : MarkupRun::Shift::Superscript;
      ++i;
      if (s[i] == '{') {
        const std::size_t close = s.find('}', i + 1);
        if (close == std::string_view::npos) {  // unbalanced: the rest of the label is shifted
          std::size_t k = i + 1;
          while (k < s.size()) append(runs, readItem(s, k), shift);
          i = s.size();
        } else {
          const std::string_view group = s.substr(i + 1, close - i - 1);
          std::size_t k = 0;
          while (k < group.size()) append(runs, readItem(group, k), shift);
          i = close + 1;
        }
      } else {
        append(runs, readItem(s, i), shift);
      }
      continue;
    }
    if (c == '{' || c == '}') {  // plain grouping braces are not drawn
      ++i;
      continue;
    }
    append(runs, readItem(s, i), MarkupRun::Shift::None);
  }
  return runs;
}

std::vector<MarkupRun> plainLabel(std::string_view text) {
  std::vector<MarkupRun> runs;
  append(runs, text, MarkupRun::Shift::None);
  return runs;
}

}  // namespace velmora::platform
