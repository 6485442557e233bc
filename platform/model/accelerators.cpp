#include "platform/model/accelerators.h"

#include "platform/model/numbers.h"

namespace velmora::platform {

Value acceleratorsValue(const std::vector<Accelerator>& accelerators) {
  List list;
  for (const Accelerator& a : accelerators) {
    Record r;
    r.set("key", Value(a.key));
    r.set("callback", Value(a.callback));
    r.set("control", Value(a.control));
    list.items.emplace_back(std::move(r));
  }
  return Value(std::move(list));
}

std::vector<Accelerator> acceleratorsOf(const Graphics& g, Handle figure) {
  std::vector<Accelerator> out;
  if (!g.exists(figure)) return out;
  const Value* v = g.at(figure).appData(kAcceleratorsAppData);
  if (v == nullptr || !v->isList()) return out;
  const auto text = [](const Record& r, std::string_view name) {
    const Value* f = r.find(name);
    return f != nullptr && f->isText() ? f->text() : std::string();
  };
  for (const Value& item : v->list().items) {
    if (!item.isRecord()) continue;  // set by hand to something else: no accelerator
    out.push_back({text(item.record(), "key"), text(item.record(), "callback"), text(item.record(), "control")});
  }
  return out;
}

std::optional<std::string> acceleratorCallback(const Graphics& g, Handle figure, std::string_view key) {
  for (const Accelerator& a : acceleratorsOf(g, figure))
    if (!a.key.empty() && equalsIgnoreCase(a.key, key)) return a.callback;
  return std::nullopt;
}

std::string tooltipWithKeys(const Graphics& g, Handle control) {
  const GraphicsObject& o = g.at(control);
  std::string tip = o.text("tooltipstring");
  std::string keys;
  const std::string label = o.hasProperty("string") && o.get("string").isText() ? o.text("string") : "";
  for (const Accelerator& a : acceleratorsOf(g, g.figureOf(control))) {
    if (a.control.empty() || (a.control != o.tag() && a.control != label)) continue;
    keys += (keys.empty() ? "" : ", ") + a.key;
  }
  if (keys.empty() || tip.empty()) return tip;
  return tip + " (" + keys + ")";
}

}  // namespace velmora::platform
