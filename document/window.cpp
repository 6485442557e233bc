#include "document/window.h"

#include <algorithm>
#include <string>

#include "document/tags.h"
#include "platform/model/error.h"

namespace velmora::document {

using platform::ObjectType;

bool isMainWindow(const platform::Runtime& rt, Handle fig) {
  const auto& g = rt.graphics();
  if (fig == platform::kNoHandle || !g.exists(fig)) return false;
  const auto& o = g.at(fig);
  return o.type() == ObjectType::Figure && o.tag() == kMainWindowTag;
}

std::optional<Handle> findMainWindow(const platform::Runtime& rt) {
  const auto& g = rt.graphics();
  const Handle current = g.currentFigure();
  if (isMainWindow(rt, current)) return current;
  for (Handle fig : g.figures())  // stacking order: topmost first
    if (isMainWindow(rt, fig)) return fig;
  return std::nullopt;
}

Handle currentMainWindow(const platform::Runtime& rt) {
  if (auto fig = findMainWindow(rt)) return *fig;
  throw Error("no main window");
}

const CaseRecord& viewCase(const platform::Runtime& rt, Handle fig) {
  const auto* udf = rt.graphics().at(fig).userdataAs<CaseRecord>();
  if (!udf) throw Error("window " + std::to_string(fig) + " holds no case record");
  return *udf;
}

CaseRecord readCase(const platform::Runtime& rt, Handle fig) {
  return viewCase(rt, fig);
}

CaseRecord readCase(const platform::Runtime& rt) {
  return readCase(rt, currentMainWindow(rt));
}

void storeCase(platform::Runtime& rt, Handle fig, CaseRecord record) {
  rt.graphics().setUserdata(fig, std::move(record));
}

void storeCase(platform::Runtime& rt, CaseRecord record) {
  storeCase(rt, currentMainWindow(rt), std::move(record));
}

Handle drawingAxes(const platform::Runtime& rt, Handle fig) {
  auto found = rt.graphics().findobj(fig, kDrawingAxesTag);
  if (found.empty()) throw Error("the window has no drawing area");
  return found.front();
}

std::vector<Handle> objectsByTag(const platform::Runtime& rt, Handle fig, std::string_view tag) {
  return rt.graphics().findobj(drawingAxes(rt, fig), tag);
}

std::vector<Handle> objectsInCreationOrder(const platform::Runtime& rt, Handle fig, std::string_view tag) {
  auto found = objectsByTag(rt, fig, tag);
  std::reverse(found.begin(), found.end());
  return found;
}

std::optional<Handle> findInWindow(const platform::Runtime& rt, Handle fig, std::string_view tag) {
  auto found = rt.graphics().findobj(fig, tag);
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::optional<Handle> controlMenuItem(const platform::Graphics& g, Handle fig, std::string_view owner,
                                      std::string_view label) {
  const auto controls = g.findobj(fig, owner);
  if (controls.empty()) return std::nullopt;
  const platform::Value* menu = g.at(controls.front()).find("uicontextmenu");
  if (menu == nullptr || !menu->isObject() || !g.exists(menu->object())) return std::nullopt;
  // Oldest first, as the items were added.
  const auto& items = g.at(menu->object()).children();
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    const auto& item = g.at(*it);
    if (item.type() != platform::ObjectType::UiMenu) continue;
    const platform::Value* text = item.find("label");
    if (text != nullptr && text->isText() && text->text() == label) return *it;
  }
  return std::nullopt;
}

bool controlItemChecked(const platform::Graphics& g, Handle fig, std::string_view owner,
                        std::string_view label) {
  const auto item = controlMenuItem(g, fig, owner, label);
  return !item || g.at(*item).isOn("checked");
}

Handle objectInWindow(const platform::Runtime& rt, Handle fig, std::string_view tag) {
  if (auto h = findInWindow(rt, fig, tag)) return *h;
  throw Error("object " + std::string(tag) + " not found");
}

std::vector<Handle> wallsInWallOrder(const platform::Runtime& rt, Handle fig) {
  return objectsInCreationOrder(rt, fig, tags::kWall);
}

engine::Walls wallGeometry(const platform::Runtime& rt, Handle fig) {
  engine::Walls walls;
  for (Handle h : wallsInWallOrder(rt, fig)) {
    const auto& o = rt.graphics().at(h);
    const auto x = o.numbers("xdata");
    const auto y = o.numbers("ydata");
    if (x.size() < 2 || y.size() < 2)
      throw Error("wall line " + std::to_string(h) + " has fewer than two points");
    walls.push_back({x[0], y[0], x[1], y[1]});
  }
  return walls;
}

std::vector<double> wallAbsorptions(const platform::Runtime& rt, Handle fig) {
  std::vector<double> alpha;
  for (Handle h : wallsInWallOrder(rt, fig)) {
    const auto* rec = rt.graphics().at(h).userdataAs<WallRecord>();
    alpha.push_back(rec ? rec->alpha : 0.0);
  }
  return alpha;
}

engine::Point firstPoint(const platform::Runtime& rt, Handle h) {
  const auto& o = rt.graphics().at(h);
  const auto x = o.numbers("xdata");
  const auto y = o.numbers("ydata");
  if (x.empty() || y.empty()) throw Error("object " + std::to_string(h) + " has no point");
  return {x[0], y[0]};
}

AudienceCorners audienceCorners(const platform::Runtime& rt, Handle fig) {
  AudienceCorners c;
  for (Handle h : objectsInCreationOrder(rt, fig, tags::kAudienceVertex)) {
    const engine::Point p = firstPoint(rt, h);
    c.x.push_back(p.x);
    c.y.push_back(p.y);
  }
  return c;
}

std::optional<platform::Value> takeGuiData(platform::Runtime& rt, Handle fig) {
  auto& g = rt.graphics();
  if (fig == platform::kNoHandle || !g.exists(fig)) return std::nullopt;
  std::optional<platform::Value> v = g.at(fig).guiData();
  g.setGuiData(fig, std::nullopt);
  return v;
}

}  // namespace velmora::document
