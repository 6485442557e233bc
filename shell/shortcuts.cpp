#include "shell/shortcuts.h"

#include "document/window.h"
#include "platform/model/error.h"
#include "shell/update.h"

namespace velmora::shell {

using namespace velmora::document;

using platform::Handle;
using platform::Value;

const std::vector<platform::Accelerator>& mainWindowShortcuts() {
  static const std::vector<platform::Accelerator> keys = {
      {"Ctrl+S", "velmoracopy('save')", "save"},
      {"Ctrl+O", "velmoracopy('load')", "load"},
      {"Ctrl+Z", "velmoracopy('historyback')", "history"},
      {"Ctrl+Shift+Z", "velmoracopy('historyforward')", "history"},
      {"Ctrl+P", "velmoracopy('print')", "print"},
      {"Escape", "velmoracopy('escapekey')", "measure"},
  };
  return keys;
}

void installShortcuts(platform::Graphics& g, Handle fig) {
  g.setAppData(fig, platform::kAcceleratorsAppData, platform::acceleratorsValue(mainWindowShortcuts()));
}

void historystep(platform::Runtime& rt, const Operations& ops, int step) {
  platform::Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const CaseRecord record = readCase(rt, fig);
  const std::size_t count = std::min(record.actionlist.size(), record.proplist.size());
  std::size_t place = count == 0 ? 0 : count - 1;
  if (const Value* cursor = g.at(fig).appData(kHistoryCursorAppData); cursor && cursor->isMatrix()) {
    const auto v = cursor->numbers();
    if (v.size() == 2 && v[1] == static_cast<double>(count) && v[0] >= 0 && v[0] < v[1])
      place = static_cast<std::size_t>(v[0]);
  }
  const bool atEnd = step < 0 ? place == 0 : place + 1 >= count;
  if (count <= 1 || atEnd) {
    rt.ui().beep();
    return;
  }
  place = step < 0 ? place - 1 : place + 1;
  CaseDescription snapshot = record.proplist[place];
  // As the history list restores: the window keeps its map precision and case name, and a snapshot
  // without curves clears those of a later room, one without an order goes back to order 1.
  snapshot.Nsurface.reset();
  snapshot.name.reset();
  if (!snapshot.curves) snapshot.curves = platform::Matrix{};
  if (!snapshot.order) snapshot.order = 1;  // taken at order 1
  update(rt, ops, snapshot);
  g.setAppData(fig, kHistoryCursorAppData,
               Value::row({static_cast<double>(place), static_cast<double>(count)}));
}

void escapekey(platform::Runtime& rt, const Operations& ops) {
  platform::Graphics& g = rt.graphics();
  const auto fig = findMainWindow(rt);
  if (!fig) return;
  const auto toggles = g.findIf(*fig, [](const platform::GraphicsObject& o) {
    if (o.type() != platform::ObjectType::UiControl || o.text("style") != "togglebutton") return false;
    const Value s = o.get("string");
    return s.isText() && s.text() == "measure";
  });
  if (toggles.empty()) return;
  const auto value = g.at(toggles.front()).numbers("value");
  if (value.empty() || value.front() != 1) return;
  g.setNumber(toggles.front(), "value", 0);
  ops.call(rt, "setcursormeasure");
}

void registerShortcutOperations(Operations& ops) {
  const Operations* table = &ops;
  ops.add(makeOperation("historyback", 0, 0,
                        withoutArguments([table](platform::Runtime& rt) { historystep(rt, *table, -1); })));
  ops.add(makeOperation("historyforward", 0, 0,
                        withoutArguments([table](platform::Runtime& rt) { historystep(rt, *table, +1); })));
  ops.add(makeOperation("escapekey", 0, 0,
                        withoutArguments([table](platform::Runtime& rt) { escapekey(rt, *table); })));
}

}  // namespace velmora::shell
