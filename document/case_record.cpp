#include "document/case_record.h"

#include <cmath>
#include <string>

#include "document/materials.h"
#include "document/operations.h"
#include "engine/beams.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::document {

using platform::List;
using platform::Matrix;
using platform::Record;
using platform::Value;

namespace {

// ---- reading typed fields out of a record, with messages that name the field ------------------

class FieldReader {
 public:
  FieldReader(const Value& v, std::string what) : what_(std::move(what)) {
    if (!v.isRecord()) throw Error(what_ + " must be a record, not " + v.kindName());
    record_ = &v.record();
  }

  const Value* find(const char* field) const { return record_->find(field); }

  [[noreturn]] void fail(const char* field, const std::string& problem) const {
    throw Error(what_ + ": field " + field + " " + problem);
  }

  std::string text(const char* field, const Value& v) const {
    if (!v.isText()) fail(field, std::string("must be a text, not ") + v.kindName());
    return v.text();
  }
  std::vector<double> numbers(const char* field, const Value& v) const {
    if (!v.isMatrix()) fail(field, std::string("must hold numbers, not ") + v.kindName());
    if (v.matrix().pages != 1) fail(field, "must be a plain matrix");
    return v.numbers();
  }
  std::vector<double> finiteNumbers(const char* field, const Value& v) const {
    std::vector<double> n = numbers(field, v);
    for (double d : n)
      if (!std::isfinite(d)) fail(field, "holds a value that is not a finite number");
    return n;
  }
  double number(const char* field, const Value& v) const {
    std::vector<double> n = numbers(field, v);
    if (n.size() != 1) fail(field, "must be one number, not " + std::to_string(n.size()));
    return n[0];
  }
  double finiteNumber(const char* field, const Value& v) const {
    double d = number(field, v);
    if (!std::isfinite(d)) fail(field, "must be a finite number");
    return d;
  }
  int whole(const char* field, const Value& v) const {
    double d = finiteNumber(field, v);
    if (d != std::round(d) || std::fabs(d) > 1e9) fail(field, "must be a whole number");
    return static_cast<int>(d);
  }
  std::vector<std::string> texts(const char* field, const Value& v) const {
    if (v.isText()) return {v.text()};
    if (!v.isList()) fail(field, std::string("must be a list of texts, not ") + v.kindName());
    std::vector<std::string> out;
    for (const Value& item : v.list().items) {
      // An empty text may come back from a file as an empty matrix.
      if (item.isEmptyMatrix()) {
        out.emplace_back();
        continue;
      }
      if (!item.isText()) fail(field, std::string("must be a list of texts, not of ") + item.kindName());
      out.push_back(item.text());
    }
    return out;
  }
  std::array<double, 2> pair(const char* field, const Value& v) const {
    std::vector<double> n = finiteNumbers(field, v);
    if (n.size() != 2) fail(field, "must be two numbers, not " + std::to_string(n.size()));
    return {n[0], n[1]};
  }

 private:
  std::string what_;
  const Record* record_ = nullptr;
};

Value rowOf(const std::vector<double>& v) {
  return Value::row(v);
}
Value columnOf(const std::vector<double>& v) {
  return Value(Matrix::column(v));
}
Value pairOf(const std::array<double, 2>& p) {
  return Value::row({p[0], p[1]});
}

template <class T>
std::vector<double> asDoubles(const std::vector<T>& v) {
  return std::vector<double>(v.begin(), v.end());
}

Value gridOf(const engine::Matrix& m) {
  return Value(Matrix{m.rows, m.cols, m.data, 1});
}

Value textList(const std::vector<std::string>& texts) {
  List l;
  for (const auto& t : texts) l.items.emplace_back(t);
  return Value(std::move(l));
}

template <class T>
Value listOfColumns(const std::vector<std::vector<T>>& lists) {
  List l;
  for (const auto& v : lists) l.items.push_back(columnOf(asDoubles(v)));
  return Value(std::move(l));
}
Value listOfRows(const std::vector<std::vector<double>>& lists) {
  List l;
  for (const auto& v : lists) l.items.push_back(rowOf(v));
  return Value(std::move(l));
}

}  // namespace

// ---- AnimationParameters -------------------------------------------------------------------------

Value AnimationParameters::toValue() const {
  Record r;
  r.set("animationtype", static_cast<int>(animationtype));
  r.set("movingobject", movingobject);
  r.set("level", rowOf(level));
  r.set("axis", rowOf(axis));
  r.set("showpath", showpath);
  r.set("pathtype", static_cast<int>(pathtype));
  r.set("step", step);
  r.set("pause", pause);
  r.set("output", output);
  if (ptype) r.set("ptype", *ptype);
  if (xp) r.set("xp", rowOf(*xp));
  if (yp) r.set("yp", rowOf(*yp));
  if (xpath) r.set("xpath", rowOf(*xpath));
  if (ypath) r.set("ypath", rowOf(*ypath));
  return Value(std::move(r));
}

AnimationParameters AnimationParameters::fromValue(const Value& v) {
  FieldReader in(v, "animationparameters");
  AnimationParameters p;
  if (auto* f = in.find("animationtype"))
    p.animationtype = static_cast<AnimationType>(in.whole("animationtype", *f));
  if (auto* f = in.find("movingobject")) p.movingobject = in.whole("movingobject", *f);
  if (auto* f = in.find("level")) p.level = in.numbers("level", *f);
  if (auto* f = in.find("axis")) p.axis = in.numbers("axis", *f);
  if (auto* f = in.find("showpath")) p.showpath = in.whole("showpath", *f);
  if (auto* f = in.find("pathtype")) p.pathtype = static_cast<PathType>(in.whole("pathtype", *f));
  if (auto* f = in.find("step")) p.step = in.whole("step", *f);
  if (auto* f = in.find("pause")) p.pause = in.finiteNumber("pause", *f);
  if (auto* f = in.find("output")) p.output = in.text("output", *f);
  if (auto* f = in.find("ptype")) p.ptype = in.text("ptype", *f);
  if (auto* f = in.find("xp")) p.xp = in.finiteNumbers("xp", *f);
  if (auto* f = in.find("yp")) p.yp = in.finiteNumbers("yp", *f);
  if (auto* f = in.find("xpath")) p.xpath = in.finiteNumbers("xpath", *f);
  if (auto* f = in.find("ypath")) p.ypath = in.finiteNumbers("ypath", *f);
  return p;
}

// ---- CaseDescription -----------------------------------------------------------------------------

Value CaseDescription::toValue() const {
  Record r;
  if (name) r.set("name", *name);
  if (height) r.set("height", *height);
  if (gsize) r.set("gsize", *gsize);
  if (xlim) r.set("xlim", pairOf(*xlim));
  if (ylim) r.set("ylim", pairOf(*ylim));
  if (xwall) r.set("xwall", rowOf(*xwall));
  if (ywall) r.set("ywall", rowOf(*ywall));
  if (alpha) r.set("alpha", rowOf(*alpha));
  if (xaud) r.set("xaud", rowOf(*xaud));
  if (yaud) r.set("yaud", rowOf(*yaud));
  if (xso) r.set("xso", *xso);
  if (yso) r.set("yso", *yso);
  if (xre) r.set("xre", *xre);
  if (yre) r.set("yre", *yre);
  if (Lw) r.set("Lw", *Lw);
  if (animationparameters) r.set("animationparameters", animationparameters->toValue());
  if (curves) r.set("curves", *curves);
  if (Nsurface) r.set("Nsurface", *Nsurface);
  if (order) r.set("order", *order);
  if (wallmaterial) r.set("wallmaterial", textList(*wallmaterial));
  if (wallbands) r.set("wallbands", *wallbands);
  if (roomheight) r.set("roomheight", *roomheight);
  if (floormaterial) r.set("floormaterial", *floormaterial);
  if (floorbands) r.set("floorbands", rowOf(*floorbands));
  if (ceilingmaterial) r.set("ceilingmaterial", *ceilingmaterial);
  if (ceilingbands) r.set("ceilingbands", rowOf(*ceilingbands));
  if (scan) r.set("scan", *scan);
  if (geometricshapes) r.set("geometricshapes", *geometricshapes);
  if (noselectchange) r.set("noselectchange", 1);
  if (noaudiencechange) r.set("noaudiencechange", 1);
  return Value(std::move(r));
}

CaseDescription CaseDescription::fromValue(const Value& v) {
  FieldReader in(v, "case description");
  CaseDescription d;
  if (auto* f = in.find("name")) d.name = in.text("name", *f);
  if (auto* f = in.find("height")) d.height = in.finiteNumber("height", *f);
  if (auto* f = in.find("gsize")) {
    d.gsize = in.finiteNumber("gsize", *f);
    if (*d.gsize <= 0) in.fail("gsize", "must be positive");
  }
  if (auto* f = in.find("xlim")) d.xlim = in.pair("xlim", *f);
  if (auto* f = in.find("ylim")) d.ylim = in.pair("ylim", *f);
  if (auto* f = in.find("xwall")) d.xwall = in.finiteNumbers("xwall", *f);
  if (auto* f = in.find("ywall")) d.ywall = in.finiteNumbers("ywall", *f);
  if (auto* f = in.find("alpha")) d.alpha = in.finiteNumbers("alpha", *f);
  if (auto* f = in.find("xaud")) d.xaud = in.finiteNumbers("xaud", *f);
  if (auto* f = in.find("yaud")) d.yaud = in.finiteNumbers("yaud", *f);
  if (auto* f = in.find("xso")) d.xso = in.finiteNumber("xso", *f);
  if (auto* f = in.find("yso")) d.yso = in.finiteNumber("yso", *f);
  if (auto* f = in.find("xre")) d.xre = in.finiteNumber("xre", *f);
  if (auto* f = in.find("yre")) d.yre = in.finiteNumber("yre", *f);
  if (auto* f = in.find("Lw")) d.Lw = in.finiteNumber("Lw", *f);
  if (auto* f = in.find("animationparameters")) d.animationparameters = AnimationParameters::fromValue(*f);
  if (auto* f = in.find("curves")) {
    in.numbers("curves", *f);
    const Matrix& m = f->matrix();
    if (!m.empty() && m.cols != 9) in.fail("curves", "must have nine columns, not " + std::to_string(m.cols));
    d.curves = m;
  }
  if (auto* f = in.find("Nsurface")) {
    d.Nsurface = in.whole("Nsurface", *f);
    if (*d.Nsurface < 1) in.fail("Nsurface", "must be at least 1");
  }
  if (auto* f = in.find("order")) d.order = in.whole("order", *f);
  if (auto* f = in.find("wallmaterial")) d.wallmaterial = in.texts("wallmaterial", *f);
  if (auto* f = in.find("wallbands")) {
    in.finiteNumbers("wallbands", *f);
    d.wallbands = f->matrix();
  }
  if (auto* f = in.find("roomheight")) d.roomheight = in.finiteNumber("roomheight", *f);
  if (auto* f = in.find("floormaterial")) d.floormaterial = in.text("floormaterial", *f);
  if (auto* f = in.find("floorbands")) d.floorbands = in.finiteNumbers("floorbands", *f);
  if (auto* f = in.find("ceilingmaterial")) d.ceilingmaterial = in.text("ceilingmaterial", *f);
  if (auto* f = in.find("ceilingbands")) d.ceilingbands = in.finiteNumbers("ceilingbands", *f);
  if (auto* f = in.find("scan")) d.scan = in.text("scan", *f);
  if (auto* f = in.find("geometricshapes")) d.geometricshapes = in.text("geometricshapes", *f);
  d.noselectchange = in.find("noselectchange") != nullptr;
  d.noaudiencechange = in.find("noaudiencechange") != nullptr;

  // Shapes that every consumer relies on.
  if (d.xwall.has_value() != d.ywall.has_value())
    in.fail(d.xwall ? "ywall" : "xwall", "is missing: xwall and ywall go together");
  if (d.xwall) {
    if (d.xwall->size() != d.ywall->size())
      in.fail("ywall", "must have as many values as xwall (" + std::to_string(d.xwall->size()) + ")");
    if (d.xwall->size() < 3) in.fail("xwall", "must have at least 3 vertices");
  }
  if (d.alpha) {
    if (d.xwall && d.alpha->size() != d.xwall->size())
      in.fail("alpha", "must have one value per wall (" + std::to_string(d.xwall->size()) + ")");
  }
  if (d.wallmaterial.has_value() != d.wallbands.has_value())
    in.fail(d.wallmaterial ? "wallbands" : "wallmaterial", "is missing: wallmaterial and wallbands go together");
  if (d.wallmaterial && !d.xwall) in.fail("wallmaterial", "needs the walls (xwall and ywall) beside it");
  if (d.floormaterial.has_value() != d.floorbands.has_value())
    in.fail(d.floormaterial ? "floorbands" : "floormaterial",
            "is missing: floormaterial and floorbands go together");
  if (d.ceilingmaterial.has_value() != d.ceilingbands.has_value())
    in.fail(d.ceilingmaterial ? "ceilingbands" : "ceilingmaterial",
            "is missing: ceilingmaterial and ceilingbands go together");
  if (d.xaud.has_value() != d.yaud.has_value())
    in.fail(d.xaud ? "yaud" : "xaud", "is missing: xaud and yaud go together");
  if (d.xaud && (d.xaud->size() != 4 || d.yaud->size() != 4))
    in.fail("xaud", "and yaud must hold 4 corners each");
  d.checkLimits();
  return d;
}

namespace {

[[noreturn]] void beyond(const char* field, const std::string& problem) {
  throw Error(std::string("case description: field ") + field + " " + problem);
}

// Whole numbers in full (a limit reads "1000000", not "1e+06"), others as the console writes them.
std::string shown(double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
    return std::to_string(static_cast<long long>(v));
  return platform::formatNumber(v);
}

const std::string& reachText() {
  static const std::string text = "within " + shown(kFarthestCoordinate) + " m of the origin";
  return text;
}

void checkCoordinate(const char* field, double v) {
  if (!std::isfinite(v) || std::fabs(v) > kFarthestCoordinate)
    beyond(field, "must hold finite coordinates " + reachText() + ", got " + shown(v));
}

void checkCoordinates(const char* field, const std::vector<double>& values) {
  for (double v : values) checkCoordinate(field, v);
}

void checkSide(const char* field, const std::array<double, 2>& side) {
  checkCoordinate(field, side[0]);
  checkCoordinate(field, side[1]);
  if (!(side[0] < side[1])) beyond(field, "must run from a lower to a higher limit");
}

void checkWholeIn(const char* field, double v, double low, double high) {
  if (!(v == std::floor(v) && v >= low && v <= high)) {
    beyond(field, "must be a whole number from " + shown(low) + " to " + shown(high) + ", got " + shown(v));
  }
}

void checkBands(const char* field, const std::vector<double>& bands) {
  if (bands.size() != engine::kBandCount)
    beyond(field, "must hold six band coefficients (125 to 4000 Hz), got " + std::to_string(bands.size()));
  for (double b : bands)
    if (!(b >= 0 && b <= 1)) beyond(field, "must hold coefficients from 0 to 1, got " + shown(b));
}

void checkMaterials(const CaseDescription& d) {
  if (d.wallbands) {
    const Matrix& m = *d.wallbands;
    if (m.pages != 1 || (!m.empty() && m.cols != engine::kBandCount))
      beyond("wallbands", "must have six columns (125 to 4000 Hz), not " + std::to_string(m.cols));
    if (d.xwall && m.rows != d.xwall->size())
      beyond("wallbands", "must have one row per wall (" + std::to_string(d.xwall->size()) + "), not " +
                              std::to_string(m.rows));
    for (double b : m.data)
      if (!(b >= 0 && b <= 1)) beyond("wallbands", "must hold coefficients from 0 to 1, got " + shown(b));
  }
  if (d.wallmaterial) {
    if (d.xwall && d.wallmaterial->size() != d.xwall->size())
      beyond("wallmaterial", "must name one material per wall (" + std::to_string(d.xwall->size()) + "), not " +
                                 std::to_string(d.wallmaterial->size()));
  }
  if (d.roomheight && !(std::isfinite(*d.roomheight) && *d.roomheight > 0 && *d.roomheight <= kHighestRoom))
    beyond("roomheight", "must be a height above 0 and at most " + shown(kHighestRoom) + " m, got " +
                             shown(*d.roomheight));
  if (d.floorbands) checkBands("floorbands", *d.floorbands);
  if (d.ceilingbands) checkBands("ceilingbands", *d.ceilingbands);
  // A material name is a label beside the bands saved with it: a name the library no longer has (a
  // renamed material, a colleague's own library) still opens, with the bands it was saved with.
}

}  // namespace

void CaseDescription::checkLimits() const {
  if (height && !std::isfinite(*height)) beyond("height", "must be a finite number");
  if (gsize && !(std::isfinite(*gsize) && *gsize > 0)) beyond("gsize", "must be a positive number");
  if (xlim) checkSide("xlim", *xlim);
  if (ylim) checkSide("ylim", *ylim);
  if (xwall) {
    if (xwall->size() > kMostWalls) {
      beyond("xwall", "must have at most " + std::to_string(kMostWalls) + " vertices, got " +
                          std::to_string(xwall->size()));
    }
    checkCoordinates("xwall", *xwall);
  }
  if (ywall) checkCoordinates("ywall", *ywall);
  if (alpha) {
    for (double a : *alpha)
      if (!(a >= 0 && a <= 100)) beyond("alpha", "must hold percentages from 0 to 100, got " + shown(a));
  }
  if (xaud) checkCoordinates("xaud", *xaud);
  if (yaud) checkCoordinates("yaud", *yaud);
  for (const auto& [field, v] : {std::pair{"xso", xso}, {"yso", yso}, {"xre", xre}, {"yre", yre}})
    if (v) checkCoordinate(field, *v);
  if (Lw && !std::isfinite(*Lw)) beyond("Lw", "must be a finite number");
  if (Nsurface) checkWholeIn("Nsurface", *Nsurface, 1, kMostMapIntervals);
  if (order) checkWholeIn("order", *order, 1, engine::kMaxOrder);
  checkMaterials(*this);
  if (curves && !curves->empty()) {
    const Matrix& m = *curves;
    if (m.cols != 9) beyond("curves", "must have nine columns, not " + std::to_string(m.cols));
    for (std::size_t r = 0; r < m.rows; ++r) {
      if (!std::isfinite(m(r, 0))) beyond("curves", "must hold finite numbers");
      for (std::size_t c = 1; c <= 6; ++c) checkCoordinate("curves", m(r, c));
      for (std::size_t c = 7; c <= 8; ++c)
        checkWholeIn("curves", m(r, c), 1, static_cast<double>(kMostWalls));
    }
  }
  if (animationparameters) {
    const AnimationParameters& a = *animationparameters;
    checkWholeIn("animationparameters", a.step, 5, 2000);
    for (const auto* path : {&a.xp, &a.yp, &a.xpath, &a.ypath})
      if (*path) checkCoordinates("animationparameters", **path);
  }
}

// ---- CaseRecord ----------------------------------------------------------------------------------

Value CaseRecord::toValue() const {
  Record r;
  r.set("name", name);
  r.set("height", height);
  r.set("gsize", gsize);
  r.set("xlim", pairOf(xlim));
  r.set("ylim", pairOf(ylim));
  r.set("Lw", Lw);
  r.set("Hr", Hr);
  r.set("colormap", colormap);
  r.set("climmode", climmode);
  r.set("clim", pairOf(clim));
  r.set("displayvalue", displayvalue);
  r.set("actionlist", textList(actionlist));
  List props;
  for (const auto& p : proplist) props.items.push_back(p.toValue());
  r.set("proplist", Value(std::move(props)));
  r.set("curves", curves);
  if (animationparameters) r.set("animationparameters", animationparameters->toValue());
  if (order > 1) r.set("order", order);
  if (roomheight) r.set("roomheight", *roomheight);
  for (const auto& [field, surface] : {std::pair{"floor", &floor}, std::pair{"ceiling", &ceiling}}) {
    if (!*surface) continue;
    Record m;
    m.set("name", (*surface)->name);
    m.set("bands", rowOf(std::vector<double>((*surface)->bands.begin(), (*surface)->bands.end())));
    r.set(field, Value(std::move(m)));
  }
  if (iscnvx) r.set("iscnvx", *iscnvx);
  if (ang) r.set("ang", rowOf(asDoubles(*ang)));
  if (ina) r.set("ina", columnOf(asDoubles(*ina)));
  if (images) {
    List l;
    for (const auto& im : *images) l.items.push_back(rowOf(im.toRow()));
    r.set("images", Value(std::move(l)));
  }
  if (iwv) r.set("iwv", columnOf(asDoubles(*iwv)));
  if (xwv) r.set("xwv", gridOf(*xwv));
  if (ywv) r.set("ywv", gridOf(*ywv));
  if (diffcoef) r.set("diffcoef", columnOf(*diffcoef));
  if (PT) r.set("PT", gridOf(*PT));
  if (RT) r.set("RT", gridOf(*RT));
  if (Pso) r.set("Pso", gridOf(*Pso));
  if (Pwall) r.set("Pwall", listOfColumns(*Pwall));
  if (inDS) r.set("inDS", columnOf(asDoubles(*inDS)));
  if (inRW) r.set("inRW", listOfColumns(*inRW));
  if (xpol) r.set("xpol", listOfRows(*xpol));
  if (ypol) r.set("ypol", listOfRows(*ypol));
  for (const auto& [field, grids] : {std::pair{"RTorder", &RTorder}, std::pair{"PTorder", &PTorder}}) {
    if (!*grids) continue;
    List l;
    for (const auto& m : **grids) l.items.push_back(gridOf(m));
    r.set(field, Value(std::move(l)));
  }
  if (noprogressbar) r.set("noprogressbar", *noprogressbar);
  return Value(std::move(r));
}

std::optional<double> zoneTableStep(double extent) {
  static constexpr std::array<std::pair<double, double>, 8> kTable{
      {{4, 0.1}, {10, 0.25}, {20, 0.5}, {40, 1}, {80, 2}, {160, 4}, {320, 8}, {640, 16}}};
  for (const auto& [limit, step] : kTable)
    if (limit >= extent) return step;
  return std::nullopt;
}

double gsizeForZone(double zone) {
  return zoneTableStep(zone).value_or(16);
}

CaseRecord newCaseRecord(double zone) {
  CaseRecord r;
  r.name = "not saved";
  r.height = zone;
  r.gsize = gsizeForZone(zone);
  r.xlim = {0, zone};
  r.ylim = {-zone / 2, zone / 2};
  return r;
}

DefaultRoom defaultRoom(double zone) {
  DefaultRoom room;
  const double cx = zone / 2;
  const double side = std::ceil(zone / 1.5);
  const double x0 = cx - side / 2, x1 = cx + side / 2, y0 = -side / 2, y1 = side / 2;
  room.xwall = {x0, x1, x1, x0};
  room.ywall = {y0, y0, y1, y1};
  room.alpha = {0, 0, 0, 0};
  const double a = std::ceil(zone / 2);
  room.xaud = {cx - a / 2, cx + a / 2, cx + a / 2, cx - a / 2};
  room.yaud = {-a / 2, -a / 2, a / 2, a / 2};
  room.Nsurface = 20;
  const double g = gsizeForZone(zone);
  room.xso = x0 + g;
  room.yso = 0;
  room.xre = x1 - g;
  room.yre = 0;
  return room;
}

// ---- object records ------------------------------------------------------------------------------

namespace {
Value handlePair(const std::array<platform::Handle, 2>& con) {
  List l;
  l.items = {Value::handle(con[0]), Value::handle(con[1])};
  return Value(std::move(l));
}
}  // namespace

Value WallRecord::toValue() const {
  Record r;
  r.set("con", handlePair(con));
  r.set("alpha", alpha);
  if (material) {
    r.set("material", material->name);
    r.set("bands", Value::row(std::vector<double>(material->bands.begin(), material->bands.end())));
  }
  return Value(std::move(r));
}

Value LinkRecord::toValue() const {
  Record r;
  r.set("con", handlePair(con));
  return Value(std::move(r));
}

}  // namespace velmora::document
