#include "editor/editor_operations.h"

namespace velmora::editor {

using document::Operation;
using platform::Value;

namespace {

std::function<std::vector<Value>(Runtime&, const std::vector<Value>&)> withTable(
    const document::Operations* table, std::function<void(Runtime&, const document::Operations&)> f) {
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

void registerEditorOperations(document::Operations& ops) {
  const document::Operations* table = &ops;
  ops.add(document::makeOperation("refreshsurfaceposition", 0, 0,
                                  document::withoutArguments(refreshsurfaceposition)));
  ops.add(
      document::makeOperation("refreshsurfacearea", 0, 0, document::withoutArguments(refreshsurfacearea)));
  ops.add(document::makeOperation("matchroom", 0, 0, document::withoutArguments(matchroom)));
  ops.add(document::makeOperation("setsurfacefob", 0, 0, document::withoutArguments(setsurfacefob)));
  ops.add(document::makeOperation("refreshimages", 1, 0,
                                  [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                    std::optional<Handle> window;
                                    if (!args.empty() && args[0].isObject()) window = args[0].object();
                                    refreshimages(rt, window);
                                    return {};
                                  }));
  ops.add(document::makeOperation("selectvalue", 0, 0,
                                  [table](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
                                    selectvalue(rt, *table);
                                    return {};
                                  }));
  ops.add(document::makeOperation("changegrid", 1, 0,
                                  [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                    std::optional<double> spacing;
                                    if (!args.empty() && args[0].isScalar()) spacing = args[0].scalar();
                                    changegrid(rt, spacing);
                                    return {};
                                  }));
  ops.add(document::makeOperation("hidegrid", 0, 0, document::withoutArguments(hidegrid)));
  ops.add(document::makeOperation(document::kViewOperation, 0, 0, document::withoutArguments(acouview)));
  ops.add(document::makeOperation("expandzone", 1, 0,
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
  ops.add(document::makeOperation("setlayer", 0, 0, document::withoutArguments(setlayer)));

  ops.add(document::makeOperation(document::kZoomOperation, 1, 0,
                                  [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                    acouzoom(rt, textArg(args));
                                    return {};
                                  }));
  ops.add(document::makeOperation("zoomaxes", 0, 0, document::withoutArguments(zoomaxes)));
  ops.add(document::makeOperation(
      "surfaceprecision", 0, 0,
      withTable(table, [](Runtime& rt, const document::Operations& o) { surfaceprecision(rt, o); })));
  ops.add(document::makeOperation("reducesurfacesize", 0, 0, withTable(table, reducesurfacesize)));
  ops.add(document::makeOperation("changecolormap", 0, 0, document::withoutArguments(changecolormap)));
  ops.add(document::makeOperation("changecolorlimits", 1, 0,
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
  ops.add(document::makeOperation("hideviewobjects", 1, 0,
                                  [table](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
                                    // Any argument that is not one of the texts changes nothing.
                                    if (!args.empty() && !args[0].isText()) return {};
                                    hideviewobjects(rt, *table, textArg(args));
                                    return {};
                                  }));
  ops.add(document::makeOperation("diffusionfactor", 0, 0, withTable(table, diffusionfactor)));
  ops.add(document::makeOperation("setcursormeasure", 0, 0, withTable(table, setcursormeasure)));
  ops.add(document::makeOperation("measure", 0, 0, document::withoutArguments(measure)));
}

}  // namespace velmora::editor
