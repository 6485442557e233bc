#include "shell/update.h"

#include <new>
#include <stdexcept>
#include <string>

#include "document/acoustics.h"
#include "document/drawing_objects.h"
#include "document/early_map.h"
#include "document/room_acoustics.h"
#include "document/tags.h"
#include "document/window.h"
#include "engine/chain.h"
#include "platform/model/error.h"
#include "shell/reflection_order.h"

namespace velmora::shell {

using namespace velmora::document;

using platform::Graphics;
using platform::Handle;
using platform::Value;

std::string wallListString(std::size_t walls) {
  std::string s = "all|direct";
  for (std::size_t k = 1; k <= walls; ++k) s += "|wall " + std::to_string(k);
  return s;
}

std::string valueListString(std::size_t walls, int order) {
  std::string s = wallListString(walls);
  for (int k = 2; k <= order; ++k) s += "|order " + std::to_string(k);
  return s;
}

void deleteWithMenu(Graphics& g, Handle h) {
  if (!g.exists(h)) return;
  const Value* named = g.at(h).find("uicontextmenu");
  const Value menu = named != nullptr ? *named : Value();
  g.remove(h);
  // A menu still used by another object stays.
  if (!menu.isObject() || !g.exists(menu.object())) return;
  // The model counts the users of each menu: a search of the window per deleted wall made a
  // rebuild quadratic in the number of walls.
  if (g.contextMenuUsers(menu.object()) == 0) g.remove(menu.object());
}

namespace {

void moveMarker(Graphics& g, Handle marker, double x, double y) {
  g.set(marker, "xdata", Value(x));
  g.set(marker, "ydata", Value(y));
}

std::vector<Value> snapshotAnswer(platform::Runtime& rt, const Operations& ops) {
  return ops.call(rt, "getcurrentprop", {}, 1);
}

// Steps 12 and 13: the history restarts with one entry after a scanned plan or a shape.
void restartHistory(platform::Runtime& rt, const Operations& ops, Handle fig, const std::string& label) {
  // The snapshot is taken first and the record read after it: taking it saves the case, and the
  // display refresh of that save stores the record, which a copy read earlier would overwrite.
  const auto answer = snapshotAnswer(rt, ops);
  CaseRecord record = readCase(rt, fig);
  if (!answer.empty() && answer.front().isRecord() && answer.front().record().size() > 0) {
    record.proplist = {CaseDescription::fromValue(answer.front())};
    record.actionlist = {label};
  }
  record.animationparameters.reset();
  storeCase(rt, fig, std::move(record));
}

// What the map step will most likely be given: the description's walls, source, audience area and
// precision, and the window's own for what it leaves out. Nothing when the window has no map to show,
// or one the step would refuse.
std::optional<engine::CaseInputs> expectedMapInputs(const platform::Runtime& rt, Handle fig,
                                                    const CaseDescription& prop) {
  InputOverrides overrides;
  if (prop.xwall && prop.ywall) {
    overrides.walls = engine::wallsFromOutline(*prop.xwall, *prop.ywall);
    overrides.alpha = prop.alpha.value_or(std::vector<double>(overrides.walls->size(), 0.0));
  }
  if (prop.xso && prop.yso) {
    overrides.source = engine::Point{*prop.xso, *prop.yso};
  } else if (!sourcePoint(rt, fig)) {
    return std::nullopt;
  }
  overrides.xaud = prop.xaud;
  overrides.yaud = prop.yaud;
  overrides.intervals = prop.Nsurface;
  overrides.curves = prop.curves;
  overrides.gridFromCorners = true;
  engine::CaseInputs in = gatherEngineInputs(rt, fig, overrides);
  if (in.xs.empty()) return std::nullopt;
  return in;
}

// The map starts on the other core while this rebuilds the window; its step takes the values if they
// are for what the window then shows. A guess that cannot be made (a window damaged from outside) is no
// reason to refuse the rebuild: the steps say what is wrong, if anything still is.
void startEarlyMap(platform::Runtime& rt, Handle fig, const CaseDescription& prop) {
  std::shared_ptr<EarlyMap> early;
  try {
    if (auto expected = expectedMapInputs(rt, fig, prop); expected && EarlyMap::suits(*expected))
      early = std::make_shared<EarlyMap>(std::move(*expected));
  } catch (const std::exception&) {
  }
  if (early) changeCase(rt, fig, [&](CaseRecord& record) { record.earlyMap = std::move(early); });
}

// The reflection order the description asks for, stored and checked in the settings menu; the
// order the window computes at.
int setReflectionOrder(platform::Runtime& rt, Handle fig, const CaseDescription& prop) {
  const int order = prop.order.value_or(viewCase(rt, fig).order);
  if (prop.order) {
    changeCase(rt, fig, [&](CaseRecord& record) { record.order = order; });
    checkOrderMenu(rt.graphics(), fig, order);
  }
  return order;
}

// New walls and their vertices; the value list offers them (and the orders above the first). Whether
// walls were given.
bool replaceWalls(platform::Runtime& rt, Handle fig, Handle axes, const CaseDescription& prop, int order) {
  Graphics& g = rt.graphics();
  if (!prop.xwall || !prop.ywall) {
    if (!prop.order) return false;
    // The order entries follow the walls': an entry past the new end shows "all".
    if (auto list = findInWindow(rt, fig, tags::kValueList)) {
      const std::size_t n = wallsInWallOrder(rt, fig).size();
      const auto value = g.at(*list).numbers("value");
      if (value.empty() || value.front() > static_cast<double>(n + 1 + order))
        g.set(*list, "value", Value(1.0));
      g.set(*list, "string", Value(valueListString(n, order)));
    }
    return false;
  }
  const std::size_t n = prop.xwall->size();
  std::vector<double> alpha = prop.alpha.value_or(std::vector<double>(n, 0.0));
  for (Handle h : objectsByTag(rt, fig, tags::kWall)) deleteWithMenu(g, h);
  for (Handle h : objectsByTag(rt, fig, tags::kWallVertex)) deleteWithMenu(g, h);
  const WallChain chain = makeWallChain(g, axes, *prop.xwall, *prop.ywall, alpha);
  if (const auto materials = wallMaterialsOf(prop)) setWallMaterials(g, chain.walls, *materials);
  if (auto list = findInWindow(rt, fig, tags::kValueList)) {
    if (!prop.noselectchange) g.set(*list, "value", Value(1.0));
    g.set(*list, "string", Value(valueListString(n, order)));
  }
  return true;
}

// The given audience area, shown or hidden as the old one was; without one, the old area is made to
// match the room when it no longer lies inside.
void replaceAudienceArea(platform::Runtime& rt, const Operations& ops, Handle fig, Handle axes,
                         const CaseDescription& prop) {
  Graphics& g = rt.graphics();
  if (prop.xaud && prop.yaud) {
    std::string visibility = "on";
    const auto oldEdges = objectsByTag(rt, fig, tags::kAudienceEdge);
    if (!oldEdges.empty()) visibility = g.at(oldEdges.front()).text("visible");
    for (Handle h : oldEdges) deleteWithMenu(g, h);
    for (Handle h : objectsByTag(rt, fig, tags::kAudienceVertex)) deleteWithMenu(g, h);
    const AudienceArea area = makeAudienceArea(g, axes, *prop.xaud, *prop.yaud);
    for (Handle h : area.edges) g.set(h, "visible", Value(visibility));
    for (Handle h : area.corners) g.set(h, "visible", Value(visibility));
  } else if (!prop.noaudiencechange) {
    const auto inside = ops.call(rt, "checkaudience", {}, 1);
    if (!inside.empty() && inside.front().isScalar() && inside.front().scalar() == -1) {
      ops.call(rt, "matchroom");
    }
  }
}

// Source: where the description puts it, else kept where it is unless the new room leaves it outside
// (then on the first vertex).
void placeSource(platform::Runtime& rt, const Operations& ops, Handle fig, const CaseDescription& prop) {
  Graphics& g = rt.graphics();
  const auto source = findInWindow(rt, fig, tags::kSource);
  if (!source) return;
  if (prop.xso && prop.yso) {
    moveMarker(g, *source, *prop.xso, *prop.yso);
    return;
  }
  const engine::Point s = firstPoint(rt, *source);
  const auto cls = ops.call(rt, "checksource", {Value(s.x), Value(s.y), Value::handle(fig)}, 1);
  if (!cls.empty() && cls.front().isScalar() && cls.front().scalar() == 0) {
    const auto walls = wallsInWallOrder(rt, fig);
    if (!walls.empty()) {
      const engine::Point v1 = firstPoint(rt, walls.front());
      moveMarker(g, *source, v1.x, v1.y);
    }
  }
}

// View and grid: the given view, else one around new walls.
void setViewAndGrid(platform::Runtime& rt, const Operations& ops, const CaseDescription& prop,
                    bool newWalls) {
  bool newView = false;
  if (prop.xlim && prop.ylim) {
    newView = true;
    ops.call(rt, "expandzone",
             {Value::row({(*prop.xlim)[0], (*prop.xlim)[1], (*prop.ylim)[0], (*prop.ylim)[1]})});
  }
  if (prop.gsize) ops.call(rt, "changegrid", {Value(*prop.gsize)});
  if (newWalls && !newView) ops.call(rt, "expandzone", {Value("auto")});
}

// Receptor: where the description puts it, else in the middle of the view.
void placeReceptor(platform::Runtime& rt, Handle fig, Handle axes, const CaseDescription& prop) {
  Graphics& g = rt.graphics();
  const auto receptor = findInWindow(rt, fig, tags::kReceptor);
  if (!receptor) return;
  if (prop.xre && prop.yre) {
    moveMarker(g, *receptor, *prop.xre, *prop.yre);
  } else {
    const auto xl = g.at(axes).numbers("xlim");
    const auto yl = g.at(axes).numbers("ylim");
    moveMarker(g, *receptor, (xl[0] + xl[1]) / 2, (yl[0] + yl[1]) / 2);
  }
}

// The fields kept in the case record only. A description that gives the walls gives the whole room:
// the height, the floor and the ceiling it leaves out go back to the defaults (an older case, an undo
// step from before they were set); one without walls changes only what it gives.
void storeRecordFields(platform::Runtime& rt, Handle fig, const CaseDescription& prop) {
  const bool wholeRoom = prop.xwall.has_value();
  const CaseRecord& now = viewCase(rt, fig);
  const auto height = wholeRoom || prop.roomheight ? prop.roomheight : now.roomheight;
  const auto floor =
      wholeRoom || prop.floormaterial ? surfaceMaterialOf(prop.floormaterial, prop.floorbands) : now.floor;
  const auto ceiling = wholeRoom || prop.ceilingmaterial
                           ? surfaceMaterialOf(prop.ceilingmaterial, prop.ceilingbands)
                           : now.ceiling;
  const bool room = height != now.roomheight || floor != now.floor || ceiling != now.ceiling;
  if (!prop.Lw && !prop.name && !prop.curves && !room) return;
  CaseRecord record = readCase(rt, fig);
  if (prop.Lw) record.Lw = *prop.Lw;
  if (prop.name) record.name = *prop.name;
  if (prop.curves) record.curves = *prop.curves;
  record.roomheight = height;
  record.floor = floor;
  record.ceiling = ceiling;
  storeCase(rt, fig, std::move(record));
}

// The computation chain over the rebuilt window; the early map is spent once its step has run.
void recomputeWindow(platform::Runtime& rt, const Operations& ops, Handle fig) {
  for (const char* step :
       {"refreshsurfaceposition", "checkroomconvexity", "refreshimages", "setlayer", "refreshsurfacevalues",
        "selectvalue", "hidegrid", "setsurfacefob", "refreshwallmenu"}) {
    ops.call(rt, step);
  }
  if (viewCase(rt, fig).earlyMap) {
    changeCase(rt, fig, [](CaseRecord& record) { record.earlyMap.reset(); });
  }
}

void rebuild(platform::Runtime& rt, const Operations& ops, const CaseDescription& prop) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  g.set(fig, "currentaxes", Value::handle(axes));

  startEarlyMap(rt, fig, prop);
  const int order = setReflectionOrder(rt, fig, prop);
  const bool newWalls = replaceWalls(rt, fig, axes, prop, order);
  replaceAudienceArea(rt, ops, fig, axes, prop);
  if (prop.Nsurface) {
    for (Handle h : objectsByTag(rt, fig, tags::kAudienceMap)) deleteWithMenu(g, h);
    makeAudienceMap(g, axes, *prop.Nsurface);
  }
  placeSource(rt, ops, fig, prop);
  setViewAndGrid(rt, ops, prop, newWalls);
  placeReceptor(rt, fig, axes, prop);
  storeRecordFields(rt, fig, prop);
  recomputeWindow(rt, ops, fig);

  if (prop.scan) {
    restartHistory(rt, ops, fig, *prop.scan == "dxf" ? "DXF plan" : "scanned plan");
  } else if (prop.geometricshapes) {
    restartHistory(rt, ops, fig, "geometric shape");
  }
}

// The reflection order asked for, counted before anything changes: walls, source and curves as the
// description gives them, the window's for the rest.
void refuseTooMuchWork(const platform::Runtime& rt, Handle fig, const CaseDescription& prop) {
  if (!prop.order || *prop.order <= 1) return;
  InputOverrides overrides;
  if (prop.xwall && prop.ywall) {
    overrides.walls = engine::wallsFromOutline(*prop.xwall, *prop.ywall);
    overrides.alpha = prop.alpha.value_or(std::vector<double>(overrides.walls->size(), 0.0));
  }
  if (prop.xso && prop.yso) overrides.source = engine::Point{*prop.xso, *prop.yso};
  overrides.curves = prop.curves;
  engine::CaseInputs in = gatherEngineInputs(rt, fig, overrides);
  in.order = *prop.order;
  document::refuseTooMuchWork(in);
}

}  // namespace

void update(platform::Runtime& rt, const Operations& ops, const CaseDescription& prop) {
  // Everything a description may ask for is checked before the first object changes.
  prop.checkLimits();
  refuseTooMuchWork(rt, currentMainWindow(rt), prop);
  // The window shows the new case whole or stays as it was: a failure anywhere in the rebuild or in the
  // computations after it (running out of memory included) puts back every object and the case record.
  Graphics& g = rt.graphics();
  Graphics::Snapshot before = g.snapshot();
  try {
    rebuild(rt, ops, prop);
  } catch (const std::bad_alloc&) {
    g.restore(std::move(before));
    throw Error("not enough memory to show this case; the window is left as it was");
  } catch (const std::length_error&) {
    g.restore(std::move(before));
    throw Error("not enough memory to show this case; the window is left as it was");
  } catch (...) {
    g.restore(std::move(before));
    throw;
  }
}

}  // namespace velmora::shell
