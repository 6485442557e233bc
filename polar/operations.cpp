// The operations of the polar diagram, under their documented names.

#include "platform/error.h"
#include "polar/echogram.h"
#include "polar/polar.h"

namespace velmora::polar {

using platform::Value;

namespace {

Handle handleArg(const Value& v) {
  if (v.isObject()) return v.object();
  if (v.isScalar()) return static_cast<Handle>(v.scalar());
  return platform::kNoHandle;
}

std::vector<double> numbersArg(const std::vector<Value>& args, std::size_t k) {
  if (k >= args.size() || !args[k].isMatrix()) return {};
  return args[k].numbers();
}

}  // namespace

void registerPolarOperations(shell::Operations& ops) {
  ops.add(shell::makeOperation(
      "polardiagram", 5, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        if (args.empty()) {
          polardiagram(rt);
          return {};
        }
        RefreshRequest request;
        request.figure = handleArg(args[0]);
        request.mainWindow = args.size() > 1 ? handleArg(args[1]) : platform::kNoHandle;
        request.level = numbersArg(args, 2);
        request.xpa = numbersArg(args, 3);
        request.ypa = numbersArg(args, 4);
        polardiagram(rt, request);
        return {};
      }));
  registerEchogramOperations(ops);
  ops.add(shell::makeOperation("polardiagprint", 0, 0, shell::withoutArguments(polardiagprint)));
  ops.add(shell::makeOperation("polardiagshowwall", 0, 0, shell::withoutArguments(polardiagshowwall)));
  ops.add(shell::makeOperation("changedblimits", 0, 0, shell::withoutArguments(changedblimits)));
  ops.add(shell::makeOperation(
      "movepolarlabel", 1, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        const std::string mode = !args.empty() && args[0].isText() ? args[0].text() : std::string();
        movepolarlabel(rt, mode);
        return {};
      }));
}

void registerEchogramOperations(shell::Operations& ops) {
  ops.add(shell::makeOperation("echogram", 0, 0, shell::withoutArguments(echogram)));
  ops.add(shell::makeOperation("echogramshowarrival", 0, 0, shell::withoutArguments(echogramshowarrival)));
  ops.add(shell::makeOperation(
      "echogramexport", 1, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        if (!args.empty() && args[0].isText()) {
          echogramexport(rt, args[0].text());
        } else {
          echogramexport(rt);
        }
        return {};
      }));
  ops.add(shell::makeOperation("echorisk", 0, 0, shell::withoutArguments(echorisk)));
  ops.add(shell::makeOperation("echorisksettings", 0, 0, shell::withoutArguments(echorisksettings)));
  ops.add(shell::makeOperation("refreshlinkedviews", 0, 0, shell::withoutArguments(refreshlinkedviews)));
}

}  // namespace velmora::polar
