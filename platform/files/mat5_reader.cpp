#include "platform/files/mat5_reader.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/model/error.h"

namespace velmora::platform {

namespace {

// Data types of elements and classes of arrays, as the format numbers them.
enum : std::uint32_t {
  miINT8 = 1,
  miUINT8 = 2,
  miINT16 = 3,
  miUINT16 = 4,
  miINT32 = 5,
  miUINT32 = 6,
  miSINGLE = 7,
  miDOUBLE = 9,
  miINT64 = 12,
  miUINT64 = 13,
  miMATRIX = 14,
  miCOMPRESSED = 15,
  miUTF8 = 16,
  miUTF16 = 17,
  miUTF32 = 18,
};
enum : std::uint32_t {
  mxCELL = 1,
  mxSTRUCT = 2,
  mxCHAR = 4,
  mxDOUBLE = 6,
  mxUINT64 = 15,
};
constexpr std::uint32_t kComplexFlag = 0x0800;
constexpr std::size_t kHeaderBytes = 128;

std::size_t widthOf(std::uint32_t type) {
  switch (type) {
    case miINT8:
    case miUINT8:
    case miUTF8:
      return 1;
    case miINT16:
    case miUINT16:
    case miUTF16:
      return 2;
    case miINT32:
    case miUINT32:
    case miSINGLE:
    case miUTF32:
      return 4;
    case miDOUBLE:
    case miINT64:
    case miUINT64:
      return 8;
    default:
      return 0;
  }
}

// a * b, or the largest value when that overflows: a count that large fits in no file anyway.
std::uint64_t timesSaturated(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) return std::numeric_limits<std::uint64_t>::max();
  return a * b;
}

// Names from the file go into messages: printable, and short.
std::string printable(std::string_view s) {
  std::string out;
  for (char c : s.substr(0, 63)) out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c);
  return out;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// UTF-8 bytes to code points; a byte that starts no valid sequence stands for itself.
std::vector<char32_t> utf8CodePoints(std::span<const std::uint8_t> b) {
  std::vector<char32_t> out;
  out.reserve(b.size());
  for (std::size_t i = 0; i < b.size();) {
    const std::uint8_t c = b[i];
    std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool ok = len != 0 && i + len <= b.size();
    for (std::size_t k = 1; ok && k < len; ++k) ok = (b[i + k] & 0xC0) == 0x80;
    if (!ok) {
      out.push_back(c);
      ++i;
      continue;
    }
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (b[i + k] & 0x3F);
    out.push_back(cp);
    i += len;
  }
  return out;
}

// "the dimensions of 'xwall'", or just the part for a variable read before its name is known.
std::string partOf(const char* part, const std::string& where) {
  return where.empty() ? std::string(part) : std::string(part) + " of '" + printable(where) + "'";
}

struct Element {
  std::uint32_t type = 0;
  std::span<const std::uint8_t> data;
};

// A run of elements inside a span.
struct Cursor {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
  std::size_t remaining() const { return bytes.size() - pos; }
};

class Decoder {
 public:
  Decoder(bool swap, std::string shown) : swap_(swap), shown_(std::move(shown)) {}

  [[noreturn]] void damaged(const std::string& detail) const {
    throw Error("file " + shown_ + " is damaged: " + detail);
  }
  [[noreturn]] void refused(const std::string& detail) const { throw Error("file " + shown_ + ": " + detail); }

  template <class T>
  T load(const std::uint8_t* p) const {
    T v;
    std::memcpy(&v, p, sizeof v);
    if (swap_ && sizeof v > 1) {
      auto* b = reinterpret_cast<unsigned char*>(&v);
      std::reverse(b, b + sizeof v);
    }
    return v;
  }

  // The next element of a run: the tag (full or small form), its data checked against the bytes there.
  Element next(Cursor& c, const char* part, const std::string& where) const {
    if (c.remaining() < 8) damaged(partOf(part, where) + " is cut short");
    const std::uint8_t* p = c.bytes.data() + c.pos;
    const std::uint32_t first = load<std::uint32_t>(p);
    Element e;
    if ((first >> 16) != 0) {
      // Small element: type and size share the first word, up to four bytes of data follow.
      e.type = first & 0xFFFF;
      const std::uint32_t size = first >> 16;
      if (size > 4) damaged(partOf(part, where) + " has a bad tag");
      e.data = c.bytes.subspan(c.pos + 4, size);
      c.pos += 8;
      return e;
    }
    e.type = first;
    const std::uint64_t size = load<std::uint32_t>(p + 4);
    const std::size_t room = c.remaining() - 8;
    if (size > room)
      damaged(partOf(part, where) + " claims " + std::to_string(size) +
              " bytes where " + std::to_string(room) + " remain");
    e.data = c.bytes.subspan(c.pos + 8, static_cast<std::size_t>(size));
    // Elements are padded to eight bytes; a missing pad after the last one is forgiven.
    const std::uint64_t padded = (size + 7) / 8 * 8;
    c.pos += 8 + static_cast<std::size_t>(std::min<std::uint64_t>(padded, room));
    return e;
  }

  // The parts every array starts with: flags, dimensions and name.
  struct ArrayHead {
    std::uint32_t flags = 0;
    std::vector<std::uint64_t> dims;
    std::uint64_t count = 1;  // product of the dimensions
    std::string name;
  };

  ArrayHead head(Cursor& c, const std::string& where) const {
    ArrayHead h;
    const Element flags = next(c, "the array flags", where);
    if ((flags.type != miUINT32 && flags.type != miINT32) || flags.data.size() != 8)
      damaged(partOf("the array flags", where) + " are malformed");
    h.flags = load<std::uint32_t>(flags.data.data());
    const Element dims = next(c, "the dimensions", where);
    if (dims.type != miINT32 || dims.data.size() < 8 || dims.data.size() % 4 != 0)
      damaged(partOf("the dimensions", where) + " are malformed");
    for (std::size_t i = 0; i < dims.data.size(); i += 4) {
      const std::int32_t d = load<std::int32_t>(dims.data.data() + i);
      if (d < 0) damaged(partOf("a dimension", where) + " is negative");
      h.dims.push_back(static_cast<std::uint64_t>(d));
      h.count = timesSaturated(h.count, static_cast<std::uint64_t>(d));
    }
    const Element name = next(c, "the name", where);
    if (widthOf(name.type) != 1) damaged(partOf("the name", where) + " is malformed");
    h.name.assign(name.data.begin(), std::find(name.data.begin(), name.data.end(), 0));
    return h;
  }

  // The name of a top-level variable without decoding its value.
  std::string nameOf(std::span<const std::uint8_t> body) const {
    if (body.empty()) return "";
    Cursor c{body};
    return head(c, "").name;
  }

  Value array(std::span<const std::uint8_t> body, int depth, const std::string& where) {
    if (depth > kMatMaxDepth)
      damaged("records and lists nest more than " + std::to_string(kMatMaxDepth) + " deep");
    // An empty element stands for an empty matrix.
    if (body.empty()) return Value(Matrix{});
    Cursor c{body};
    const ArrayHead h = head(c, where);
    // Each element takes at least one byte: a count beyond the bytes left is a damaged length.
    if (h.count > c.remaining())
      damaged("'" + printable(where) + "' claims " + std::to_string(h.count) + " elements in " +
              std::to_string(c.remaining()) + " bytes");
    const std::uint32_t type = h.flags & 0xFF;
    if (h.flags & kComplexFlag) refused("the field '" + printable(where) + "' holds complex numbers");
    switch (type) {
      case mxCHAR:
        return text(c, h, where);
      case mxCELL:
        return cell(c, h, depth, where);
      case mxSTRUCT:
        return structure(c, h, depth, where);
      default:
        if (type >= mxDOUBLE && type <= mxUINT64) return numbers(c, h, where);
        refused("the field '" + printable(where) + "' holds data of a kind a case cannot hold");
    }
  }

 private:
  Value numbers(Cursor& c, const ArrayHead& h, const std::string& where) const {
    if (h.dims.size() > 3) refused("the field '" + printable(where) + "' has more than three dimensions");
    const Element data = next(c, "the values", where);
    const std::size_t width = widthOf(data.type);
    if (width == 0 || data.type == miUTF8 || data.type == miUTF16 || data.type == miUTF32)
      damaged("the values of '" + printable(where) + "' have an unknown type");
    if (data.data.size() != timesSaturated(h.count, width))
      damaged("'" + printable(where) + "' claims " + std::to_string(h.count) + " values but holds " +
              std::to_string(data.data.size()) + " bytes of them");
    const auto n = static_cast<std::size_t>(h.count);
    Matrix m;
    m.rows = static_cast<std::size_t>(h.dims[0]);
    m.cols = static_cast<std::size_t>(h.dims[1]);
    m.pages = h.dims.size() > 2 && n > 0 ? static_cast<std::size_t>(h.dims[2]) : 1;
    if (n == 0) m.rows = m.cols = 0;
    m.data.resize(n);
    const std::uint8_t* p = data.data.data();
    for (std::size_t i = 0; i < n; ++i, p += width) {
      switch (data.type) {
        case miINT8:
          m.data[i] = load<std::int8_t>(p);
          break;
        case miUINT8:
          m.data[i] = load<std::uint8_t>(p);
          break;
        case miINT16:
          m.data[i] = load<std::int16_t>(p);
          break;
        case miUINT16:
          m.data[i] = load<std::uint16_t>(p);
          break;
        case miINT32:
          m.data[i] = load<std::int32_t>(p);
          break;
        case miUINT32:
          m.data[i] = load<std::uint32_t>(p);
          break;
        case miSINGLE:
          m.data[i] = load<float>(p);
          break;
        case miDOUBLE:
          m.data[i] = load<double>(p);
          break;
        case miINT64:
          m.data[i] = static_cast<double>(load<std::int64_t>(p));
          break;
        default:
          m.data[i] = static_cast<double>(load<std::uint64_t>(p));
          break;
      }
    }
    return Value(std::move(m));
  }

  Value text(Cursor& c, const ArrayHead& h, const std::string& where) const {
    const Element data = next(c, "the text", where);
    const auto n = static_cast<std::size_t>(h.count);
    std::vector<char32_t> units;
    if (data.type == miUTF8) {
      units = utf8CodePoints(data.data);
    } else {
      const std::size_t width = widthOf(data.type);
      if (width == 0 || data.type == miSINGLE || data.data.size() % width != 0)
        damaged("the text of '" + printable(where) + "' has an unknown type");
      units.reserve(data.data.size() / width);
      for (std::size_t i = 0; i < data.data.size(); i += width) {
        const std::uint8_t* p = data.data.data() + i;
        units.push_back(width == 1 ? p[0] : width == 2 ? load<std::uint16_t>(p) : load<std::uint32_t>(p));
      }
    }
    if (units.size() != n)
      damaged(std::string("'") + printable(where) + "' claims " + std::to_string(n) + " characters but holds " +
              std::to_string(units.size()));
    const std::size_t rows = static_cast<std::size_t>(h.dims[0]);
    const std::size_t cols = n / std::max<std::size_t>(rows, 1);
    auto rowText = [&](std::size_t r) {
      std::string s;
      for (std::size_t col = 0; col < cols; ++col) {
        char32_t u = units[col * rows + r];
        // A surrogate pair of UTF-16 makes one character.
        if (u >= 0xD800 && u < 0xDC00 && col + 1 < cols) {
          const char32_t low = units[(col + 1) * rows + r];
          if (low >= 0xDC00 && low < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            ++col;
          }
        }
        appendUtf8(s, u);
      }
      return s;
    };
    if (n == 0 || rows <= 1) return Value(n == 0 ? std::string() : rowText(0));
    List lines;
    for (std::size_t r = 0; r < rows; ++r) lines.items.emplace_back(rowText(r));
    return Value(std::move(lines));
  }

  Value cell(Cursor& c, const ArrayHead& h, int depth, const std::string& where) {
    // Every item is an element with a tag of eight bytes.
    if (h.count > c.remaining() / 8)
      damaged("'" + printable(where) + "' claims " + std::to_string(h.count) + " items in " +
              std::to_string(c.remaining()) + " bytes");
    List out;
    out.items.reserve(static_cast<std::size_t>(h.count));
    for (std::uint64_t i = 0; i < h.count; ++i) {
      const Element item = next(c, "an item", where);
      if (item.type != miMATRIX) damaged("an item of '" + printable(where) + "' is not an array");
      out.items.push_back(array(item.data, depth + 1, where));
    }
    return Value(std::move(out));
  }

  Value structure(Cursor& c, const ArrayHead& h, int depth, const std::string& where) {
    const Element lengthElement = next(c, "the field-name length", where);
    if (lengthElement.type != miINT32 || lengthElement.data.size() != 4)
      damaged("the field-name length of '" + printable(where) + "' is malformed");
    const std::int32_t length = load<std::int32_t>(lengthElement.data.data());
    const Element table = next(c, "the field-name table", where);
    if (widthOf(table.type) != 1 || length < 0 || (length == 0 && !table.data.empty()) ||
        (length > 0 && table.data.size() % static_cast<std::size_t>(length) != 0))
      damaged("the field-name table of '" + printable(where) + "' does not match its name length");
    const std::size_t fields = length == 0 ? 0 : table.data.size() / static_cast<std::size_t>(length);
    // Every value is an element with a tag of eight bytes; records without fields are bounded as if
    // they had one, so a small packed file cannot ask for millions of them.
    if (timesSaturated(h.count, std::max<std::size_t>(fields, 1)) > c.remaining() / 8)
      damaged("'" + printable(where) + "' claims " + std::to_string(h.count) + " records of " +
              std::to_string(fields) + " fields in " + std::to_string(c.remaining()) + " bytes");
    std::vector<std::string> names;
    names.reserve(fields);
    std::unordered_set<std::string_view> seen;
    for (std::size_t f = 0; f < fields; ++f) {
      const auto begin = table.data.begin() + static_cast<std::ptrdiff_t>(f * static_cast<std::size_t>(length));
      const auto end = begin + length;
      names.emplace_back(begin, std::find(begin, end, 0));
    }
    for (const std::string& name : names)
      if (!seen.insert(name).second)
        damaged("'" + printable(where) + "' holds the field '" + printable(name) + "' twice");
    List records;
    records.items.reserve(static_cast<std::size_t>(h.count));
    for (std::uint64_t k = 0; k < h.count; ++k) {
      Record r;
      for (const std::string& name : names) {
        const Element value = next(c, "a field", where);
        if (value.type != miMATRIX) damaged("the field '" + printable(name) + "' is not an array");
        r.append(name, array(value.data, depth + 1, name));
      }
      records.items.emplace_back(std::move(r));
    }
    if (h.count == 1) return std::move(records.items.front());
    return Value(std::move(records));
  }

  bool swap_;
  std::string shown_;
};

// Unpacks one compressed variable into `out`, never beyond `budget` bytes (shared by the whole
// file). False when the budget runs out first.
bool inflateBounded(std::span<const std::uint8_t> packed, std::size_t& budget, const Decoder& d,
                    std::vector<std::uint8_t>& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) d.damaged("a packed variable cannot be unpacked");
  z.next_in = const_cast<Bytef*>(packed.data());
  z.avail_in = static_cast<uInt>(packed.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    if (out.size() >= budget) {
      inflateEnd(&z);
      return false;
    }
    const std::size_t chunk = std::min<std::size_t>(budget - out.size(), std::size_t{64} << 10);
    const std::size_t before = out.size();
    out.resize(before + chunk);
    z.next_out = out.data() + before;
    z.avail_out = static_cast<uInt>(chunk);
    rc = inflate(&z, Z_NO_FLUSH);
    out.resize(before + chunk - z.avail_out);
  }
  inflateEnd(&z);
  if (rc != Z_STREAM_END) d.damaged("a packed variable is cut short or cannot be unpacked");
  budget -= out.size();
  return true;
}

}  // namespace

Value decodeMatVariable(std::span<const std::uint8_t> bytes, const std::string& name, const std::string& shown) {
  const std::string prefix = "file " + shown;
  if (bytes.empty()) throw Error(prefix + " holds no variable " + name);
  if (bytes.size() > kMatMaxBytes)
    throw Error(prefix + " is too large for a case file (" + std::to_string(bytes.size()) + " bytes, at most " +
                std::to_string(kMatMaxBytes) + ")");
  if (bytes.size() < kHeaderBytes) throw Error(prefix + " cannot be read");
  // The byte-order mark reads "IM" in the order the file was written in.
  const bool little = bytes[126] == 'I' && bytes[127] == 'M';
  const bool big = bytes[126] == 'M' && bytes[127] == 'I';
  if (!little && !big) throw Error(prefix + " cannot be read");
  const bool swap = little != (std::endian::native == std::endian::little);
  Decoder d(swap, shown);
  if (d.load<std::uint16_t>(bytes.data() + 124) == 0x0200)
    throw Error(prefix + " is stored in the HDF5-based MAT format (version 7.3), which case files do not use");

  std::size_t budget = kMatMaxBytes;
  Cursor c{bytes, kHeaderBytes};
  while (c.remaining() >= 8) {
    Element e = d.next(c, "a variable", "");
    std::vector<std::uint8_t> unpacked;
    if (e.type == miCOMPRESSED) {
      if (!inflateBounded(e.data, budget, d, unpacked))
        throw Error(prefix + " unpacks to more than " + std::to_string(kMatMaxBytes) + " bytes");
      Cursor inner{unpacked};
      e = d.next(inner, "a packed variable", "");
    }
    if (e.type != miMATRIX) continue;  // other elements carry nothing for us
    if (d.nameOf(e.data) == name) return d.array(e.data, 1, name);
  }
  throw Error(prefix + " holds no variable " + name);
}

}  // namespace velmora::platform
