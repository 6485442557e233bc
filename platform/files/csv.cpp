#include "platform/files/csv.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <span>

#include "platform/files/output_file.h"

namespace velmora::platform {

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string csvNumber(double value, int decimals) {
  if (!std::isfinite(value)) return "";
  char buffer[64];
  // to_chars ignores the locale: the decimal separator is always a point.
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return "";
  std::string text(buffer, end);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::string csvNumber(std::optional<double> value, int decimals) {
  return value ? csvNumber(*value, decimals) : std::string();
}

void CsvTable::comment(std::string_view text) {
  text_ += "# ";
  for (char c : text) text_ += (c == '\r' || c == '\n') ? ' ' : c;
  text_ += "\r\n";
}

void CsvTable::row(const std::vector<std::string>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) text_ += ',';
    text_ += csvField(fields[i]);
  }
  text_ += "\r\n";
}

void writeTextFile(const std::string& path, const std::string& text) {
  OutputFile file(path);
  file.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  file.commit();
}

}  // namespace velmora::platform
