#include "shell/window_operations.h"

#include "document/acoustics.h"
#include "document/arrows.h"
#include "document/case_record.h"
#include "shell/enable_objects.h"
#include "shell/init.h"
#include "shell/print_case.h"
#include "shell/update.h"
#include "shell/wall_menu.h"

namespace velmora::shell {

using namespace velmora::document;

using platform::Runtime;
using platform::Value;

namespace {

constexpr double kDefaultZone = 20;

std::optional<std::string> textArg(const std::vector<Value>& args, std::size_t i) {
  if (i < args.size() && args[i].isText()) return args[i].text();
  return std::nullopt;
}

}  // namespace

void registerWindowOperations(Operations& ops) {
  // Operations that run others use the table they were registered in.
  const Operations* table = &ops;

  ops.add(
      makeOperation("getzonesize", 0, 1, [](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
        const auto zone = getzonesize(rt);
        return {zone ? Value(*zone) : Value(platform::Matrix{})};
      }));
  ops.add(
      makeOperation("init", 1, 0, [table](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        const double zone = !args.empty() && args[0].isScalar() ? args[0].scalar() : kDefaultZone;
        init(rt, *table, zone);
        return {};
      }));
  ops.add(makeOperation("update", 1, 0,
                        [table](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                          if (args.empty()) return {};
                          update(rt, *table, CaseDescription::fromValue(args[0]));
                          return {};
                        }));
  ops.add(makeOperation("refreshwallmenu", 0, 0,
                        [](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
                          refreshwallmenu(rt);
                          return {};
                        }));
  ops.add(makeOperation("enableobjects", 1, 0,
                        [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                          enableobjects(rt, textArg(args, 0).value_or("on"));
                          return {};
                        }));
  ops.add(
      makeOperation("printcase", 2, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        printcase(rt, textArg(args, 0), textArg(args, 1));
        return {};
      }));
  ops.add(makeOperation("printpolar", 2, 0,
                        [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                          printpolar(rt, textArg(args, 0), textArg(args, 1));
                          return {};
                        }));
  ops.add(makeOperation("printechogram", 2, 0,
                        [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                          printechogram(rt, textArg(args, 0), textArg(args, 1));
                          return {};
                        }));
  ops.add(
      makeOperation("createarrow", 1, 1, [](Runtime&, const std::vector<Value>& args) -> std::vector<Value> {
        return {Value(createarrow(textArg(args, 0)))};
      }));
  registerAcousticsOperations(ops);
}

}  // namespace velmora::shell
