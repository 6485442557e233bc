// The Python module `velmora._velmora` (imported through the package `velmora`): the engine's chain
// over a room given as numbers, the arrivals at a receptor as the echogram shows them, levels, and
// case files read and written as the program reads and writes them. No window and no Qt: the room
// is checked as a case description is (document::CaseDescription::fromValue, the program's own
// messages), the map is engine::computecase, the arrivals polar::computePolarLevels and
// polar::echogramFigures on plain data, and the files go through document/case_file.h.
//
// Every engine call runs with the GIL released; its results are copied into numpy arrays after.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "document/acoustics.h"
#include "document/case_file.h"
#include "document/case_record.h"
#include "engine/bands.h"
#include "engine/beams.h"
#include "engine/chain.h"
#include "engine/energy.h"
#include "engine/geometry.h"
#include "engine/surface.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/model/value.h"
#include "polar/echogram.h"
#include "polar/polar.h"
#include "python/heap_settings.h"

namespace py = pybind11;

namespace velmora::python {

using document::CaseDescription;
using platform::Value;

namespace {

constexpr const char* kDescription = "case description";

// ---- Python values to the program's values ----------------------------------------------------

[[noreturn]] void fieldError(const std::string& field, const std::string& problem) {
  throw Error(std::string(kDescription) + ": field " + field + " " + problem);
}

Value toValue(const py::handle& object, const std::string& field);

// Numbers of any shape numpy reads as real numbers: one number, a row (1-D) or a matrix (2-D).
std::optional<Value> numericValue(const py::handle& object, const std::string& field) {
  if (py::isinstance<py::str>(object) || py::isinstance<py::bytes>(object) ||
      py::isinstance<py::dict>(object))
    return std::nullopt;
  py::array_t<double, py::array::f_style | py::array::forcecast> a;
  try {
    a = py::array_t<double, py::array::f_style | py::array::forcecast>::ensure(object);
  } catch (const py::error_already_set&) {
    return std::nullopt;
  }
  if (!a) {
    PyErr_Clear();
    return std::nullopt;
  }
  if (a.ndim() > 2)
    fieldError(field, "must be a plain matrix, not " + std::to_string(a.ndim()) + "-dimensional");
  const double* data = a.data();
  const auto count = static_cast<std::size_t>(a.size());
  std::vector<double> values(data, data + count);
  if (a.ndim() == 0) return Value(values.at(0));
  if (a.ndim() == 1) return Value::row(std::move(values));
  const auto rows = static_cast<std::size_t>(a.shape(0)), cols = static_cast<std::size_t>(a.shape(1));
  if (count == 0) return Value(platform::Matrix{});
  return Value(platform::Matrix{rows, cols, std::move(values), 1});
}

Value toValue(const py::handle& object, const std::string& field) {
  if (py::isinstance<py::str>(object)) return Value(object.cast<std::string>());
  if (py::isinstance<py::dict>(object)) {
    platform::Record r;
    for (const auto& [key, item] : object.cast<py::dict>()) {
      if (!py::isinstance<py::str>(key)) fieldError(field, "must have text field names");
      if (item.is_none()) continue;
      const std::string name = key.cast<std::string>();
      r.set(name, toValue(item, field + "." + name));
    }
    return Value(std::move(r));
  }
  if (auto v = numericValue(object, field)) return *v;
  if (py::isinstance<py::list>(object) || py::isinstance<py::tuple>(object)) {
    platform::List l;
    for (const auto& item : object) l.items.push_back(toValue(item, field));
    return Value(std::move(l));
  }
  fieldError(field, std::string("cannot hold a Python ") +
                        py::str(object.get_type().attr("__name__")).cast<std::string>());
}

// The fields of a case description, in the order the program writes them.
const std::vector<std::string>& caseFields() {
  static const std::vector<std::string> fields{"name",
                                               "height",
                                               "gsize",
                                               "xlim",
                                               "ylim",
                                               "xwall",
                                               "ywall",
                                               "alpha",
                                               "xaud",
                                               "yaud",
                                               "xso",
                                               "yso",
                                               "xre",
                                               "yre",
                                               "Lw",
                                               "animationparameters",
                                               "curves",
                                               "Nsurface",
                                               "order",
                                               "wallmaterial",
                                               "wallbands",
                                               "roomheight",
                                               "floormaterial",
                                               "floorbands",
                                               "ceilingmaterial",
                                               "ceilingbands",
                                               "scan",
                                               "geometricshapes",
                                               "noselectchange",
                                               "noaudiencechange"};
  return fields;
}

// A case description from a dict with the protocol's field names; unknown names are refused (a field
// the program would pass over is most likely a typing error in a script), the rest is the program's
// own check.
CaseDescription describe(const py::dict& fields) {
  platform::Record r;
  for (const auto& [key, item] : fields) {
    if (!py::isinstance<py::str>(key)) throw Error(std::string(kDescription) + ": field names must be texts");
    const std::string name = key.cast<std::string>();
    if (std::find(caseFields().begin(), caseFields().end(), name) == caseFields().end())
      throw Error(std::string(kDescription) + ": unknown field " + name);
    if (item.is_none()) continue;
    // The two flags count by their presence: False leaves them out.
    if ((name == "noselectchange" || name == "noaudiencechange") && !PyObject_IsTrue(item.ptr())) continue;
    r.set(name, toValue(item, name));
  }
  return CaseDescription::fromValue(Value(std::move(r)));
}

// ---- the program's values to Python ------------------------------------------------------------

py::array_t<double> vector1d(const std::vector<double>& v) {
  py::array_t<double> a(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}

template <class T>
py::array_t<std::int64_t> indices1d(const std::vector<T>& v) {
  py::array_t<std::int64_t> a(static_cast<py::ssize_t>(v.size()));
  std::transform(v.begin(), v.end(), a.mutable_data(), [](T i) { return static_cast<std::int64_t>(i); });
  return a;
}

// A column-major matrix as a numpy array of the same shape (a[i, j] is m(i, j)).
py::array_t<double> grid(std::size_t rows, std::size_t cols, const std::vector<double>& data) {
  py::array_t<double, py::array::f_style> a({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(cols)});
  std::copy(data.begin(), data.end(), a.mutable_data());
  return a;
}

// The engine's own buffers handed to numpy without a copy: the array keeps the vector alive. A copy
// of a map's results (several MB at 200 intervals) into fresh memory cost more than the rest of the
// call together.
template <class T>
py::array_t<T> adopt(std::vector<T>&& v, std::vector<py::ssize_t> shape, std::vector<py::ssize_t> strides) {
  if (v.empty()) return py::array_t<T>(shape, strides);
  auto* owner = new std::vector<T>(std::move(v));
  py::capsule release(owner, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return py::array_t<T>(shape, strides, owner->data(), release);
}
template <class T>
py::array_t<T> adopt(std::vector<T>&& v) {
  const auto n = static_cast<py::ssize_t>(v.size());
  return adopt(std::move(v), {n}, {static_cast<py::ssize_t>(sizeof(T))});
}
// A grid in its column order: a[i, j] is m(i, j).
py::array_t<double> adopt(engine::Matrix&& m) {
  const auto rows = static_cast<py::ssize_t>(m.rows), cols = static_cast<py::ssize_t>(m.cols);
  const auto item = static_cast<py::ssize_t>(sizeof(double));
  return adopt(std::move(m.data), {rows, cols}, {item, item * rows});
}

py::dict animationDict(const document::AnimationParameters& a) {
  py::dict d;
  d["animationtype"] = static_cast<int>(a.animationtype);
  d["movingobject"] = a.movingobject;
  d["level"] = vector1d(a.level);
  d["axis"] = vector1d(a.axis);
  d["showpath"] = a.showpath;
  d["pathtype"] = static_cast<int>(a.pathtype);
  d["step"] = a.step;
  d["pause"] = a.pause;
  d["output"] = a.output;
  if (a.ptype) d["ptype"] = *a.ptype;
  if (a.xp) d["xp"] = vector1d(*a.xp);
  if (a.yp) d["yp"] = vector1d(*a.yp);
  if (a.xpath) d["xpath"] = vector1d(*a.xpath);
  if (a.ypath) d["ypath"] = vector1d(*a.ypath);
  return d;
}

py::dict caseDict(const CaseDescription& c) {
  py::dict d;
  const auto pair = [](const std::array<double, 2>& p) { return vector1d({p[0], p[1]}); };
  if (c.name) d["name"] = *c.name;
  if (c.height) d["height"] = *c.height;
  if (c.gsize) d["gsize"] = *c.gsize;
  if (c.xlim) d["xlim"] = pair(*c.xlim);
  if (c.ylim) d["ylim"] = pair(*c.ylim);
  if (c.xwall) d["xwall"] = vector1d(*c.xwall);
  if (c.ywall) d["ywall"] = vector1d(*c.ywall);
  if (c.alpha) d["alpha"] = vector1d(*c.alpha);
  if (c.xaud) d["xaud"] = vector1d(*c.xaud);
  if (c.yaud) d["yaud"] = vector1d(*c.yaud);
  if (c.xso) d["xso"] = *c.xso;
  if (c.yso) d["yso"] = *c.yso;
  if (c.xre) d["xre"] = *c.xre;
  if (c.yre) d["yre"] = *c.yre;
  if (c.Lw) d["Lw"] = *c.Lw;
  if (c.animationparameters) d["animationparameters"] = animationDict(*c.animationparameters);
  if (c.curves) {
    // Always N by 9, none as 0 by 9.
    const platform::Matrix& m = *c.curves;
    d["curves"] = m.empty() ? grid(0, 9, {}) : grid(m.rows, m.cols, m.data);
  }
  if (c.Nsurface) d["Nsurface"] = *c.Nsurface;
  if (c.order) d["order"] = *c.order;
  if (c.wallmaterial) {
    py::list names;
    for (const std::string& name : *c.wallmaterial) names.append(name);
    d["wallmaterial"] = names;
  }
  if (c.wallbands) {
    // Always N by 6, one row per wall.
    const platform::Matrix& m = *c.wallbands;
    d["wallbands"] = m.empty() ? grid(0, engine::kBandCount, {}) : grid(m.rows, m.cols, m.data);
  }
  if (c.roomheight) d["roomheight"] = *c.roomheight;
  if (c.floormaterial) d["floormaterial"] = *c.floormaterial;
  if (c.floorbands) d["floorbands"] = vector1d(*c.floorbands);
  if (c.ceilingmaterial) d["ceilingmaterial"] = *c.ceilingmaterial;
  if (c.ceilingbands) d["ceilingbands"] = vector1d(*c.ceilingbands);
  if (c.scan) d["scan"] = *c.scan;
  if (c.geometricshapes) d["geometricshapes"] = *c.geometricshapes;
  if (c.noselectchange) d["noselectchange"] = true;
  if (c.noaudiencechange) d["noaudiencechange"] = true;
  return d;
}

// ---- the room --------------------------------------------------------------------------------

// Walls as a closed outline (wall k from vertex k to vertex k + 1, the last back to the first),
// absorption in percent per wall, and the curve table (one row of nine numbers per curved stretch).
struct Room {
  std::vector<double> x, y, alpha;
  platform::Matrix curves;
  engine::Walls walls;
};

Room makeRoom(const py::object& x, const py::object& y, const py::object& alpha, const py::object& curves) {
  platform::Record fields;
  Value xwall = toValue(x, "xwall");
  // One number stands for every wall.
  if (!alpha.is_none()) {
    Value a = toValue(alpha, "alpha");
    if (a.isScalar() && xwall.isMatrix())
      a = Value::row(std::vector<double>(xwall.matrix().numel(), a.scalar()));
    fields.set("alpha", std::move(a));
  }
  fields.set("xwall", std::move(xwall));
  fields.set("ywall", toValue(y, "ywall"));
  if (!curves.is_none()) fields.set("curves", toValue(curves, "curves"));
  const CaseDescription d = CaseDescription::fromValue(Value(std::move(fields)));
  Room room;
  room.x = *d.xwall;
  room.y = *d.ywall;
  room.alpha = d.alpha.value_or(std::vector<double>(room.x.size(), 0.0));
  if (d.curves) room.curves = *d.curves;
  for (std::size_t r = 0; r < room.curves.rows && room.curves.cols == 9; ++r)
    for (std::size_t c : {std::size_t{7}, std::size_t{8}})
      if (!(room.curves(r, c) >= 1 && room.curves(r, c) <= static_cast<double>(room.x.size())))
        fieldError("curves", "must name walls from 1 to " + std::to_string(room.x.size()) + ", got " +
                                 platform::formatNumber(room.curves(r, c)));
  room.walls = engine::wallsFromOutline(room.x, room.y);
  return room;
}

std::array<double, 2> point(const py::object& p, const char* what) {
  py::array_t<double, py::array::forcecast> a;
  try {
    a = py::array_t<double, py::array::forcecast>::ensure(p);
  } catch (const py::error_already_set&) {
  }
  if (!a || a.size() != 2 || py::isinstance<py::str>(p)) {
    PyErr_Clear();
    throw Error(std::string(what) + " must be a point (x, y)");
  }
  const double x = a.data()[0], y = a.data()[1];
  // The reach of a case's coordinates, in the program's words.
  py::dict probe;
  probe[what[0] == 's' ? "xso" : "xre"] = x;
  probe[what[0] == 's' ? "yso" : "yre"] = y;
  describe(probe);
  return {x, y};
}

// The engine takes the room on the left of every wall: a clockwise outline would give a map of no
// reflections and no error, the likeliest slip of a room typed by hand.
void requireCounterClockwise(const Room& room) {
  double area = 0;
  for (std::size_t k = 0; k < room.x.size(); ++k) {
    const std::size_t next = (k + 1) % room.x.size();
    area += room.x[k] * room.y[next] - room.x[next] * room.y[k];
  }
  if (area < 0)
    throw Error("the walls run clockwise: give the vertices counter-clockwise, the room on the left of every wall");
}

void requireInside(const Room& room, const std::array<double, 2>& p, const char* what) {
  if (engine::checksource(p[0], p[1], room.walls) == 0)
    throw Error(std::string(what) + " " + platform::formatNumber(p[0]) + "," + platform::formatNumber(p[1]) +
                " lies outside the room");
}

engine::CaseInputs caseInputs(const Room& room, const std::array<double, 2>& source, bool diffusion) {
  engine::CaseInputs in;
  in.walls = room.walls;
  in.alpha = room.alpha;
  in.xso = source[0];
  in.yso = source[1];
  in.curves = document::convexCurves(room.curves);
  in.diffusion = diffusion;
  in.noprogressbar = true;
  return in;
}

int checkedOrder(int order) {
  if (order < 1 || order > engine::kMaxOrder)
    throw Error("order must be a whole number from 1 to " + std::to_string(engine::kMaxOrder) + ", got " +
                std::to_string(order));
  return order;
}

// ---- compute_map -------------------------------------------------------------------------------

py::dict computeMap(const Room& room, const py::object& sourceArg, const py::object& audience, int intervals,
                    int order, bool diffusion) {
  const std::array<double, 2> source = point(sourceArg, "source");
  requireCounterClockwise(room);
  requireInside(room, source, "source");
  checkedOrder(order);
  // The corners and the precision are checked as a case description's.
  py::array_t<double, py::array::c_style | py::array::forcecast> corners;
  try {
    corners = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(audience);
  } catch (const py::error_already_set&) {
  }
  if (!corners || corners.ndim() != 2 || corners.shape(0) != 4 || corners.shape(1) != 2) {
    PyErr_Clear();
    throw Error("audience must be 4 corners (x, y) in order around the area");
  }
  std::vector<double> xaud(4), yaud(4);
  for (std::size_t i = 0; i < 4; ++i) {
    xaud[i] = corners.at(i, 0);
    yaud[i] = corners.at(i, 1);
  }
  py::dict fields;
  fields["xaud"] = vector1d(xaud);
  fields["yaud"] = vector1d(yaud);
  fields["Nsurface"] = intervals;
  describe(fields);

  engine::CaseInputs in = caseInputs(room, source, diffusion);
  in.order = order;
  engine::CaseResults r;
  std::optional<std::string> refusal;
  {
    py::gil_scoped_release release;
    engine::AudienceGrid g = engine::audiencegrid(xaud, yaud, intervals);
    in.xs = std::move(g.xs);
    in.ys = std::move(g.ys);
    if (order > 1) {
      const engine::BeamEstimate estimate = engine::estimatebeams(in);
      if (estimate.tooMuch) refusal = estimate.message;
    }
    if (!refusal) {
      r = engine::computecase(in);
      if (r.orders.refused) refusal = r.orders.message;
    }
  }
  if (refusal) throw Error(*refusal);

  py::dict d;
  // The grids first; they take their arrays last, once nothing else can fail.
  for (const char* key : {"xs", "ys", "RT", "PT", "Pso"}) d[key] = py::none();
  d["xso"] = r.images.xso;
  d["yso"] = r.images.yso;
  d["iscnvx"] = r.convexity.iscnvx;
  d["ang"] = indices1d(r.convexity.ang);
  d["ina"] = adopt(std::move(r.convexity.ina));
  d["iwv"] = indices1d(r.images.iwv);
  d["diffcoef"] = vector1d(r.images.diffcoef);
  py::list pwall, inrw, xpol, ypol;
  for (auto& p : r.values.Pwall) pwall.append(adopt(std::move(p)));
  for (auto& i : r.values.inRW) inrw.append(adopt(std::move(i)));
  for (auto& p : r.values.xpol) xpol.append(adopt(std::move(p)));
  for (auto& p : r.values.ypol) ypol.append(adopt(std::move(p)));
  d["Pwall"] = pwall;
  d["inRW"] = inrw;
  d["inDS"] = adopt(std::move(r.values.inDS));
  d["xpol"] = xpol;
  d["ypol"] = ypol;
  if (order > 1) {
    const std::size_t rows = r.values.RT.rows, cols = r.values.RT.cols;
    const auto stack = [&](const std::vector<engine::Matrix>& grids) {
      py::array_t<double, py::array::f_style> a({static_cast<py::ssize_t>(rows),
                                                 static_cast<py::ssize_t>(cols),
                                                 static_cast<py::ssize_t>(grids.size())});
      double* out = a.mutable_data();
      for (const engine::Matrix& m : grids) out = std::copy(m.data.begin(), m.data.end(), out);
      // Order first: a[k - 1] is the grid of order k.
      return a.attr("transpose")(2, 0, 1);
    };
    d["RTorder"] = stack(r.orders.RTorder);
    d["PTorder"] = stack(r.orders.PTorder);
    d["beams"] = indices1d(r.orders.beams);
  }
  py::list console;
  for (const auto& line : r.images.console) console.append(line);
  d["console"] = console;
  d["xs"] = adopt(std::move(in.xs));
  d["ys"] = adopt(std::move(in.ys));
  d["RT"] = adopt(std::move(r.values.RT));
  d["PT"] = adopt(std::move(r.values.PT));
  d["Pso"] = adopt(std::move(r.values.Pso));
  return d;
}

// ---- arrivals ----------------------------------------------------------------------------------

struct Arrivals {
  py::array table;
  std::optional<double> itdg, d50, c80;
  std::string summary;
  double xso = 0, yso = 0;
};

py::dtype arrivalType() {
  py::list fields;
  const auto field = [&](const char* name, const char* type) { fields.append(py::make_tuple(name, type)); };
  field("kind", "U14");
  field("wall", "<i4");
  field("delay", "<f8");
  field("level", "<f8");
  field("angle", "<f8");
  field("energy", "<f8");
  field("order", "<i4");
  field("walls", "U48");
  return py::dtype::from_args(fields);
}

Arrivals computeArrivals(const Room& room, const py::object& sourceArg, const py::object& receptorArg,
                         double height, double lw, int order, bool diffusion) {
  checkedOrder(order);
  const std::array<double, 2> source = point(sourceArg, "source");
  const std::array<double, 2> receptor = point(receptorArg, "receptor");
  requireCounterClockwise(room);
  requireInside(room, source, "source");
  py::dict fields;
  fields["Lw"] = lw;
  describe(fields);
  if (!std::isfinite(height)) throw Error("height must be a finite number");

  polar::PolarComputation c;
  polar::EchogramFigures f;
  polar::PolarInputs p;
  {
    py::gil_scoped_release release;
    const engine::CaseInputs in = caseInputs(room, source, diffusion);
    // The image refresh of the program: source placement, seen parts, images and diffusion.
    engine::ImageSet images = engine::firstorderimages(in);
    p.walls = room.walls;
    p.alpha = room.alpha;
    p.xso = images.xso;
    p.yso = images.yso;
    p.xre = receptor[0];
    p.yre = receptor[1];
    p.Lw = lw;
    p.Hr = height;
    p.images = std::move(images.images);
    p.diffcoef = std::move(images.diffcoef);
    p.convex = engine::checkroomconvexity(room.walls, {}, {}).iscnvx != 0;
    p.visible = std::move(images.visible);
    p.order = order;
    p.curves = in.curves;
    p.diffusion = diffusion;
    c = polar::computePolarLevels(p);
    if (!c.refusal) f = polar::echogramFigures(c.levels, order);
  }
  if (c.refusal) throw Error(*c.refusal);

  Arrivals out;
  out.xso = p.xso;
  out.yso = p.yso;
  out.table = py::array(arrivalType(), std::vector<py::ssize_t>{static_cast<py::ssize_t>(f.arrivals.size())});
  py::object table = out.table;
  for (std::size_t i = 0; i < f.arrivals.size(); ++i) {
    const polar::Arrival& a = f.arrivals[i];
    const char* kind = !a.direct ? "reflection" : a.blocked ? "blocked direct" : "direct";
    std::string walls;
    for (int w : a.walls) walls += (walls.empty() ? "" : " ") + std::to_string(w);
    table.attr("__setitem__")(
        i, py::make_tuple(kind, a.wall, a.delayMs, a.levelDb, a.angleDeg, a.energy, a.order, walls));
  }
  out.itdg = f.itdgMs;
  out.d50 = f.d50;
  out.c80 = f.c80;
  out.summary = polar::echogramSummary(f);
  return out;
}

// ---- levels ------------------------------------------------------------------------------------

py::array_t<double> levels(const py::array_t<double, py::array::c_style | py::array::forcecast>& energies,
                           double lw) {
  if (!std::isfinite(lw)) fieldError("Lw", "must be a finite number");
  py::array_t<double> out(std::vector<py::ssize_t>(energies.shape(), energies.shape() + energies.ndim()));
  const auto n = static_cast<std::size_t>(energies.size());
  const double* src = energies.data();
  double* dst = out.mutable_data();
  for (std::size_t i = 0; i < n; ++i)
    dst[i] = engine::energylevel(src[i], lw).value_or(std::numeric_limits<double>::quiet_NaN());
  return out;
}

// ---- case files --------------------------------------------------------------------------------

py::dict readCase(const std::string& path) {
  CaseDescription d;
  {
    py::gil_scoped_release release;
    document::checkCaseFileName(path);
    d = document::readCaseFile(path, path);
  }
  return caseDict(d);
}

// The base name of the file, as a save names the case after it.
std::string baseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = file.find_last_of('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

void writeCase(const std::string& path, const py::dict& fields) {
  CaseDescription d = describe(fields);
  const auto slash = path.find_last_of('/');
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = file.find_last_of('.');
  if (dot == std::string::npos || !platform::equalsIgnoreCase(file.substr(dot), document::kCaseExtension))
    throw Error("file " + path + " is not a velmoracopy file ...");
  d.name = baseName(path);
  py::gil_scoped_release release;
  document::writeCaseFile(path, d);
}

}  // namespace

}  // namespace velmora::python

PYBIND11_MODULE(_velmora, m) {
  using namespace velmora::python;
  using velmora::Error;
  keepFreedMemoryForReuse();
  m.attr("__version__") = VELMORA_VERSION;
  m.doc() = "The VELMORA engine: audience maps, arrivals at a receptor, levels and case files.";

  // The program's messages for what it refuses, as ValueError.
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const Error& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });

  py::class_<Room>(m, "Room", R"(A room in plan: walls as a closed outline and their absorption.

Room(x, y, alpha=0, curves=None)
  x, y    vertices (m), counter-clockwise; wall k runs from vertex k to vertex k + 1, the last
          wall back to the first vertex
  alpha   absorption of each wall in percent (one number for every wall)
  curves  curved stretches, one row of nine numbers each as the case record holds them:
          type (1 parabola, 2 circular arc), start x y, end x y, third point x y, first wall,
          last wall)")
      .def(py::init(&makeRoom), py::arg("x"), py::arg("y"), py::arg("alpha") = 0.0,
           py::arg("curves") = py::none())
      .def_property_readonly("x", [](const Room& r) { return vector1d(r.x); })
      .def_property_readonly("y", [](const Room& r) { return vector1d(r.y); })
      .def_property_readonly("alpha", [](const Room& r) { return vector1d(r.alpha); })
      .def_property_readonly("curves",
                             [](const Room& r) -> py::object {
                               if (r.curves.empty()) return py::none();
                               return grid(r.curves.rows, r.curves.cols, r.curves.data);
                             })
      .def("__len__", [](const Room& r) { return r.walls.size(); })
      .def("__repr__", [](const Room& r) {
        return "velmora.Room(" + std::to_string(r.walls.size()) + " walls" +
               (r.curves.empty() ? std::string()
                                 : ", " + std::to_string(r.curves.rows) + " curved stretches") +
               ")";
      });

  py::class_<Arrivals>(m, "Arrivals", R"(What reaches a receptor, as the echogram shows it.

table   structured array, one row per arrival by delay, the direct sound first: kind ("direct",
        "blocked direct" or "reflection"), wall (0 for the direct sound), delay (ms after the direct
        sound), level (dB), angle (degrees between the source and the image seen from the receptor),
        energy (squared pressure, Pa^2)
ITDG    first reflection's delay (ms), None without reflections
D50     early energy up to 50 ms over all energy (%), None when nothing is heard
C80     energy up to 80 ms over the energy after (dB); inf: no late energy, -inf: no early energy
summary the echogram's title line)")
      .def_readonly("table", &Arrivals::table)
      .def_readonly("ITDG", &Arrivals::itdg)
      .def_readonly("D50", &Arrivals::d50)
      .def_readonly("C80", &Arrivals::c80)
      .def_readonly("summary", &Arrivals::summary)
      .def_property_readonly("source", [](const Arrivals& a) { return py::make_tuple(a.xso, a.yso); })
      .def("__len__", [](const Arrivals& a) { return a.table.size(); })
      .def("__getitem__", [](const Arrivals& a, const py::object& key) { return a.table[key]; })
      .def("__repr__", [](const Arrivals& a) {
        return "velmora.Arrivals(" + std::to_string(a.table.size()) + " arrivals: " + a.summary + ")";
      });

  m.def("compute_map", &computeMap, py::arg("room"), py::arg("source"), py::arg("audience"),
        py::arg("intervals") = 20, py::arg("order") = 1, py::arg("diffusion") = true,
        R"(The audience map of a source in a room, as the program computes it.

source     (x, y), inside the room (a source on a vertex is moved into the room, as the program
           does: xso, yso give where it was placed)
audience   4 corners (x, y) in order around the area; the grid has intervals + 1 points a side
intervals  1..400
order      reflection order 1..6; above 1 RT and PT count the paths of every order
diffusion  the diffusion factor of convex walls (the program's menu item, on by default)

Returns a dict of numpy arrays named as the case record names them: xs, ys (the grid), RT
(reflections received), PT (their summed energy), Pso (direct sound energy), Pwall (per wall, the
energies at the points of inRW), inRW (per wall, the 1-based column-order grid indices reached),
inDS (points the source does not see), ina (points outside the room), iscnvx, ang, iwv, diffcoef,
xpol, ypol; with order > 1 also RTorder and PTorder (one grid per order, order first) and beams.
Energies are squared pressures (Pa^2) for a source of 100 dB; velmora.levels turns them into dB.)");

  m.def("arrivals", &computeArrivals, py::arg("room"), py::arg("source"), py::arg("receptor"),
        py::arg("height") = 0.0, py::arg("Lw") = 100.0, py::arg("order") = 1, py::arg("diffusion") = true,
        R"(The direct sound and the reflections reaching a receptor, as the echogram shows them: one row
per arrival (kind, wall: the first wall of the path, delay in ms after the direct sound, level in dB,
angle in degrees, energy in Pa^2, order: walls on the path, walls: the path's walls first to last).

height  receptor height offset (m): distances are sqrt(d^2 + height^2), at least 1 m
Lw      source level, dB re 1e-12 W
order   reflection order 1..6; above 1 the paths of orders 2..order arrive too (ITDG, D50, C80
        count them))");

  m.def("levels", &levels, py::arg("P"), py::arg("Lw"),
        R"(Levels in dB of squared pressures computed for a 100 dB source, for a source of level Lw,
floored at 0 dB; NaN where the energy is not positive (nothing received).)");

  m.def("read_case", &readCase, py::arg("path"),
        R"(A case file (.ac) as a dict with the fields of a case description (docs/automation.md).)");
  m.def("write_case", &writeCase, py::arg("path"), py::arg("case"),
        R"(Writes a case description (a dict as read_case returns) as a case file (.ac), named after the
file as the program's save names it. The file is whole or not written.)");
}
