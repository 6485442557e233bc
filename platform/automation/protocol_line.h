#pragma once
// Reading one line of the automation protocol: bounded in size and nesting, linear in its length.

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace velmora::platform {

// JSON keeps record fields in their order.
using Json = nlohmann::ordered_json;

// A request line may be this long; longer ones are refused without being kept in memory.
inline constexpr std::size_t kMostLineBytes = 16u << 20;
// Arrays and objects may nest this deep; deeper ones are refused before anything is built.
inline constexpr std::size_t kDeepestNesting = 64;

// Parses one request line. Raises an Error with a clear message for text that is not JSON, a line
// over kMostLineBytes, or nesting deeper than kDeepestNesting. Objects with many fields cost linear
// time (a repeated field name keeps its first place and its last value).
Json parseProtocolLine(std::string_view line);

// One line read from `in` without its newline. A line longer than kMostLineBytes is read to its end
// but not kept: `tooLong` is set and the text is empty. Nothing at the end of the input.
struct ProtocolLine {
  std::string text;
  bool tooLong = false;
  std::size_t length = 0;  // bytes on the line, kept or not
};
std::optional<ProtocolLine> readProtocolLine(std::istream& in);

// The message for a refused over-long line.
std::string lineTooLongMessage(std::size_t length);

}  // namespace velmora::platform
