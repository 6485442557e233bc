#include "animation/animation.h"

namespace velmora::animation {

using platform::Value;

namespace {

std::vector<double> numbersArg(const std::vector<Value>& args, std::size_t i) {
  if (i < args.size() && args[i].isMatrix()) return args[i].numbers();
  return {};
}

}  // namespace

void registerAnimationOperations(document::Operations& ops) {
  const document::Operations* table = &ops;
  ops.add(document::makeOperation(
      "animcase", 0, 0, document::withoutArguments([table](Runtime& rt) { animcase(rt, *table); })));
  ops.add(document::makeOperation("animcasecb", 0, 0, document::withoutArguments(animcasecb)));
  ops.add(document::makeOperation("animcasegrab", 0, 0, document::withoutArguments(animcasegrab)));
  ops.add(document::makeOperation("getanimparameter", 1, 1,
                                  [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                    std::optional<AnimationParameters> previous;
                                    if (!args.empty() && args[0].isRecord()) {
                                      previous = AnimationParameters::fromValue(args[0]);
                                    }
                                    const auto chosen = getanimparameter(rt, previous);
                                    return {chosen ? chosen->toValue() : Value()};
                                  }));
  ops.add(document::makeOperation(
      "setpathsegments", 4, 2, [](Runtime&, const std::vector<Value>& args) -> std::vector<Value> {
        const std::string ptype = args.size() > 2 && args[2].isText() ? args[2].text() : "linear";
        const auto ns = numbersArg(args, 3);
        const Path path = setpathsegments(numbersArg(args, 0), numbersArg(args, 1), ptype,
                                          ns.empty() ? 30 : static_cast<int>(ns.front()));
        return {Value::row(path.x), Value::row(path.y)};
      }));
}

}  // namespace velmora::animation
