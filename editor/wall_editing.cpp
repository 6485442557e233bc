#include "editor/wall_editing.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "document/acoustics.h"
#include "document/case_record.h"
#include "document/drawing_objects.h"
#include "document/materials.h"
#include "document/room_acoustics.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using namespace velmora::document;
using platform::Graphics;
using platform::Handle;
using platform::ObjectType;
using platform::Runtime;
using platform::Value;

namespace {

constexpr std::string_view kCanceled = "canceled";

// Runs the steps of the computation chain in order.
void recompute(Runtime& rt, const Operations& ops, std::initializer_list<std::string_view> steps) {
  for (std::string_view step : steps) ops.call(rt, step);
}

bool isWallLine(const Graphics& g, Handle h) {
  return h != platform::kNoHandle && g.exists(h) && g.at(h).type() == ObjectType::Line &&
         g.at(h).tag() == tags::kWall;
}

Handle menuOf(const Graphics& g, Handle h) {
  const Value v = g.get(h, "uicontextmenu");
  return v.isObject() ? v.object() : platform::kNoHandle;
}

// The wall whose context menu was opened: the window's current object; failing that, the wall that
// owns the menu of the calling item.
Handle chosenWall(const Runtime& rt, Handle fig) {
  const Graphics& g = rt.graphics();
  const Handle current = g.currentObject(fig);
  if (isWallLine(g, current) && g.figureOf(current) == fig) return current;
  const Handle caller = rt.callbackObject();
  if (caller != platform::kNoHandle && g.exists(caller) && g.at(caller).type() == ObjectType::UiMenu) {
    const Handle menu = g.at(caller).parent();
    for (Handle w : objectsByTag(rt, fig, tags::kWall))
      if (menuOf(g, w) == menu) return w;
  }
  throw Error("no wall chosen: open the context menu of a wall");
}

std::size_t wallNumber(const std::vector<Handle>& walls, Handle wall) {
  const auto it = std::find(walls.begin(), walls.end(), wall);
  if (it == walls.end()) throw Error("the wall is not part of the room outline");
  return static_cast<std::size_t>(it - walls.begin());
}

// Deletes an object and the context menu it alone uses (menus live in the window, apart).
void deleteWithOwnMenu(Graphics& g, Handle h) {
  if (!g.exists(h)) return;
  const Handle menu = menuOf(g, h);
  g.remove(h);
  if (menu == platform::kNoHandle || !g.exists(menu)) return;
  const auto users = g.findIf(g.figureOf(menu), [menu](const platform::GraphicsObject& o) {
    if (!o.hasProperty("uicontextmenu")) return false;
    const Value v = o.get("uicontextmenu");
    return v.isObject() && v.object() == menu;
  });
  if (users.empty()) g.remove(menu);
}

std::string wallListEntries(std::size_t walls) {
  std::string s = "all|direct";
  for (std::size_t k = 1; k <= walls; ++k) s += "|wall " + std::to_string(k);
  return s;
}

void setCancelMark(Runtime& rt, Handle fig) {
  rt.graphics().setGuiData(fig, Value(std::string(kCanceled)));
}

void colourMarker(Graphics& g, Handle marker, const char* colour) {
  if (!g.exists(marker)) return;
  g.setText(marker, "markerfacecolor", colour);
  g.setText(marker, "markeredgecolor", colour);
}

const WallRecord& wallRecord(const Graphics& g, Handle wall) {
  const auto* rec = g.at(wall).userdataAs<WallRecord>();
  if (rec == nullptr) throw Error("wall line " + std::to_string(wall) + " has no wall record");
  return *rec;
}

const VertexRecord& vertexRecord(const Graphics& g, Handle vertex) {
  const auto* rec = g.at(vertex).userdataAs<VertexRecord>();
  if (rec == nullptr) throw Error("wall vertex " + std::to_string(vertex) + " has no vertex record");
  return *rec;
}

// Sets one point (0 first, 1 second) of a two-point line.
void setLinePoint(Graphics& g, Handle line, std::size_t which, double x, double y) {
  auto xs = g.at(line).numbers("xdata");
  auto ys = g.at(line).numbers("ydata");
  if (xs.size() < 2 || ys.size() < 2)
    throw Error("wall line " + std::to_string(line) + " has fewer than two points");
  xs[which] = x;
  ys[which] = y;
  g.setRow(line, "xdata", xs);
  g.setRow(line, "ydata", ys);
}

// The walls, in wall order, first among the drawing area's children; the rest keep their order.
void wallsFirst(Runtime& rt, Handle fig) {
  Graphics& g = rt.graphics();
  const Handle axes = drawingAxes(rt, fig);
  std::vector<Handle> order = wallsInWallOrder(rt, fig);
  std::vector<Handle> walls = order;
  std::sort(walls.begin(), walls.end());
  for (Handle h : g.at(axes).children())
    if (!std::binary_search(walls.begin(), walls.end(), h)) order.push_back(h);
  g.setChildren(axes, order);
}

void rebuildWallList(Runtime& rt, Handle fig, std::size_t walls, bool valueFirst) {
  const auto list = findInWindow(rt, fig, tags::kValueList);
  if (!list) return;
  Graphics& g = rt.graphics();
  if (valueFirst) g.set(*list, "value", Value(1.0));
  std::string entries = wallListEntries(walls);
  for (int k = 2; k <= caseOrder(rt, fig); ++k) entries += "|order " + std::to_string(k);  // above order 1
  g.setText(*list, "string", entries);
  if (!valueFirst) g.set(*list, "value", Value(1.0));
}

// The absorption typed into the dialog: one number, clamped to 0..100 and rounded. Nothing when the
// text is not a single number.
std::optional<double> typedAbsorption(const std::string& text) {
  const auto numbers = platform::readNumbers(text);
  if (!numbers || numbers->size() != 1 || std::isnan(numbers->front())) return std::nullopt;
  return platform::roundHalfAway(std::clamp(numbers->front(), 0.0, 100.0));
}

// The lines of an edit box: a list of texts, or one text split at line breaks.
std::vector<std::string> editLines(const Value& v) {
  std::vector<std::string> lines;
  if (v.isList()) {
    for (const Value& item : v.list().items) lines.push_back(item.isText() ? item.text() : std::string());
  } else if (v.isText()) {
    std::string line;
    for (char c : v.text()) {
      if (c == '\n') {
        lines.push_back(line);
        line.clear();
      } else if (c != '\r') {
        line += c;
      }
    }
    lines.push_back(line);
  }
  // A line break typed after the last line adds no wall.
  while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string::npos) lines.pop_back();
  return lines;
}

// The coefficients of the edited list, one per wall: the magnitude of the second number of each
// line, clamped to 0..100. Nothing when the count differs or a line is not exactly two numbers.
std::optional<std::vector<double>> listedAbsorptions(const std::vector<std::string>& lines,
                                                     std::size_t walls) {
  if (lines.size() != walls) return std::nullopt;
  std::vector<double> alpha;
  for (const std::string& line : lines) {
    const auto numbers = platform::readNumbers(line);
    if (!numbers || numbers->size() != 2 || std::isnan((*numbers)[1])) return std::nullopt;
    alpha.push_back(std::min(100.0, std::abs((*numbers)[1])));
  }
  return alpha;
}

std::string rightAligned(std::string s, std::size_t width) {
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

}  // namespace

std::string absorptionListLine(std::size_t wall, double alpha) {
  return rightAligned(std::to_string(wall), 3) + "   " + rightAligned(platform::formatNumber(alpha), 3);
}

std::optional<Outline> mirroredRoom(const engine::Walls& walls, const std::vector<double>& alpha,
                                    std::size_t mirrorWall) {
  const std::size_t n = walls.size();
  if (n < 3 || mirrorWall < 1 || mirrorWall > n) return std::nullopt;
  const std::size_t c = mirrorWall;
  const auto alphaOf = [&](std::size_t k) { return k - 1 < alpha.size() ? alpha[k - 1] : 0.0; };

  // From the end of the mirror wall round the room to its start: X(1) its end, X(n) its start.
  std::vector<engine::Point> X;
  for (std::size_t k = c; k <= n - 1; ++k) X.push_back({walls[k - 1].x2, walls[k - 1].y2});
  for (std::size_t k = 1; k <= c; ++k) X.push_back({walls[k - 1].x1, walls[k - 1].y1});
  std::vector<double> a;
  for (std::size_t k = c + 1; k <= n; ++k) a.push_back(alphaOf(k));
  for (std::size_t k = 1; k + 1 <= c; ++k) a.push_back(alphaOf(k));

  const engine::Point p1 = X[n - 1];
  const double dx = X[0].x - p1.x, dy = X[0].y - p1.y;
  // The system with rows (dx, dy) and (dy, -dx) has determinant -(dx² + dy²).
  const double det = dx * dx + dy * dy;
  if (det <= 0.000001) return std::nullopt;

  Outline out;
  for (const engine::Point& p : X) {
    out.x.push_back(p.x);
    out.y.push_back(p.y);
  }
  // Mirrors of X(n-1) .. X(2), at positions n+1 .. 2n-2.
  for (std::size_t k = n - 1; k >= 2; --k) {
    const double vx = X[k - 1].x - p1.x, vy = X[k - 1].y - p1.y;
    const double u = platform::snap((vx * dy - vy * dx) / det);
    out.x.push_back(X[k - 1].x - 2 * u * dy);
    out.y.push_back(X[k - 1].y + 2 * u * dx);
  }
  out.alpha = a;
  out.alpha.insert(out.alpha.end(), a.rbegin(), a.rend());
  return out;
}

void splitwall(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  const Handle wall = chosenWall(rt, fig);
  const std::vector<Handle> walls = wallsInWallOrder(rt, fig);
  const std::size_t i = wallNumber(walls, wall);
  const engine::Walls geometry = wallGeometry(rt, fig);
  std::vector<double> alpha = wallAbsorptions(rt, fig);

  std::vector<double> x, y;
  for (const engine::Wall& w : geometry) {
    x.push_back(w.x1);
    y.push_back(w.y1);
  }
  const engine::Wall& w = geometry[i];
  x.insert(x.begin() + static_cast<std::ptrdiff_t>(i) + 1, (w.x1 + w.x2) / 2);
  y.insert(y.begin() + static_cast<std::ptrdiff_t>(i) + 1, (w.y1 + w.y2) / 2);
  alpha.insert(alpha.begin() + static_cast<std::ptrdiff_t>(i) + 1, alpha[i]);
  std::vector<std::optional<SurfaceMaterial>> materials = wallMaterials(rt, fig);
  materials.insert(materials.begin() + static_cast<std::ptrdiff_t>(i) + 1, materials[i]);

  // Wall order is creation order, so the chain is made again in order rather than two lines added
  // after the others; the objects are the same kind as before and both halves carry the record of
  // the split wall.
  for (Handle h : walls) deleteWithOwnMenu(g, h);
  for (Handle h : objectsByTag(rt, fig, tags::kWallVertex)) deleteWithOwnMenu(g, h);
  const WallChain chain = makeWallChain(g, axes, x, y, alpha);
  setWallMaterials(g, chain.walls, materials);

  rebuildWallList(rt, fig, x.size(), false);
  wallsFirst(rt, fig);
}

void deletevertex(Runtime& rt, const Operations& ops) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle wall = chosenWall(rt, fig);
  // A triangle keeps its vertices; nothing changed, so no undo step either.
  if (objectsByTag(rt, fig, tags::kWallVertex).size() <= 3) {
    setCancelMark(rt, fig);
    return;
  }
  const WallRecord clicked = wallRecord(g, wall);
  const Handle h1 = clicked.con[0], h2 = clicked.con[1];
  const Handle hw1 = vertexRecord(g, h1).con[0];  // the wall ending at h1
  const Handle hw2 = vertexRecord(g, h2).con[1];  // the wall starting at h2
  if (!isWallLine(g, hw1) || !isWallLine(g, hw2)) throw Error("the walls next to the wall are not linked");

  colourMarker(g, h1, "r");
  colourMarker(g, h2, "b");
  platform::QuestionDialog dialog{
      " Chose wall vertex to delete ?", "Delete wall vertex", {"red", "blue", "cancel"}, "cancel"};
  const auto answer = rt.ui().question(dialog);
  // Closing the dialog is the same as its default, "cancel".
  if (!answer || (*answer != "red" && *answer != "blue")) {
    colourMarker(g, h1, "k");
    colourMarker(g, h2, "k");
    setCancelMark(rt, fig);
    return;
  }

  // The chosen end goes; the other end's marker now joins the two walls either side of the clicked
  // one, and the neighbouring wall that ended at the deleted vertex is drawn to the kept one.
  const auto keep = [&](Handle kept, Handle dropped, Handle neighbour, std::size_t end) {
    const engine::Point p = firstPoint(rt, kept);
    g.remove(dropped);
    colourMarker(g, kept, "k");
    VertexRecord v = vertexRecord(g, kept);
    v.con = {hw1, hw2};
    g.setUserdata(kept, v);
    WallRecord w = wallRecord(g, neighbour);
    w.con[end] = kept;
    g.setUserdata(neighbour, w);
    setLinePoint(g, neighbour, end, p.x, p.y);
  };
  if (*answer == "red") {
    keep(h2, h1, hw1, 1);
  } else {
    keep(h1, h2, hw2, 0);
  }
  deleteWithOwnMenu(g, wall);
  rebuildWallList(rt, fig, objectsByTag(rt, fig, tags::kWall).size(), true);
  recompute(rt, ops,
            {"checkroomconvexity", "refreshimages", "setlayer", "refreshsurfacevalues", "selectvalue"});
}

namespace {

// The mirrored room's materials: each new wall takes the material of the wall it copies (found by
// mirroring the wall numbers as absorptions), and the room keeps its height, floor and ceiling.
void keepMaterials(const Runtime& rt, Handle fig, std::size_t mirrorWall, CaseDescription& prop) {
  CaseDescription now;
  describeMaterials(rt, fig, now);
  prop.roomheight = now.roomheight;
  prop.floormaterial = now.floormaterial;
  prop.floorbands = now.floorbands;
  prop.ceilingmaterial = now.ceilingmaterial;
  prop.ceilingbands = now.ceilingbands;
  if (!now.wallmaterial || !now.wallbands) return;
  std::vector<double> numbers(now.wallmaterial->size());
  for (std::size_t k = 0; k < numbers.size(); ++k) numbers[k] = static_cast<double>(k + 1);
  const auto copied = mirroredRoom(wallGeometry(rt, fig), numbers, mirrorWall);
  if (!copied) return;
  std::vector<std::string> names;
  platform::Matrix bands = platform::Matrix::zeros(copied->alpha.size(), engine::kBandCount);
  for (std::size_t j = 0; j < copied->alpha.size(); ++j) {
    const auto k = static_cast<std::size_t>(copied->alpha[j]) - 1;
    names.push_back((*now.wallmaterial)[k]);
    for (std::size_t b = 0; b < engine::kBandCount; ++b) bands(j, b) = (*now.wallbands)(k, b);
  }
  prop.wallmaterial = std::move(names);
  prop.wallbands = std::move(bands);
}

}  // namespace

void symmetry(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  const Handle wall = chosenWall(rt, fig);
  const std::size_t icw = wallNumber(wallsInWallOrder(rt, fig), wall) + 1;
  const auto room = mirroredRoom(wallGeometry(rt, fig), wallAbsorptions(rt, fig), icw);
  if (!room) {
    // A wall of (almost) no length gives no mirror line: nothing to show or keep.
    rt.ui().beep();
    setCancelMark(rt, fig);
    return;
  }

  // Preview: the new outline in magenta, the view fitted round it.
  const Value oldX = g.get(axes, "xlim");
  const Value oldY = g.get(axes, "ylim");
  const auto [xmin, xmax] = std::minmax_element(room->x.begin(), room->x.end());
  const auto [ymin, ymax] = std::minmax_element(room->y.begin(), room->y.end());
  const double side = 1.1 * std::max(*xmax - *xmin, *ymax - *ymin);
  const double xc = (*xmin + *xmax) / 2, yc = (*ymin + *ymax) / 2;
  g.setRow(axes, "xlim", {xc - side / 2, xc + side / 2});
  g.setRow(axes, "ylim", {yc - side / 2, yc + side / 2});
  std::vector<double> px = room->x, py = room->y;
  px.push_back(px.front());
  py.push_back(py.front());
  const Handle preview = createObject(g, ObjectType::Line, axes,
                                      {{"xdata", Value::row(px)},
                                       {"ydata", Value::row(py)},
                                       {"color", "m"},
                                       {"linewidth", 1.0},
                                       {"tag", "temporaryline"}});
  const auto restoreView = [&] {
    if (g.exists(preview)) g.remove(preview);
    if (g.exists(axes)) {
      g.set(axes, "xlim", oldX);
      g.set(axes, "ylim", oldY);
    }
  };

  std::optional<std::string> answer;
  try {
    answer = rt.ui().question({"Keep this new topology ?", "Confirm", {"Yes", "No"}, "No"});
  } catch (...) {
    restoreView();
    throw;
  }
  // Closing the dialog is the same as its default, "No".
  if (answer != "Yes") {
    restoreView();
    if (g.exists(fig)) setCancelMark(rt, fig);
    return;
  }
  g.remove(preview);
  CaseDescription prop;
  prop.xwall = room->x;
  prop.ywall = room->y;
  prop.alpha = room->alpha;
  keepMaterials(rt, fig, icw, prop);
  rt.dispatch({Value("update"), prop.toValue()});
}

namespace {

// The change an absorption item makes, from its place in its wall menu; nothing for another item.
std::optional<AbsorptionChange> absorptionChangeOfItem(const Graphics& g, Handle item) {
  const Handle menu = g.at(item).parent();
  if (menu == platform::kNoHandle || !g.exists(menu)) return std::nullopt;
  const auto items = menuItemsInOrder(g, menu);
  const auto at = std::find(items.begin(), items.end(), item);
  if (at == items.end()) return std::nullopt;
  switch (static_cast<std::size_t>(at - items.begin())) {
    case kWallMenuChangeAbsorption:
      return AbsorptionChange::Ask;
    case kWallMenuAbsorptionZero:
      return AbsorptionChange::Zero;
    case kWallMenuAbsorptionFull:
      return AbsorptionChange::Full;
    default:
      return std::nullopt;
  }
}

}  // namespace

namespace {

// The walls (0-based, first and last) that share wall k's absorption: a wall of a curved stretch
// carries the absorption of its whole stretch.
std::pair<std::size_t, std::size_t> stretchOf(const Runtime& rt, Handle fig, std::size_t walls, std::size_t k) {
  const platform::Matrix& curves = viewCase(rt, fig).curves;
  if (!curves.empty() && curves.cols >= 9) {
    const double number = static_cast<double>(k + 1);
    for (std::size_t r = 0; r < curves.rows; ++r) {
      if (curves(r, 7) <= number && number <= curves(r, 8)) {
        const std::size_t first = static_cast<std::size_t>(std::max(1.0, curves(r, 7))) - 1;
        const std::size_t last = std::min(walls, static_cast<std::size_t>(curves(r, 8))) - 1;
        return {first, last};
      }
    }
  }
  return {k, k};
}

// A wall's record with this absorption and no material.
WallRecord plainWall(const WallRecord& wall, double alpha) {
  WallRecord plain;
  plain.con = wall.con;
  plain.alpha = alpha;
  return plain;
}

// The wall whose menu item called: the item carries the wall line.
Handle wallOfItem(const Runtime& rt, Handle fig) {
  const Graphics& g = rt.graphics();
  const Handle item = rt.callbackObject();
  if (item != platform::kNoHandle && g.exists(item) && g.at(item).type() == ObjectType::UiMenu) {
    if (const auto data = g.at(item).userdata()) {
      const Value v = data->toValue();
      if (v.isObject() && isWallLine(g, v.object()) && g.figureOf(v.object()) == fig) return v.object();
    }
  }
  return chosenWall(rt, fig);
}

}  // namespace

void wallmaterial(Runtime& rt, const Operations& ops) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle wall = wallOfItem(rt, fig);
  // A library that does not read says which line and field, in a box (nobody may watch the console).
  const MaterialLibrary* loaded = materialLibraryIfLoaded();
  if (loaded == nullptr) {
    rt.ui().message(platform::MessageKind::Error, materialLibraryProblem(), "Wall material");
    setCancelMark(rt, fig);
    return;
  }
  const MaterialLibrary& library = *loaded;
  const std::vector<Handle> walls = wallsInWallOrder(rt, fig);
  const std::size_t k = wallNumber(walls, wall);
  const WallRecord before = wallRecord(g, wall);

  platform::ListDialog dialog;
  dialog.title = "Wall material";
  dialog.prompt = "Material of wall " + std::to_string(k + 1) + " (\"" + std::string(kNoMaterial) +
                  "\" keeps its absorption in every band):";
  dialog.items.emplace_back(kNoMaterial);
  for (const Material& m : library.materials()) dialog.items.push_back(m.name);
  dialog.initial = before.material ? before.material->name : std::string(kNoMaterial);
  const auto choice = rt.ui().choose(dialog);
  std::optional<SurfaceMaterial> material;
  double alpha = before.alpha;
  if (choice && *choice != kNoMaterial) {
    const Material* m = library.find(*choice);
    if (m == nullptr) throw Error("unknown material \"" + *choice + "\"");
    material = SurfaceMaterial{m->name, m->absorption};
    alpha = midAbsorption(m->absorption);
  }
  if (!choice || (material == before.material && alpha == before.alpha)) {
    setCancelMark(rt, fig);
    return;
  }
  const auto [first, last] = stretchOf(rt, fig, walls.size(), k);
  for (std::size_t j = first; j <= last; ++j) {
    WallRecord rec = wallRecord(g, walls[j]);
    rec.alpha = alpha;
    rec.material = material;
    g.setUserdata(walls[j], rec);
  }
  recompute(rt, ops, {"refreshimages", "refreshsurfacevalues", "selectvalue"});
}

void changealpha(Runtime& rt, const Operations& ops) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle item = rt.callbackObject();
  Handle wall = platform::kNoHandle;
  std::optional<AbsorptionChange> change;
  if (item != platform::kNoHandle && g.exists(item) && g.at(item).type() == ObjectType::UiMenu) {
    change = absorptionChangeOfItem(g, item);
    if (const auto data = g.at(item).userdata()) {
      const Value v = data->toValue();
      if (v.isObject()) wall = v.object();
    }
  }
  if (!isWallLine(g, wall) || g.figureOf(wall) != fig) throw Error("no wall chosen: use the menu of a wall");
  if (change) changeWallAbsorption(rt, ops, wall, *change);
}

void changeWallAbsorption(Runtime& rt, const Operations& ops, Handle wall, AbsorptionChange change) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const std::vector<Handle> walls = wallsInWallOrder(rt, fig);
  const std::size_t k = wallNumber(walls, wall);  // 0-based
  const double alpha0 = wallRecord(g, wall).alpha;
  std::size_t first = k, last = k;
  bool all = false;
  double value = 0;
  if (change == AbsorptionChange::Ask) {
    const auto answer = rt.ui().input({{"Enter wall absorption coefficient (%):"},
                                       "Set wall property",
                                       1,
                                       {platform::formatNumber(alpha0)}});
    if (!answer || answer->empty() || answer->front().empty()) return;
    std::string text = answer->front();
    if (text.find('/') != std::string::npos) {
      all = true;
      std::replace(text.begin(), text.end(), '/', ' ');
    }
    const auto typed = typedAbsorption(text);
    if (!typed) return;
    value = *typed;
  } else {
    value = change == AbsorptionChange::Zero ? 0 : 100;
  }
  if (value == alpha0 && !all && !wallRecord(g, wall).material) return;

  if (all) {
    first = 0;
    last = walls.size() - 1;
  } else {
    std::tie(first, last) = stretchOf(rt, fig, walls.size(), k);
  }
  for (std::size_t j = first; j <= last; ++j) {
    // A typed absorption is the wall's in every band: its material goes.
    g.setUserdata(walls[j], plainWall(wallRecord(g, walls[j]), value));
  }
  recompute(rt, ops, {"refreshimages", "refreshsurfacevalues", "selectvalue"});
}

void changealphamanual(Runtime& rt, const Operations& ops) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  // One list at a time: a second call while the list is open leaves it alone.
  if (findInWindow(rt, fig, "listalpha")) return;

  std::vector<Value> lines;
  const std::vector<double> before = wallAbsorptions(rt, fig);
  for (std::size_t k = 0; k < before.size(); ++k) lines.emplace_back(absorptionListLine(k + 1, before[k]));

  ops.call(rt, "enableobjects", {Value("off")});
  const Handle box = createObject(g, ObjectType::UiControl, fig,
                                  {{"style", "edit"},
                                   {"units", "normalized"},
                                   {"position", Value::row({0.3, 0.3, 0.4, 0.4})},
                                   {"max", 10.0},
                                   {"min", 0.0},
                                   {"tag", "listalpha"},
                                   {"string", Value(platform::List{lines})},
                                   {"fontname", "FixedWidth"},
                                   {"fontsize", 10.0},
                                   {"horizontalalignment", "left"}});
  const Handle button = createObject(g, ObjectType::UiControl, fig,
                                     {{"style", "pushbutton"},
                                      {"units", "normalized"},
                                      {"position", Value::row({0.3, 0.25, 0.4, 0.05})},
                                      {"string", "update absorption coefficients"},
                                      {"horizontalalignment", "center"},
                                      {"callback", "delete(gcbo)"}});

  rt.waitfor(button);
  if (!g.exists(fig)) return;  // the window was closed while the list was open
  ops.call(rt, "enableobjects", {Value("on")});
  if (g.exists(button)) {
    // The wait ended without the button being pressed: the list is dropped unread.
    g.remove(button);
    if (g.exists(box)) g.remove(box);
    return;
  }
  if (!g.exists(box)) return;
  const std::vector<std::string> edited = editLines(g.get(box, "string"));
  g.remove(box);

  const std::vector<Handle> walls = wallsInWallOrder(rt, fig);
  const auto alpha = listedAbsorptions(edited, walls.size());
  if (!alpha) return;
  bool changed = false;
  for (std::size_t k = 0; k < walls.size(); ++k) {
    const WallRecord& rec = wallRecord(g, walls[k]);
    if (rec.alpha == (*alpha)[k]) continue;
    g.setUserdata(walls[k], plainWall(rec, (*alpha)[k]));
    changed = true;
  }
  if (changed) recompute(rt, ops, {"refreshimages", "refreshsurfacevalues", "selectvalue"});
}

void registerWallEditingOperations(Operations& ops) {
  const Operations* table = &ops;
  ops.add(makeOperation("splitwall", 0, 0, withoutArguments([](Runtime& rt) { splitwall(rt); })));
  ops.add(makeOperation("deletevertex", 0, 0,
                        withoutArguments([table](Runtime& rt) { deletevertex(rt, *table); })));
  ops.add(makeOperation("symmetry", 0, 0, withoutArguments([](Runtime& rt) { symmetry(rt); })));
  ops.add(makeOperation("changealpha", 0, 0,
                        withoutArguments([table](Runtime& rt) { changealpha(rt, *table); })));
  ops.add(makeOperation("wallmaterial", 0, 0,
                        withoutArguments([table](Runtime& rt) { wallmaterial(rt, *table); })));
  ops.add(makeOperation("changealphamanual", 0, 0,
                        withoutArguments([table](Runtime& rt) { changealphamanual(rt, *table); })));
}

}  // namespace velmora::editor
