#include "shell/reflection_order.h"

#include <cmath>
#include <string>

#include "document/case_record.h"
#include "document/tags.h"
#include "document/window.h"
#include "engine/beams.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/model/ui.h"

namespace velmora::shell {

using platform::Handle;
using platform::Value;

namespace {

[[noreturn]] void badOrder(const std::string& shown) {
  throw Error("reflection order: order must be a whole number from 1 to " +
              std::to_string(engine::kMaxOrder) + ", not " + shown);
}

int readOrder(const Value& v) {
  double d = 0;
  std::string shown;
  if (v.isText()) {
    shown = "\"" + v.text() + "\"";
    const auto numbers = platform::readNumbers(v.text());
    if (!numbers || numbers->size() != 1) badOrder(shown);
    d = numbers->front();
  } else if (v.isScalar()) {
    d = v.scalar();
    shown = platform::formatNumber(d);
  } else {
    badOrder(std::string("a ") + v.kindName());
  }
  if (!(d == std::floor(d) && d >= 1 && d <= engine::kMaxOrder)) badOrder(shown);
  return static_cast<int>(d);
}

// The submenu items "1".."6", in creation order.
std::vector<Handle> orderItems(const platform::Graphics& g, Handle fig) {
  std::vector<Handle> items;
  const auto parent = document::controlMenuItem(g, fig, "hiddensettings", kReflectionOrderLabel);
  if (!parent) return items;
  const auto& children = g.at(*parent).children();
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (g.at(*it).type() == platform::ObjectType::UiMenu) items.push_back(*it);
  return items;
}

}  // namespace

void checkOrderMenu(platform::Graphics& g, Handle fig, int order) {
  for (Handle item : orderItems(g, fig)) {
    const bool on = g.at(item).text("label") == std::to_string(order);
    if (g.at(item).isOn("checked") != on) g.setText(item, "checked", on ? "on" : "off");
  }
}

void reflectionorder(platform::Runtime& rt, const Operations& ops, const std::optional<Value>& order) {
  platform::Graphics& g = rt.graphics();
  const Handle fig = document::currentMainWindow(rt);
  int chosen = 0;
  if (order) {
    chosen = readOrder(*order);
  } else {
    const Handle caller = rt.callbackObject();
    if (caller == platform::kNoHandle || !g.exists(caller) ||
        g.at(caller).type() != platform::ObjectType::UiMenu)
      throw Error("reflection order: give the order, a whole number from 1 to " +
                  std::to_string(engine::kMaxOrder));
    chosen = readOrder(Value(g.at(caller).text("label")));
  }
  if (chosen == document::viewCase(rt, fig).order) {
    checkOrderMenu(g, fig, chosen);
    g.setGuiData(fig, Value(std::string("canceled")));  // nothing changed: no history step
    return;
  }
  document::CaseDescription prop;
  prop.order = chosen;
  prop.noselectchange = true;
  prop.noaudiencechange = true;
  // The rebuild puts a receptor the description leaves out in the middle of the view: it stays.
  if (const auto receptor = document::findInWindow(rt, fig, tags::kReceptor)) {
    const engine::Point r = document::firstPoint(rt, *receptor);
    prop.xre = r.x;
    prop.yre = r.y;
  }
  try {
    ops.call(rt, "update", {prop.toValue()});
  } catch (const Error& e) {
    // Chosen in the menu: why the order stays (too many paths) is said in a box too.
    const Handle caller = rt.callbackObject();
    if (caller != platform::kNoHandle && g.exists(caller) && g.at(caller).type() == platform::ObjectType::UiMenu)
      rt.ui().message(platform::MessageKind::Error, e.what(), "Reflection order");
    throw;
  }
}

void registerReflectionOrderOperations(Operations& ops) {
  const Operations* table = &ops;
  ops.add({"reflectionorder", 1, 0, 1, [table](platform::Runtime& rt, const std::vector<Value>& args) {
             reflectionorder(rt, *table, args.empty() ? std::nullopt : std::optional<Value>(args[0]));
             return std::vector<Value>{};
           }});
}

}  // namespace velmora::shell
