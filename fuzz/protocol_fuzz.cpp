// Feeds arbitrary bytes to the automation protocol as request lines, over a small object model: every
// line must get one JSON reply with "ok", and nothing may crash, hang or grow without bound.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/automation/automation.h"
#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"

using namespace velmora::platform;

namespace {

// "init" opens a window with a case record, axes, a line and a wall list; "fail" raises; every other
// call is only counted. Enough for get, set, find, press, callback and close to reach real objects.
void dispatcher(Runtime& rt, const std::vector<Value>& args) {
  const std::string verb = args.empty() ? "init" : args[0].isText() ? args[0].text() : "";
  Graphics& g = rt.graphics();
  if (verb == "fail") throw velmora::Error("unknown argument");
  if (verb != "init") return;
  const Handle fig = g.create(ObjectType::Figure, kRoot);
  g.setText(fig, "tag", "acoufig");
  Record udf;
  udf.set("name", Value("not saved"));
  udf.set("xlim", Value::row({0, 20}));
  g.setUserdata(fig, std::make_shared<ValueUserData>(Value(udf)));
  const Handle ax = g.create(ObjectType::Axes, fig);
  const Handle line = g.create(ObjectType::Line, ax);
  g.set(line, "buttondownfcn", Value("velmoracopy('movewallpoint')"));
  const Handle list = g.create(ObjectType::UiControl, fig);
  g.setText(list, "style", "popupmenu");
  g.setText(list, "string", "all|direct|wall 1");
  g.setText(list, "callback", "velmoracopy('selectvalue')");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ScriptedUi ui;
  Runtime rt(ui);
  rt.setDispatcher(dispatcher);
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out;
  {
    Automation automation(rt, ui, in, out);
    automation.setMainWindowTag("acoufig");
    automation.run();
  }
  std::istringstream replies(out.str());
  for (std::string reply; std::getline(replies, reply);) {
    const auto j = Json::parse(reply, nullptr, false);
    if (j.is_discarded() || !j.is_object() || !j.contains("ok")) std::abort();
  }
  return 0;
}
