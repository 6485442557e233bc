// The DXF plan reader: a check of the raw text, then dxflib's callbacks collect the pieces by layer.

#include "plan/dxf_reader.h"

#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string_view>

#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::plan {

namespace {

// Coordinates beyond this (in drawing units) are taken as damage, not as a plan.
constexpr double kMaxCoordinate = 1e9;

std::string_view trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

std::optional<long long> integer(std::string_view s) {
  s = trimmed(s);
  long long v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

// Group codes whose values are real numbers. dxflib reads one it cannot parse as 0, and an empty one
// as whatever its stack held: both are refused in the sections it is given.
bool realCode(long long c) {
  return (c >= 10 && c <= 59) || (c >= 110 && c <= 149) || (c >= 210 && c <= 239) || (c >= 460 && c <= 469) ||
         (c >= 1010 && c <= 1059);
}

// A finite number at the start of the value, read as dxflib reads it: a leading plus sign, a comma for
// the decimal point, and anything after the number ignored.
bool startsWithNumber(std::string_view v) {
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  std::string s(v.substr(0, 64));
  std::replace(s.begin(), s.end(), ',', '.');
  double d = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  return ec == std::errc() && std::isfinite(d);
}

// dxflib reads each line into a buffer of 1024 characters; given a longer line it stops reading
// without ever reaching the end, and loops for ever. Such lines hold texts, not geometry: they are cut
// to what the buffer takes.
constexpr std::size_t kMaxParsedLine = 1023;

// The entities the collector reads, with the block brackets and the end of an old-style polyline.
bool collectedEntity(std::string_view type) {
  for (std::string_view t :
       {"LINE", "LWPOLYLINE", "POLYLINE", "VERTEX", "SEQEND", "ARC", "CIRCLE", "BLOCK", "ENDBLK"})
    if (type == t) return true;
  return false;
}

// A text line by line, counted; nothing once it is read through.
struct Lines {
  std::string_view rest;
  std::size_t number = 0;
  std::optional<std::string_view> next() {
    if (rest.empty()) return std::nullopt;
    const auto end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    ++number;
    return line;
  }
};

// What dxflib is given of a checked text: the header and the entities the collector reads, without
// their extended data, every line cut to what its buffer takes. Hatches, splines, texts, tables and
// objects never reach it: the plan needs none of them, and its handling of some is unsound (a hatch
// edge's type is tested before anything sets it).
std::string parsedPart(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  Lines lines{text};
  std::string_view section;
  bool sectionName = false, keepEntity = false;
  const auto emit = [&](std::string_view code, std::string_view value) {
    out.append(code.substr(0, kMaxParsedLine)) += '\n';
    out.append(value.substr(0, kMaxParsedLine)) += '\n';
  };
  while (!lines.rest.empty()) {
    const std::string_view codeLine = *lines.next();
    if (lines.rest.empty() && codeLine.find_first_not_of(" \t\r") == std::string_view::npos) break;
    const std::string_view valueLine = lines.next().value_or(std::string_view{});
    const long long code = integer(codeLine).value_or(-1);
    const std::string_view value = trimmed(valueLine);
    if (code == 0 && (value == "SECTION" || value == "ENDSEC" || value == "EOF")) {
      emit(codeLine, valueLine);
      sectionName = value == "SECTION";
      section = {};
      if (value == "EOF") break;
      continue;
    }
    if (code == 2 && sectionName) {
      emit(codeLine, valueLine);
      section = value;
      sectionName = false;
      continue;
    }
    sectionName = false;
    if (section == "HEADER") {
      emit(codeLine, valueLine);
    } else if (section == "ENTITIES" || section == "BLOCKS") {
      if (code == 0) keepEntity = collectedEntity(value);
      if (keepEntity && code >= 0 && code < 1000) emit(codeLine, valueLine);
    }
  }
  return out;
}

// What one entity announces and what it holds: a parser sizes its buffers from the announced counts
// (vertices of a light polyline, points of a leader, control points, fit points and knots of a spline).
struct EntityCounts {
  std::string type;
  std::size_t line = 0;
  long long points10 = 0, points11 = 0, knots40 = 0;
  long long announcedPoints = 0, announcedFitPoints = 0, announcedKnots = 0;
  bool negative = false;

  void note(long long code, long long value) {
    long long* announced = nullptr;
    if ((type == "LWPOLYLINE" && code == 90) || (type == "LEADER" && code == 76) ||
        (type == "SPLINE" && code == 73)) {
      announced = &announcedPoints;
    } else if (type == "SPLINE" && code == 74) {
      announced = &announcedFitPoints;
    } else if (type == "SPLINE" && code == 72) {
      announced = &announcedKnots;
    }
    if (!announced) return;
    negative = negative || value < 0;
    *announced = std::max(*announced, value);
  }
  bool damaged() const {
    // A light polyline's count and its vertices always agree in a sound file.
    if (type == "LWPOLYLINE" && announcedPoints != points10) return true;
    return negative || announcedPoints > points10 || announcedFitPoints > points11 || announcedKnots > knots40;
  }
};

class PlanCollector : public DL_CreationAdapter {
 public:
  using DL_CreationAdapter::setVariableInt;

  void setVariableInt(const std::string& key, int value, int) override {
    if (key == "$INSUNITS") plan.insunits = value;
  }
  void addBlock(const DL_BlockData&) override {
    finishPolyline();
    inBlock_ = true;
  }
  void endBlock() override {
    finishPolyline();
    inBlock_ = false;
  }

  void addLine(const DL_LineData& d) override {
    finishPolyline();
    if (inBlock_) return;
    add({{{ocs(d.x1), d.y1}, {ocs(d.x2), d.y2}, 0}}, {d.x1, d.y1, d.x2, d.y2});
  }
  void addArc(const DL_ArcData& d) override {
    finishPolyline();
    if (inBlock_) return;
    double a1 = d.angle1 * std::numbers::pi / 180, a2 = d.angle2 * std::numbers::pi / 180;
    if (mirrored()) {  // seen from below: the arc runs the other way round
      const double t = a1;
      a1 = std::numbers::pi - a2;
      a2 = std::numbers::pi - t;
    }
    if (!usable({d.cx, d.cy, d.radius, a1, a2}) || !(d.radius > 0)) return flagDamage();
    add(arcSegments({ocs(d.cx), d.cy}, d.radius, a1, a2), {});
  }
  void addCircle(const DL_CircleData& d) override {
    finishPolyline();
    if (inBlock_) return;
    if (!usable({d.cx, d.cy, d.radius}) || !(d.radius > 0)) return flagDamage();
    add(arcSegments({ocs(d.cx), d.cy}, d.radius, 0, 0), {});
  }
  void addPolyline(const DL_PolylineData& d) override {
    finishPolyline();
    polyline_ = Polyline{};
    polyline_->announced = d.number;
    polyline_->closed = (d.flags & 1) != 0;
    polyline_->mesh = (d.flags & (16 | 64)) != 0;  // 3-D meshes are no outline
    polyline_->mirrored = mirrored();
  }
  void addVertex(const DL_VertexData& d) override {
    if (!polyline_) return;
    polyline_->vertices.push_back(d);
    // A light polyline announces its vertex count; it ends with its last vertex.
    if (polyline_->announced > 0 && polyline_->vertices.size() == polyline_->announced) finishPolyline();
  }
  void endSequence() override { finishPolyline(); }

  void finishPolyline() {
    if (!polyline_) return;
    Polyline p = std::move(*polyline_);
    polyline_.reset();
    if (inBlock_ || p.mesh || p.vertices.size() < 2) return;
    std::vector<DxfSegment> pieces;
    const std::size_t n = p.vertices.size();
    for (std::size_t k = 0; k + 1 < n || (p.closed && k < n); ++k) {
      const DL_VertexData& a = p.vertices[k];
      const DL_VertexData& b = p.vertices[(k + 1) % n];
      if (!usable({a.x, a.y, b.x, b.y, a.bulge})) return flagDamage();
      const double sign = p.mirrored ? -1 : 1;
      pieces.push_back(bulgeSegment({sign * a.x, a.y}, {sign * b.x, b.y}, sign * a.bulge));
    }
    add(std::move(pieces), {});
  }

  DxfPlan plan;
  bool damaged = false;

 private:
  struct Polyline {
    std::vector<DL_VertexData> vertices;
    unsigned announced = 0;
    bool closed = false, mesh = false, mirrored = false;
  };

  // Entities drawn with the extrusion (0, 0, -1) are seen from below: x runs the other way.
  bool mirrored() { return getExtrusion() != nullptr && getExtrusion()->getDirection()[2] < 0; }
  double ocs(double x) { return mirrored() ? -x : x; }

  static bool usable(std::initializer_list<double> values) {
    for (double v : values)
      if (!std::isfinite(v) || std::abs(v) > kMaxCoordinate) return false;
    return true;
  }
  void flagDamage() { damaged = true; }

  void add(std::vector<DxfSegment> pieces, std::initializer_list<double> check) {
    if (!usable(check)) return flagDamage();
    const std::string name = getAttributes().getLayer();
    auto it = index_.find(platform::lower(name));
    if (it == index_.end()) {
      it = index_.emplace(platform::lower(name), plan.layers.size()).first;
      plan.layers.push_back({name, 0, {}});
    }
    DxfLayer& layer = plan.layers[it->second];
    ++layer.entities;
    layer.pieces.insert(layer.pieces.end(), pieces.begin(), pieces.end());
  }

  bool inBlock_ = false;
  std::optional<Polyline> polyline_;
  std::map<std::string, std::size_t> index_;  // layer names are not case-sensitive
};

}  // namespace

void checkDxfText(const std::string& text, const std::string& name) {
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) throw Error(name + " is empty: it holds no drawing.");
  if (text.rfind("AutoCAD Binary DXF", 0) == 0) {
    throw Error(name + " is a binary DXF file: save the plan as ASCII DXF and import it again.");
  }
  const std::string notDxf = name + " is not a DXF file.";
  if (text.find('\0') != std::string::npos) throw Error(notDxf);

  Lines lines{text};
  // A DXF file starts with comments (code 999) and then "0 SECTION".
  bool started = false;
  std::string section;
  bool sectionName = false;
  std::size_t entities = 0, points = 0;
  const auto drawing = [&] { return section == "ENTITIES" || section == "BLOCKS"; };
  EntityCounts current;
  const auto endEntity = [&] {
    if (current.damaged()) {
      throw Error(name + " is damaged: the " + current.type + " at line " + std::to_string(current.line) +
                  " does not hold the points it announces.");
    }
  };
  while (const auto codeLine = lines.next()) {
    if (trimmed(*codeLine).empty() && lines.rest.empty()) break;  // a final blank line
    const auto code = integer(*codeLine);
    const auto valueLine = lines.next();
    if (!code || !valueLine) {
      if (!started) throw Error(notDxf);
      throw Error(name + " is damaged at line " + std::to_string(lines.number) + ".");
    }
    const std::string_view value = trimmed(*valueLine);
    if (!started) {
      if (*code == 999) continue;
      if (*code != 0 || value != "SECTION") throw Error(notDxf);
      started = true;
    }
    if (*code == 0) {
      endEntity();
      current = EntityCounts{std::string(value), lines.number - 1};
      sectionName = value == "SECTION";
      if (value == "ENDSEC") section.clear();
      if (drawing() && ++entities > kMaxDxfEntities) {
        throw Error(name + " holds more than " + std::to_string(kMaxDxfEntities) +
                    " drawing entities: too many for a floor plan.");
      }
      continue;
    }
    if (*code == 2 && sectionName) {
      section = std::string(value);
      sectionName = false;
    }
    if (realCode(*code) && (drawing() || section == "HEADER") && !startsWithNumber(value)) {
      throw Error(name + " is damaged at line " + std::to_string(lines.number) +
                  ": a number there is missing or unreadable.");
    }
    if (*code == 10) {
      ++current.points10;
      if (drawing() && ++points > kMaxDxfPoints) {
        throw Error(name + " holds more than " + std::to_string(kMaxDxfPoints) +
                    " points: too many for a floor plan.");
      }
    }
    if (*code == 11) ++current.points11;
    if (*code == 40) ++current.knots40;
    if (*code == 72 || *code == 73 || *code == 74 || *code == 76 || *code == 90) {
      // Read as a C parser reads it: leading sign and digits, anything after ignored.
      current.note(*code, std::strtoll(std::string(value).c_str(), nullptr, 10));
    }
  }
  endEntity();
  if (!started) throw Error(notDxf);
}

DxfPlan readDxfText(const std::string& text, const std::string& name) {
  checkDxfText(text, name);
  PlanCollector collector;
  DL_Dxf dxf;
  std::istringstream stream(parsedPart(text));
  if (!dxf.in(stream, &collector)) throw Error(name + " could not be read.");
  collector.finishPolyline();
  if (collector.damaged) throw Error(name + " is damaged: it holds coordinates that are not usable numbers.");
  return std::move(collector.plan);
}

DxfPlan readDxfPlan(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path p(path);
  if (path.empty() || !fs::is_regular_file(p, ec)) throw Error("file " + path + " not found ...");
  const std::string name = p.filename().string();
  const auto size = fs::file_size(p, ec);
  if (ec) throw Error(name + " could not be read.");
  if (size > kMaxDxfBytes) {
    throw Error(name + " is larger than " + std::to_string(kMaxDxfBytes >> 20) +
                " MB: too large for a floor plan.");
  }
  std::ifstream in(p, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!in.read(text.data(), static_cast<std::streamsize>(size))) throw Error(name + " could not be read.");
  return readDxfText(text, name);
}

}  // namespace velmora::plan
