#include "document/materials.h"

#include <unistd.h>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>

#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::document {

namespace {

constexpr std::array<const char*, 8> kColumns{"name", "125", "250", "500", "1000", "2000", "4000", "source"};

std::string trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return std::string(s.substr(first, last - first + 1));
}

std::vector<std::string> fields(std::string_view line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (true) {
    const auto comma = line.find(',', start);
    out.push_back(trimmed(line.substr(start, comma == std::string_view::npos ? comma : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return out;
}

// The folder of the running program, when the system says.
std::optional<std::filesystem::path> programFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return std::nullopt;
  return exe.parent_path();
}

}  // namespace

double midAbsorption(const engine::BandValues& bands) {
  return std::round((bands[2] + bands[3]) * 50 * 1e6) / 1e6;
}

engine::BandValues uniformBands(double alphaPercent) {
  engine::BandValues b;
  b.fill(alphaPercent / 100);
  return b;
}

MaterialLibrary MaterialLibrary::parse(std::string_view text, const std::string& shown) {
  MaterialLibrary lib;
  lib.path_ = shown;
  bool header = false;
  std::size_t lineNumber = 0;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    ++lineNumber;
    const std::string t = trimmed(line);
    if (t.empty() || t.front() == '#') continue;
    const auto fail = [&](const std::string& field, const std::string& problem) {
      throw Error("materials " + shown + ": line " + std::to_string(lineNumber) + ", field " + field + ": " +
                  problem);
    };
    const std::vector<std::string> f = fields(t);
    if (!header) {
      for (std::size_t k = 0; k < kColumns.size(); ++k)
        if (k >= f.size() || f[k] != kColumns[k])
          fail(kColumns[k], "the header must read name,125,250,500,1000,2000,4000,source");
      if (f.size() != kColumns.size()) fail("source", "the header has more than 8 fields");
      header = true;
      continue;
    }
    if (f.size() != kColumns.size())
      fail(f.size() < kColumns.size() ? kColumns[f.size()] : "source",
           "a material has 8 fields (name, six coefficients, source), not " + std::to_string(f.size()));
    Material m;
    m.name = f[0];
    if (m.name.empty()) fail("name", "is empty");
    if (platform::equalsIgnoreCase(m.name, kNoMaterial)) fail("name", "\"none\" is kept for no material");
    if (lib.find(m.name)) fail("name", "\"" + m.name + "\" is listed twice");
    for (std::size_t b = 0; b < engine::kBandCount; ++b) {
      const std::string column = std::string(kColumns[b + 1]) + " Hz";
      const auto v = platform::readNumbers(f[b + 1]);
      if (f[b + 1].empty() || !v || v->size() != 1)
        fail(column, "must be a number from 0 to 1, not \"" + f[b + 1] + "\"");
      const double a = v->front();
      if (!(a >= 0 && a <= 1)) fail(column, "must be a number from 0 to 1, not " + f[b + 1]);
      m.absorption[b] = a;
    }
    m.source = f[7];
    if (m.source.empty()) fail("source", "is empty: every material cites where its figures come from");
    lib.materials_.push_back(std::move(m));
  }
  if (!header) throw Error("materials " + shown + ": no header line and no material");
  if (lib.materials_.empty()) throw Error("materials " + shown + ": no material");
  return lib;
}

MaterialLibrary MaterialLibrary::load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error("materials file " + path + " cannot be read");
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw Error("materials file " + path + " cannot be read");
  return parse(text.str(), path);
}

const Material* MaterialLibrary::find(std::string_view name) const {
  for (const Material& m : materials_)
    if (m.name == name) return &m;
  return nullptr;
}

std::vector<std::string> MaterialLibrary::search(std::string_view text) const {
  const std::string wanted = platform::lower(trimmed(text));
  std::vector<std::string> out;
  for (const Material& m : materials_)
    if (platform::lower(m.name).find(wanted) != std::string::npos) out.push_back(m.name);
  return out;
}

std::vector<std::string> materialLibraryPlaces() {
  std::vector<std::string> places;
  if (const char* env = std::getenv("VELMORA_MATERIALS"); env != nullptr && *env != '\0')
    places.emplace_back(env);
  if (const auto folder = programFolder())
    places.push_back((folder->parent_path() / "share" / "velmora" / kMaterialFileName).string());
#ifdef VELMORA_SOURCE_MATERIALS
  places.emplace_back(VELMORA_SOURCE_MATERIALS);
#endif
#ifdef VELMORA_INSTALLED_MATERIALS
  places.emplace_back(VELMORA_INSTALLED_MATERIALS);
#endif
  return places;
}

namespace {

struct LoadedLibrary {
  std::optional<MaterialLibrary> library;
  std::string error;
};

const LoadedLibrary& loadedLibrary() {
  static const LoadedLibrary loaded = [] {
    LoadedLibrary l;
    const auto places = materialLibraryPlaces();
    for (const std::string& place : places) {
      std::error_code ec;
      if (!std::filesystem::is_regular_file(place, ec)) continue;
      try {
        l.library = MaterialLibrary::load(place);
      } catch (const Error& e) {
        l.error = e.what();
      }
      return l;
    }
    l.error = "no material library found (looked for " + std::string(kMaterialFileName) + " in";
    for (const std::string& place : places) l.error += " " + place;
    l.error += ")";
    return l;
  }();
  return loaded;
}

}  // namespace

const MaterialLibrary& materialLibrary() {
  const LoadedLibrary& l = loadedLibrary();
  if (!l.library) throw Error(l.error);
  return *l.library;
}

std::string materialLibraryProblem() {
  const LoadedLibrary& l = loadedLibrary();
  return l.library ? std::string() : l.error;
}

const MaterialLibrary* materialLibraryIfLoaded() {
  const LoadedLibrary& l = loadedLibrary();
  return l.library ? &*l.library : nullptr;
}

}  // namespace velmora::document
