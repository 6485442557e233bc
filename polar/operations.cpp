// The operations of the polar diagram, under their documented names.

#include "platform/model/error.h"
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

void registerPolarOperations(document::Operations& ops) {
  ops.add(document::makeOperation(
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
  ops.add(document::makeOperation("polardiagprint", 0, 0, document::withoutArguments(polardiagprint)));
  ops.add(document::makeOperation("polardiagshowwall", 0, 0, document::withoutArguments(polardiagshowwall)));
  ops.add(document::makeOperation("changedblimits", 0, 0, document::withoutArguments(changedblimits)));
  ops.add(document::makeOperation(
      "movepolarlabel", 1, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        const std::string mode = !args.empty() && args[0].isText() ? args[0].text() : std::string();
        movepolarlabel(rt, mode);
        return {};
      }));
}

void registerEchogramOperations(document::Operations& ops) {
  ops.add(document::makeOperation("echogram", 0, 0, document::withoutArguments(echogram)));
  ops.add(
      document::makeOperation("echogramshowarrival", 0, 0, document::withoutArguments(echogramshowarrival)));
  ops.add(document::makeOperation("echogramexport", 1, 0,
                                  [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                    if (!args.empty() && args[0].isText()) {
                                      echogramexport(rt, args[0].text());
                                    } else {
                                      echogramexport(rt);
                                    }
                                    return {};
                                  }));
  ops.add(document::makeOperation("echogramdrysound", 0, 0, document::withoutArguments(echogramdrysound)));
  ops.add(document::makeOperation("echogramlisten", 0, 0, document::withoutArguments(echogramlisten)));
  const auto withPath = [](void (*verb)(Runtime&, const std::optional<std::string>&)) {
    return [verb](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
      verb(rt, !args.empty() && args[0].isText() ? std::optional(args[0].text()) : std::nullopt);
      return {};
    };
  };
  ops.add(document::makeOperation("echogramexportresponse", 1, 0, withPath(echogramexportresponse)));
  ops.add(document::makeOperation("echogramexportauralisation", 1, 0, withPath(echogramexportauralisation)));
  ops.add(document::makeOperation("echorisk", 0, 0, document::withoutArguments(echorisk)));
  ops.add(document::makeOperation("echorisksettings", 0, 0, document::withoutArguments(echorisksettings)));
  ops.add(
      document::makeOperation("refreshlinkedviews", 0, 0, document::withoutArguments(refreshlinkedviews)));
}

}  // namespace velmora::polar
