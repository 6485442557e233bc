#pragma once
// Comma-separated tables as RFC 4180 writes them (CRLF line ends, fields quoted when they hold a
// comma, a quote or a line break), with numbers written the same in every locale.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

// A field as it goes into a row: quoted (inner quotes doubled) only when it must be.
std::string csvField(std::string_view text);

// A number with at most `decimals` digits after the point, trailing zeros dropped, never "-0";
// nothing (an empty field) for NaN or infinity.
std::string csvNumber(double value, int decimals);
std::string csvNumber(std::optional<double> value, int decimals);

// Builds a table: one leading comment line, then rows of fields.
class CsvTable {
 public:
  // "# " + text; line breaks in the text become blanks so the comment stays one line.
  void comment(std::string_view text);
  // Fields already formatted (csvNumber) or plain texts, which are quoted here as needed.
  void row(const std::vector<std::string>& fields);
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Writes the table through a temporary sibling, so a failure leaves no partial file.
void writeTextFile(const std::string& path, const std::string& text);

}  // namespace velmora::platform
