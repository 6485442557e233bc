#include "shell/recent_cases.h"

#include <filesystem>
#include <vector>

#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/model/ui.h"
#include "platform/files/recent_cases.h"

namespace velmora::shell {

using namespace velmora::document;

namespace {

using platform::Graphics;
using platform::Handle;
using platform::ObjectType;
using platform::Value;

constexpr std::string_view kRecentCallback = "velmoracopy('loadrecent')";

std::optional<Handle> submenuOf(const Graphics& g, Handle fig) {
  return controlMenuItem(g, fig, tags::kObjectsButton, kRecentCasesItem);
}

std::optional<Handle> objectsMenu(const Graphics& g, Handle fig) {
  const auto controls = g.findobj(fig, tags::kObjectsButton);
  if (controls.empty()) return std::nullopt;
  const Value menu = g.get(controls.front(), "uicontextmenu");
  if (!menu.isObject() || !g.exists(menu.object())) return std::nullopt;
  return menu.object();
}

}  // namespace

void noteRecentCase(platform::Runtime&, const std::string& path) {
  const std::filesystem::path p(path);
  if (platform::equalsIgnoreCase(p.stem().string(), "temporarysave")) return;
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(p, ec).lexically_normal();
  platform::recentCases().add(ec ? path : absolute.string());
}

void refreshRecentCasesMenu(platform::Runtime& rt) {
  Graphics& g = rt.graphics();
  const std::vector<std::string> recent = platform::recentCases().list();
  for (Handle fig : g.figures()) {
    if (!isMainWindow(rt, fig)) continue;
    auto submenu = submenuOf(g, fig);
    bool fresh = false;
    if (!submenu) {
      const auto menu = objectsMenu(g, fig);
      if (!menu) continue;
      submenu = addMenuItem(g, *menu, {std::string(kRecentCasesItem), "", true});
      fresh = true;
    }
    std::vector<std::string> shown;
    for (Handle item : menuItemsInOrder(g, *submenu)) shown.push_back(g.at(item).text("label"));
    if (shown == recent && !fresh) continue;
    for (Handle item : menuItemsInOrder(g, *submenu)) g.remove(item);
    for (const std::string& path : recent) addMenuItem(g, *submenu, {path, std::string(kRecentCallback)});
    g.setText(*submenu, "enable", recent.empty() ? "off" : "on");
  }
}

void loadrecent(platform::Runtime& rt, const Operations& ops) {
  const Graphics& g = rt.graphics();
  const Handle item = rt.callbackObject();
  if (item == platform::kNoHandle || !g.exists(item) || g.at(item).type() != ObjectType::UiMenu) return;
  const std::string path = g.at(item).text("label");
  try {
    // As "load NAME": a missing file is named, and the old room's curves go with it.
    if (std::error_code ec; !std::filesystem::is_regular_file(path, ec))
      throw Error("file " + path + " not found ...");
    ops.call(rt, "resetcurves");
    ops.call(rt, "loadcase", {Value(path)});
  } catch (const Error& e) {
    // Chosen in a menu: the window's user sees why nothing opened, not only the console.
    rt.ui().message(platform::MessageKind::Error, e.what(), "Recent cases");
    throw;
  }
}

void registerRecentCaseOperations(Operations& ops) {
  const Operations* table = &ops;
  ops.add(makeOperation("loadrecent", 0, 0,
                        withoutArguments([table](platform::Runtime& rt) { loadrecent(rt, *table); })));
}

}  // namespace velmora::shell
