// Damaged and hostile case files: every one is refused with a message that names the file, none
// crashes, recurses without end or allocates what a damaged length claims. The files are built here
// byte by byte (a small Level 5 writer) or made from the fixtures by cutting and changing bytes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/model/error.h"
#include "platform/files/mat5_reader.h"
#include "platform/files/matfile.h"

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

// ---- a small Level 5 writer ----------------------------------------------------------------------

Bytes u32(std::uint32_t v) {
  Bytes b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return b;
}
Bytes element(std::uint32_t type, const Bytes& data) {
  Bytes out = u32(type) + u32(static_cast<std::uint32_t>(data.size())) + data;
  out.resize((out.size() + 7) / 8 * 8, '\0');
  return out;
}
Bytes arrayHead(std::uint32_t cls, const std::vector<std::int32_t>& dims, const Bytes& name) {
  Bytes d;
  for (std::int32_t v : dims) d += u32(static_cast<std::uint32_t>(v));
  return element(6, u32(cls) + u32(0)) + element(5, d) + element(1, name);
}
Bytes array(std::uint32_t cls, const std::vector<std::int32_t>& dims, const Bytes& rest, const Bytes& name = "") {
  return element(14, arrayHead(cls, dims, name) + rest);
}
Bytes doubles(const std::vector<std::int32_t>& dims, const std::vector<double>& v) {
  return array(6, dims, element(9, Bytes(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(double))));
}
Bytes text(const std::vector<std::int32_t>& dims, const Bytes& utf8) {
  return array(4, dims, element(16, utf8));
}
// A record array of `count` records whose values follow in record order.
Bytes records(const std::vector<std::int32_t>& dims, const std::vector<Bytes>& names, const Bytes& values,
              const Bytes& name = "") {
  const std::size_t len = 32;
  Bytes table;
  for (const Bytes& n : names) {
    Bytes slot = n;
    slot.resize(len, '\0');
    table += slot;
  }
  return array(2, dims, element(5, u32(len)) + element(1, table) + values, name);
}
Bytes record(const std::vector<std::pair<Bytes, Bytes>>& fields, const Bytes& name = "") {
  std::vector<Bytes> names;
  Bytes values;
  for (const auto& [n, v] : fields) {
    names.push_back(n);
    values += v;
  }
  return records({1, 1}, names, values, name);
}
Bytes header(std::uint16_t version = 0x0100) {
  Bytes h(116, ' ');
  h.replace(0, 20, "MATLAB 5.0 MAT-file,");
  h += Bytes(8, '\0');
  h += static_cast<char>(version & 0xFF);
  h += static_cast<char>(version >> 8);
  return h + "IM";
}
// A file holding `var`, which must be named "prop" to be found.
Bytes file(const Bytes& var) {
  return header() + var;
}

// Records (or lists) inside one another, `depth` levels, built inside out without copying the
// growing content at every level.
Bytes nested(int depth, bool asRecords) {
  std::vector<Bytes> prefixes;
  std::uint64_t inner = 0;  // size of an empty innermost element: its tag only
  Bytes innermost = u32(14) + u32(0);
  for (int level = 0; level < depth; ++level) {
    Bytes body = asRecords ? arrayHead(2, {1, 1}, level == depth - 1 ? "prop" : "") + element(5, u32(8)) +
                                 element(1, Bytes("f\0\0\0\0\0\0\0", 8))
                           : arrayHead(1, {1, 1}, level == depth - 1 ? "prop" : "");
    const std::uint64_t size = body.size() + 8 + inner;
    prefixes.push_back(u32(14) + u32(static_cast<std::uint32_t>(size)) + body);
    inner = size;
  }
  Bytes out = header();
  for (auto it = prefixes.rbegin(); it != prefixes.rend(); ++it) out += *it;
  return out + innermost;
}

std::string refusal(const Bytes& bytes) {
  try {
    decodeMatVariable({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, "prop", "x.ac");
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

Bytes fixtureBytes(const char* name) {
  std::ifstream in(std::string(VELMORA_FIXTURES) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.rfind(prefix, 0) == 0;
}

// ---- tests ---------------------------------------------------------------------------------------

TEST(MatFileHostile, LiesAboutSizesAreRefusedBeforeAnythingIsAllocated) {
  const Bytes twoHundredMillion = doubles({1, 200000000}, {0, 10, 20, 30, 40, 100});
  struct Row {
    const char* what;
    Bytes bytes;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"absorptions claimed far beyond the file", file(record({{"alpha", twoHundredMillion}}, "prop")),
       "file x.ac is damaged: 'alpha' claims 200000000 elements in 56 bytes"},
      {"fewer values than the dimensions", file(record({{"alpha", doubles({1, 7}, {1, 2, 3})}}, "prop")),
       "file x.ac is damaged: 'alpha' claims 7 values but holds 24 bytes of them"},
      {"text claiming more characters than it holds", file(record({{"name", text({1, 8}, "hall")}}, "prop")),
       "file x.ac is damaged: 'name' claims 8 characters but holds 4"},
      {"nine million records of a few bytes",
       file(records({3000, 3000}, {"a", "b"}, doubles({1, 1}, {1}) + doubles({1, 1}, {2}), "prop")),
       "file x.ac is damaged: 'prop' claims 9000000 elements in 216 bytes"},
      {"more records than values", file(records({5, 1}, {"a", "b"}, doubles({1, 1}, {1}), "prop")),
       "file x.ac is damaged: 'prop' claims 5 records of 2 fields in 64 bytes"},
      {"records without fields, as many as there are bytes", file(records({1, 200}, {}, Bytes(200, '\0'), "prop")),
       "file x.ac is damaged: 'prop' claims 200 records of 0 fields in 200 bytes"},
      {"a list claiming more items than it holds", file(array(1, {1, 60}, doubles({1, 1}, {1}), "prop")),
       "file x.ac is damaged: 'prop' claims 60 items in 64 bytes"},
      {"the same field twice", file(record({{"a", doubles({1, 1}, {1})}, {"a", doubles({1, 1}, {2})}}, "prop")),
       "file x.ac is damaged: 'prop' holds the field 'a' twice"},
      {"records nested 20000 deep", nested(20000, true),
       "file x.ac is damaged: records and lists nest more than 64 deep"},
      {"lists nested 20000 deep", nested(20000, false),
       "file x.ac is damaged: records and lists nest more than 64 deep"},
      {"the HDF5-based container", header(0x0200) + Bytes(600, '\0'),
       "file x.ac is stored in the HDF5-based MAT format (version 7.3), which case files do not use"},
      {"no MAT-file at all", Bytes(200, 'x'), "file x.ac cannot be read"},
  };
  for (const Row& row : rows) EXPECT_EQ(refusal(row.bytes), row.message) << row.what;

  // Depth up to the limit is fine: a case needs three levels.
  EXPECT_EQ(refusal(nested(kMatMaxDepth - 1, true)), "");
}

TEST(MatFileHostile, PackedVariablesAreUnpackedWithinBounds) {
  // Forty megabytes of zeros pack into a few kilobytes.
  const Bytes zeros(40u << 20, '\0');
  Bytes packed(compressBound(zeros.size()), '\0');
  uLongf packedSize = packed.size();
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                      reinterpret_cast<const Bytef*>(zeros.data()), zeros.size(), 9),
            Z_OK);
  packed.resize(packedSize);
  EXPECT_EQ(refusal(header() + element(15, packed)), "file x.ac unpacks to more than 16777216 bytes");

  // The compressed fixture, cut anywhere inside its packed stream.
  const Bytes v7 = fixtureBytes("l-room-v7.ac");
  for (std::size_t cut = 137; cut < v7.size(); cut += 16)
    EXPECT_TRUE(startsWith(refusal(v7.substr(0, cut)), "file x.ac is damaged: ")) << cut;
  EXPECT_EQ(refusal(v7), "");
}

TEST(MatFileHostile, FieldNameTableAndDimensionsOfTheLRoom) {
  const Bytes room = fixtureBytes("l-room.ac");
  ASSERT_EQ(room.substr(0xC0, 4), "name") << "the field-name table starts at byte 192";
  // Cut anywhere inside the table (bytes 192..1215): once a crash.
  for (std::size_t cut = 192; cut <= 1215; ++cut) {
    const std::string message = refusal(room.substr(0, cut));
    EXPECT_TRUE(startsWith(message, "file x.ac is damaged: ")) << cut << ": " << message;
  }
  // The table's name length (byte 180) and the record's dimensions (bytes 160..167), changed.
  for (std::size_t at : {180u, 181u, 160u, 161u, 162u, 163u, 164u, 165u, 166u, 167u}) {
    for (int v : {0x00, 0x01, 0x3F, 0x41, 0x80, 0xFF}) {
      Bytes changed = room;
      changed[at] = static_cast<char>(v);
      const std::string message = refusal(changed);
      EXPECT_TRUE(message.empty() || startsWith(message, "file x.ac")) << at << " " << v << ": " << message;
    }
  }
  Bytes moreFields = room;
  moreFields[160] = static_cast<char>(0xFF);
  EXPECT_EQ(refusal(moreFields), "file x.ac is damaged: 'prop' claims 255 records of 16 fields in 1216 bytes");
}

TEST(MatFileHostile, RecordWithManyFieldsDecodesWhole) {
  std::vector<Bytes> names;
  Bytes values;
  const int count = 80000;
  for (int i = 0; i < count; ++i) {
    names.push_back("f" + std::to_string(i));
    values += doubles({1, 1}, {static_cast<double>(i)});
  }
  const Bytes bytes = file(records({1, 1}, names, values, "prop"));
  const Value v =
      decodeMatVariable({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, "prop", "x.ac");
  ASSERT_EQ(v.record().size(), static_cast<std::size_t>(count));
  EXPECT_EQ(v.record().names()[count - 1], "f79999");
  EXPECT_EQ(v.record().values()[count - 1].scalar(), 79999);
}

// Every single-byte change of the first 2 kB and every cut of the four fixtures: a value or a
// refusal naming the file, nothing else. Under the sanitizers only every 41st position is changed.
TEST(MatFileHostile, MutationSweepOverTheFixtures) {
#if defined(__SANITIZE_ADDRESS__)
  const std::size_t stride = 41;
#else
  const std::size_t stride = 1;
#endif
  std::size_t refused = 0, decoded = 0;
  for (const char* name : {"l-room.ac", "l-room-v7.ac", "default-room-z20.ac", "curved-room.ac"}) {
    const Bytes original = fixtureBytes(name);
    ASSERT_FALSE(original.empty()) << name;
    const auto check = [&](const Bytes& bytes, const std::string& what) {
      const std::string message = refusal(bytes);
      if (message.empty()) {
        ++decoded;
        return;
      }
      ++refused;
      if (!startsWith(message, "file x.ac")) ADD_FAILURE() << name << " " << what << ": " << message;
    };
    for (std::size_t cut = 0; cut < original.size(); ++cut) check(original.substr(0, cut), "cut " + std::to_string(cut));
    Bytes bytes = original;
    for (std::size_t at = 0; at < std::min<std::size_t>(bytes.size(), 2048); at += stride) {
      const char kept = bytes[at];
      for (int v = 0; v < 256; ++v) {
        if (static_cast<char>(v) == kept) continue;
        bytes[at] = static_cast<char>(v);
        check(bytes, "byte " + std::to_string(at) + "=" + std::to_string(v));
      }
      bytes[at] = kept;
    }
  }
  EXPECT_GT(refused, 0u);
  EXPECT_GT(decoded, 0u);
}

// Inputs that once broke the reader (found by hand or by the fuzzer), replayed on every run.
TEST(MatFileHostile, FuzzRegressionsAreRefused) {
  const fs::path dir = fs::path(VELMORA_FIXTURES) / ".." / ".." / "fuzz" / "regressions" / "casefile";
  std::size_t replayed = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string message = refusal(bytes);
    EXPECT_TRUE(message.empty() || startsWith(message, "file x.ac")) << entry.path() << ": " << message;
    ++replayed;
  }
  EXPECT_GE(replayed, 4u);
}

// ---- saving --------------------------------------------------------------------------------------

TEST(MatFileHostile, SavesLeaveNoPartFilesBehind) {
  const fs::path dir = fs::temp_directory_path() / ("velmora-hostile-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const auto partFiles = [&] {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().extension() == ".part") found.push_back(e.path().filename().string());
    return found;
  };
  // What killed saves left: the single part file of older versions and one of a process that is gone.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  std::ofstream(dir / "hall.ac.part") << "half";
  std::ofstream(dir / (".hall.ac." + std::to_string(child) + "-a1b2c3.part")) << "half";
  // The part file of a live process (this test's parent) is not touched, nor another file's.
  const std::string ours = ".hall.ac." + std::to_string(::getppid()) + "-d4e5f6.part";
  std::ofstream(dir / ours) << "busy";
  std::ofstream(dir / ".other.ac.1-a1b2c3.part") << "other";

  writeMatVariable((dir / "hall.ac").string(), "prop", Value(1.0));
  EXPECT_EQ(readMatVariable((dir / "hall.ac").string(), "prop"), Value(1.0));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(static_cast<mode_t>(fs::status(dir / "hall.ac").permissions()), 0666 & ~mask) << "as any new file";
  auto left = partFiles();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{ours, ".other.ac.1-a1b2c3.part"}));

  // A save that fails at its last step (the name is taken by a folder) leaves no part file either.
  fs::remove(dir / ours);
  fs::create_directory(dir / "folder.ac");
  EXPECT_THROW(writeMatVariable((dir / "folder.ac").string(), "prop", Value(1.0)), Error);
  EXPECT_EQ(partFiles(), (std::vector<std::string>{".other.ac.1-a1b2c3.part"}));

  // A read-only case file (even for root) and a FIFO are refused and stay as they are.
  std::ofstream(dir / "kept.ac") << "kept";
  fs::permissions(dir / "kept.ac", fs::perms(0444));
  ASSERT_EQ(::mkfifo((dir / "pipe.ac").c_str(), 0600), 0);
  for (const auto& [file, reason] : {std::pair{"kept.ac", "Permission denied"},
                                     std::pair{"pipe.ac", "it is not a regular file"}}) {
    try {
      writeMatVariable((dir / file).string(), "prop", Value(1.0));
      ADD_FAILURE() << file;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "cannot write file " + (dir / file).string() + ": " + reason);
    }
  }
  std::ifstream kept(dir / "kept.ac");
  std::string content;
  kept >> content;
  EXPECT_EQ(content, "kept");
  EXPECT_TRUE(fs::is_fifo(dir / "pipe.ac"));
  EXPECT_EQ(partFiles(), (std::vector<std::string>{".other.ac.1-a1b2c3.part"}));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace velmora::platform
