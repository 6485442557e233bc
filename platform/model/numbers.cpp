#include "platform/model/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace velmora::platform {

double roundHalfAway(double v) {
  return std::round(v);
}  // std::round already rounds half away from zero

double sign(double v) {
  if (std::isnan(v)) return v;
  return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0);
}

double snap(double v) {
  if (!std::isfinite(v)) return v;
  return std::round(v / kSnapTolerance) * kSnapTolerance;
}

double nanMin(std::span<const double> v) {
  double best = std::numeric_limits<double>::quiet_NaN();
  for (double x : v) {
    if (!std::isnan(x) && (std::isnan(best) || x < best)) best = x;
  }
  return best;
}

double nanMax(std::span<const double> v) {
  double best = std::numeric_limits<double>::quiet_NaN();
  for (double x : v) {
    if (!std::isnan(x) && (std::isnan(best) || x > best)) best = x;
  }
  return best;
}

std::string formatNumber(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  if (v == 0) return "0";  // also for -0
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

namespace {

bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\n' || c == '\r';
}

// A plain numeric literal: [+-] digits [. digits] [e [+-] digits], or [+-]Inf / NaN.
std::optional<double> readLiteral(std::string_view w) {
  std::string_view body = w;
  bool negative = false;
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
    negative = body[0] == '-';
    body.remove_prefix(1);
  }
  if (body.empty()) return std::nullopt;
  std::string lowered;
  for (char c : body) lowered.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lowered == "inf")
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  if (lowered == "nan") return std::numeric_limits<double>::quiet_NaN();
  std::size_t i = 0;
  bool digits = false;
  while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) ++i, digits = true;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) ++i, digits = true;
  }
  if (!digits) return std::nullopt;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    bool expDigits = false;
    while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) ++i, expDigits = true;
    if (!expDigits) return std::nullopt;
  }
  if (i != body.size()) return std::nullopt;
  double value = 0;
  std::string text(body);
  if (text[0] == '.') text.insert(text.begin(), '0');
  auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    // Too large reads as infinity, too small as zero, as typed text does elsewhere.
    value = std::strtod(text.c_str(), nullptr);
  } else if (res.ec != std::errc() || res.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<std::vector<double>> readNumbers(std::string_view text) {
  // Square brackets around the list are accepted, as people type "[10 30]".
  std::string_view t = text;
  auto trim = [](std::string_view s) {
    while (!s.empty() && isSeparator(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSeparator(s.back())) s.remove_suffix(1);
    return s;
  };
  t = trim(t);
  if (t.size() >= 2 && t.front() == '[' && t.back() == ']') t = trim(t.substr(1, t.size() - 2));
  std::vector<double> out;
  std::size_t i = 0;
  while (i < t.size()) {
    while (i < t.size() && isSeparator(t[i])) ++i;
    std::size_t j = i;
    while (j < t.size() && !isSeparator(t[j])) ++j;
    if (j > i) {
      auto v = readLiteral(t.substr(i, j - i));
      if (!v) return std::nullopt;
      out.push_back(*v);
    }
    i = j;
  }
  return out;
}

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string excerpt(std::string_view text, std::size_t most) {
  if (text.size() <= most) return std::string(text);
  // Cut between characters: never inside a UTF-8 sequence.
  std::size_t cut = most;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

}  // namespace velmora::platform
