#include "editor/editor_operations.h"

namespace velmora::editor {

using platform::Value;
using shell::Operation;

namespace {

std::function<std::vector<Value>(Runtime&, const std::vector<Value>&)> withTable(
    const shell::Operations* table, std::function<void(Runtime&, const shell::Operations&)> f) {
  return [table, f = std::move(f)](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
    f(rt, *table);
    return {};
  };
}

std::optional<std::string> textArg(const std::vector<Value>& args) {
  if (!args.empty() && args[0].isText()) return args[0].text();
  return std::nullopt;
}

}  // namespace

void registerEditorOperations(shell::Operations& ops) {
  const shell::Operations* table = &ops;
  ops.add(
      shell::makeOperation("refreshsurfaceposition", 0, 0, shell::withoutArguments(refreshsurfaceposition)));
  ops.add(shell::makeOperation("refreshsurfacearea", 0, 0, shell::withoutArguments(refreshsurfacearea)));
  ops.add(shell::makeOperation("matchroom", 0, 0, shell::withoutArguments(matchroom)));
  ops.add(shell::makeOperation("setsurfacefob", 0, 0, shell::withoutArguments(setsurfacefob)));
  ops.add(shell::makeOperation("refreshimages", 1, 0,
                               [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                 std::optional<Handle> window;
                                 if (!args.empty() && args[0].isObject()) window = args[0].object();
                                 refreshimages(rt, window);
                                 return {};
                               }));
  ops.add(shell::makeOperation("selectvalue", 0, 0,
                               [table](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
                                 selectvalue(rt, *table);
                                 return {};
                               }));
  ops.add(shell::makeOperation("changegrid", 1, 0,
                               [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                 std::optional<double> spacing;
                                 if (!args.empty() && args[0].isScalar()) spacing = args[0].scalar();
                                 changegrid(rt, spacing);
                                 return {};
                               }));
  ops.add(shell::makeOperation("hidegrid", 0, 0, shell::withoutArguments(hidegrid)));
  ops.add(shell::makeOperation("acouview", 0, 0, shell::withoutArguments(acouview)));
  ops.add(shell::makeOperation("expandzone", 1, 0,
                               [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                 std::optional<std::vector<double>> limits;
                                 bool fit = false;
                                 if (!args.empty()) {
                                   if (args[0].isText()) {
                                     fit = true;
                                   } else if (args[0].isMatrix() && args[0].matrix().numel() >= 4) {
                                     limits = args[0].numbers();
                                   }
                                 }
                                 expandzone(rt, limits, fit);
                                 return {};
                               }));
  ops.add(shell::makeOperation("setlayer", 0, 0, shell::withoutArguments(setlayer)));

  ops.add(shell::makeOperation("acouzoom", 1, 0,
                               [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                 acouzoom(rt, textArg(args));
                                 return {};
                               }));
  ops.add(shell::makeOperation("zoomaxes", 0, 0, shell::withoutArguments(zoomaxes)));
  ops.add(shell::makeOperation(
      "surfaceprecision", 0, 0,
      withTable(table, [](Runtime& rt, const shell::Operations& o) { surfaceprecision(rt, o); })));
  ops.add(shell::makeOperation("reducesurfacesize", 0, 0, withTable(table, reducesurfacesize)));
  ops.add(shell::makeOperation("changecolormap", 0, 0, shell::withoutArguments(changecolormap)));
  ops.add(shell::makeOperation("changecolorlimits", 1, 0,
                               [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                 if (args.empty()) {
                                   changecolorlimits(rt, std::nullopt, false);
                                 } else if (args[0].isText()) {
                                   changecolorlimits(rt, std::nullopt, true);
                                 } else if (args[0].isMatrix() && args[0].matrix().numel() == 2) {
                                   const auto v = args[0].numbers();
                                   changecolorlimits(rt, std::array<double, 2>{v[0], v[1]}, false);
                                 }
                                 return {};
                               }));
  ops.add(shell::makeOperation("hideviewobjects", 1, 0,
                               [table](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                 // Any argument that is not one of the texts changes nothing.
                                 if (!args.empty() && !args[0].isText()) return {};
                                 hideviewobjects(rt, *table, textArg(args));
                                 return {};
                               }));
  ops.add(shell::makeOperation("diffusionfactor", 0, 0, withTable(table, diffusionfactor)));
  ops.add(shell::makeOperation("setcursormeasure", 0, 0, withTable(table, setcursormeasure)));
  ops.add(shell::makeOperation("measure", 0, 0, shell::withoutArguments(measure)));
}

}  // namespace velmora::editor
