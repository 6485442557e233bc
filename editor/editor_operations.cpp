#include "editor/editor_operations.h"

namespace velmora::editor {

using platform::Value;
using shell::Operation;

namespace {

Operation op(std::string name, int inputs, int outputs,
             std::function<std::vector<Value>(Runtime&, const std::vector<Value>&)> run) {
  Operation o;
  o.name = std::move(name);
  o.inputs = inputs;
  o.outputs = outputs;
  o.run = std::move(run);
  return o;
}

std::function<std::vector<Value>(Runtime&, const std::vector<Value>&)> noArgs(void (*f)(Runtime&)) {
  return [f](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
    f(rt);
    return {};
  };
}

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
  ops.add(op("refreshsurfaceposition", 0, 0, noArgs(refreshsurfaceposition)));
  ops.add(op("refreshsurfacearea", 0, 0, noArgs(refreshsurfacearea)));
  ops.add(op("matchroom", 0, 0, noArgs(matchroom)));
  ops.add(op("setsurfacefob", 0, 0, noArgs(setsurfacefob)));
  ops.add(op("refreshimages", 1, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
    std::optional<Handle> window;
    if (!args.empty() && args[0].isObject()) window = args[0].object();
    refreshimages(rt, window);
    return {};
  }));
  ops.add(op("selectvalue", 0, 0, [table](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
    selectvalue(rt, *table);
    return {};
  }));
  ops.add(op("changegrid", 1, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
    std::optional<double> spacing;
    if (!args.empty() && args[0].isScalar()) spacing = args[0].scalar();
    changegrid(rt, spacing);
    return {};
  }));
  ops.add(op("hidegrid", 0, 0, noArgs(hidegrid)));
  ops.add(op("acouview", 0, 0, noArgs(acouview)));
  ops.add(op("expandzone", 1, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
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
  ops.add(op("setlayer", 0, 0, noArgs(setlayer)));

  ops.add(op("acouzoom", 1, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
    acouzoom(rt, textArg(args));
    return {};
  }));
  ops.add(op("zoomaxes", 0, 0, noArgs(zoomaxes)));
  ops.add(op("surfaceprecision", 0, 0,
             withTable(table, [](Runtime& rt, const shell::Operations& o) { surfaceprecision(rt, o); })));
  ops.add(op("reducesurfacesize", 0, 0, withTable(table, reducesurfacesize)));
  ops.add(op("changecolormap", 0, 0, noArgs(changecolormap)));
  ops.add(
      op("changecolorlimits", 1, 0, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
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
  ops.add(
      op("hideviewobjects", 1, 0, [table](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        // Any argument that is not one of the texts changes nothing.
        if (!args.empty() && !args[0].isText()) return {};
        hideviewobjects(rt, *table, textArg(args));
        return {};
      }));
  ops.add(op("diffusionfactor", 0, 0, withTable(table, diffusionfactor)));
  ops.add(op("setcursormeasure", 0, 0, withTable(table, setcursormeasure)));
  ops.add(op("measure", 0, 0, noArgs(measure)));
}

}  // namespace velmora::editor
