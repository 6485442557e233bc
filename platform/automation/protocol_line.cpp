#include "platform/automation/protocol_line.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::platform {

namespace {

// Builds the document from parser events. The library's own builder looks every field name up in a
// list (quadratic in the number of fields) and knows no nesting bound; this one counts the depth and
// finds names in a hash table.
class Builder {
 public:
  using string_t = Json::string_t;

  bool null() { return put(Json(nullptr)); }
  bool boolean(bool v) { return put(Json(v)); }
  bool number_integer(Json::number_integer_t v) { return put(Json(v)); }
  bool number_unsigned(Json::number_unsigned_t v) { return put(Json(v)); }
  bool number_float(Json::number_float_t v, const string_t&) { return put(Json(v)); }
  bool string(string_t& v) { return put(Json(std::move(v))); }
  bool binary(Json::binary_t&) { return put(Json()); }  // JSON text has none

  bool start_object(std::size_t) { return open(Json::object()); }
  bool start_array(std::size_t) { return open(Json::array()); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(string_t& name) {
    Frame& f = frames_.back();
    auto& fields = f.container->get_ref<Json::object_t&>();
    const auto [it, added] = f.names.try_emplace(name, fields.size());
    if (added) {
      fields.emplace_back(std::move(name), nullptr);
      slot_ = &fields.back().second;
    } else {
      slot_ = &(fields.begin() + static_cast<std::ptrdiff_t>(it->second))->second;
    }
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
    error_ = "malformed request (not JSON): " + excerpt(e.what(), 200);
    return false;
  }

  Json take() { return std::move(root_); }
  const std::string& error() const { return error_; }

 private:
  struct Frame {
    Json* container;
    std::unordered_map<std::string, std::size_t> names;  // objects only
  };

  // Places a value where the parser is: the root, the end of the open array, or the field just named.
  Json* place(Json&& v) {
    if (frames_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    Json* top = frames_.back().container;
    if (top->is_array()) {
      auto& items = top->get_ref<Json::array_t&>();
      items.push_back(std::move(v));
      return &items.back();
    }
    *slot_ = std::move(v);
    return slot_;
  }
  bool put(Json&& v) {
    place(std::move(v));
    return true;
  }
  bool open(Json&& container) {
    if (frames_.size() >= kDeepestNesting) {
      error_ = "request nested too deeply: more than " + std::to_string(kDeepestNesting) +
               " levels of arrays and objects";
      return false;
    }
    frames_.push_back(Frame{place(std::move(container)), {}});
    return true;
  }
  bool close() {
    frames_.pop_back();
    return true;
  }

  Json root_;
  std::vector<Frame> frames_;
  Json* slot_ = nullptr;
  std::string error_;
};

}  // namespace

std::string lineTooLongMessage(std::size_t length) {
  return "request line too long: " + std::to_string(length) + " bytes, at most " +
         std::to_string(kMostLineBytes);
}

Json parseProtocolLine(std::string_view line) {
  if (line.size() > kMostLineBytes) throw Error(lineTooLongMessage(line.size()));
  Builder builder;
  if (!Json::sax_parse(line.begin(), line.end(), &builder)) {
    throw Error(builder.error().empty() ? std::string("malformed request (not JSON)") : builder.error());
  }
  return builder.take();
}

std::optional<ProtocolLine> readProtocolLine(std::istream& in) {
  std::streambuf* buffer = in.rdbuf();
  if (!in.good() || buffer == nullptr) return std::nullopt;
  ProtocolLine line;
  bool any = false;
  for (;;) {
    const int c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      if (!any) return std::nullopt;
      break;
    }
    any = true;
    if (c == '\n') break;
    ++line.length;
    if (line.tooLong) continue;
    if (line.text.size() >= kMostLineBytes) {
      line.tooLong = true;
      std::string().swap(line.text);  // what was read so far is of no use: let it go
      continue;
    }
    line.text.push_back(static_cast<char>(c));
  }
  return line;
}

}  // namespace velmora::platform
