// The "import DXF plan..." operation: file, layer, unit and tolerance dialogs, the room of the chosen
// layer, and the rebuild of a main window with it.

#include "plan/dxf_import.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "document/window.h"
#include "plan/shapes.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "document/window.h"

namespace velmora::plan {

namespace {

using platform::Value;

// Joining tolerances outside this range (millimetres) are brought back into it.
constexpr double kMinToleranceMm = 0.01;
constexpr double kMaxToleranceMm = 1000;
// Layers listed in the dialog; the rest are summed up.
constexpr std::size_t kListedLayers = 20;

std::string trimmedCopy(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1));
}

// `v` rounded to `per` parts of its unit (1000: thousandths), in its shortest decimal form.
std::string number(double v, double per) {
  return platform::formatNumber(platform::roundHalfAway(v * per) / per + 0.0);
}

std::string where(engine::Point p, const DxfImportChoice& c) {
  return std::string("(") + number(p.x, 1000) + ", " + number(p.y, 1000) + ") " + c.unit;
}

std::string entityCount(int n) {
  return std::to_string(n) + (n == 1 ? " entity" : " entities");
}

const DxfLayer* findLayer(const DxfPlan& plan, std::string_view name) {
  for (const DxfLayer& l : plan.layers)
    if (platform::equalsIgnoreCase(l.name, name)) return &l;
  return nullptr;
}

// The layer offered first: one named after walls, else the one with the most entities.
const DxfLayer& likelyLayer(const DxfPlan& plan) {
  for (const DxfLayer& l : plan.layers)
    if (platform::lower(l.name).find("wall") != std::string::npos) return l;
  return *std::max_element(plan.layers.begin(), plan.layers.end(),
                           [](const DxfLayer& a, const DxfLayer& b) { return a.entities < b.entities; });
}

std::string layerPrompt(const DxfPlan& plan) {
  std::string text = "Layers in the file:\n";
  for (std::size_t k = 0; k < plan.layers.size() && k < kListedLayers; ++k)
    text +=
        "  " + platform::excerpt(plan.layers[k].name) + " (" + entityCount(plan.layers[k].entities) + ")\n";
  if (plan.layers.size() > kListedLayers)
    text += "  ... and " + std::to_string(plan.layers.size() - kListedLayers) + " more\n";
  return text + "Layer to import:";
}

// Asks for layer, unit (when the file does not say) and tolerance; nothing when cancelled.
std::optional<DxfImportChoice> askChoice(platform::Runtime& rt, const DxfPlan& plan) {
  const std::optional<std::string> fileUnit = plan.insunits ? unitOfInsunits(*plan.insunits) : std::nullopt;
  platform::InputDialog dialog;
  dialog.title = std::string(kDxfDialogTitle);
  dialog.prompts.push_back(layerPrompt(plan));
  dialog.defaults.push_back(likelyLayer(plan).name);
  if (!fileUnit) {
    dialog.prompts.push_back("Drawing unit (mm, cm, m, inch, foot):");
    dialog.defaults.push_back("mm");
  }
  dialog.prompts.push_back("Joining tolerance (mm):");
  dialog.defaults.push_back("1");
  const auto answer = rt.ui().input(dialog);
  if (!answer || answer->size() != dialog.prompts.size()) return std::nullopt;

  DxfImportChoice choice;
  choice.layer = trimmedCopy(answer->front());
  const DxfLayer* layer = findLayer(plan, choice.layer);
  if (!layer)
    throw Error("There is no layer \"" + platform::excerpt(choice.layer) +
                "\" with lines, arcs or circles in this file.");
  choice.layer = layer->name;
  const std::string typed = fileUnit ? *fileUnit : trimmedCopy((*answer)[1]);
  const auto unit = unitName(typed);
  if (!unit)
    throw Error("Unknown drawing unit \"" + platform::excerpt(typed) + "\": give mm, cm, m, inch or foot.");
  choice.unit = *unit;
  choice.scale = *unitScale(*unit);
  const auto tolerance = platform::readNumbers(answer->back());
  if (!tolerance || tolerance->size() != 1 || std::isnan(tolerance->front())) {
    throw Error("The joining tolerance must be one number of millimetres.");
  }
  choice.toleranceMetres = std::clamp(tolerance->front(), kMinToleranceMm, kMaxToleranceMm) / 1000;
  return choice;
}

// The window fits its working zone around the new room: a square on the room's middle, a zone-table
// step (1 m for large rooms) wider on each side. Both must lie within the reach of coordinates, or
// the rebuild refuses the room after the dialogs.
bool withinReach(const std::vector<engine::Point>& v) {
  if (v.empty()) return true;
  double xmin = v.front().x, xmax = xmin, ymin = v.front().y, ymax = ymin;
  for (const engine::Point& p : v) {
    xmin = std::min(xmin, p.x);
    xmax = std::max(xmax, p.x);
    ymin = std::min(ymin, p.y);
    ymax = std::max(ymax, p.y);
  }
  const double extent = std::max(xmax - xmin, ymax - ymin);
  const double half = extent / 2 + document::zoneTableStep(extent).value_or(1);
  return std::max(std::abs(xmin + xmax), std::abs(ymin + ymax)) / 2 + half <= document::kFarthestCoordinate;
}

}  // namespace

std::optional<std::string> unitName(std::string_view unit) {
  static const std::vector<std::pair<std::string, std::vector<std::string>>> spellings = {
      {"mm", {"mm", "millimetre", "millimetres", "millimeter", "millimeters"}},
      {"cm", {"cm", "centimetre", "centimetres", "centimeter", "centimeters"}},
      {"m", {"m", "metre", "metres", "meter", "meters"}},
      {"inch", {"inch", "inches", "in"}},
      {"foot", {"foot", "feet", "ft"}},
  };
  const std::string u = platform::lower(trimmedCopy(unit));
  for (const auto& [name, words] : spellings)
    if (std::find(words.begin(), words.end(), u) != words.end()) return name;
  return std::nullopt;
}

std::optional<double> unitScale(std::string_view unit) {
  const auto name = unitName(unit);
  if (!name) return std::nullopt;
  if (*name == "mm") return 0.001;
  if (*name == "cm") return 0.01;
  if (*name == "m") return 1.0;
  return *name == "inch" ? 0.0254 : 0.3048;
}

std::optional<std::string> unitOfInsunits(int code) {
  switch (code) {
    case 1:
      return "inch";
    case 2:
      return "foot";
    case 4:
      return "mm";
    case 5:
      return "cm";
    case 6:
      return "m";
    default:
      return std::nullopt;
  }
}

DxfImport importLayer(const DxfPlan& plan, const DxfImportChoice& choice) {
  const DxfLayer* layer = findLayer(plan, choice.layer);
  if (!layer)
    throw Error("There is no layer \"" + platform::excerpt(choice.layer) +
                "\" with lines, arcs or circles in this file.");
  const std::string onLayer = "The outline on layer \"" + platform::excerpt(layer->name) + "\"";
  const Chains chains = chainSegments(layer->pieces, choice.toleranceMetres / choice.scale);

  if (chains.loops.empty()) {
    std::string text = onLayer + " is not closed";
    if (!chains.freeEnds.empty()) {
      text += ": it breaks at ";
      const std::size_t shown = std::min<std::size_t>(chains.freeEnds.size(), 4);
      for (std::size_t k = 0; k < shown; ++k)
        text += (k == 0                                              ? ""
                 : k + 1 == shown && shown == chains.freeEnds.size() ? " and "
                                                                     : ", ") +
                where(chains.freeEnds[k], choice);
      if (shown < chains.freeEnds.size())
        text += " and " + std::to_string(chains.freeEnds.size() - shown) + " more ends";
    }
    text += ".";
    if (!chains.branchPoints.empty())
      text += " Three or more walls meet at " + where(chains.branchPoints[0], choice) + ".";
    throw Error(text + " A larger joining tolerance closes small gaps.");
  }

  // Several closed outlines: the one enclosing the largest area is the room.
  std::size_t best = 0;
  double bestArea = -1;
  for (std::size_t k = 0; k < chains.loops.size(); ++k) {
    const double a = std::abs(loopArea(chains.loops[k]));
    if (a > bestArea) {
      bestArea = a;
      best = k;
    }
  }
  DxfImport out;
  const std::string squareMetres = number(bestArea * choice.scale * choice.scale, 100) + " m²";
  if (chains.loops.size() > 1) {
    out.note = "Layer \"" + platform::excerpt(layer->name) + "\" holds " +
               std::to_string(chains.loops.size()) + " closed outlines: the largest (" + squareMetres +
               ") is imported.";
  } else if (!chains.freeEnds.empty() || !chains.branchPoints.empty()) {
    out.note = "Layer \"" + platform::excerpt(layer->name) +
               "\" also holds lines outside the closed outline (" + squareMetres + "); they are left out.";
  }

  // Counted before the arcs are cut, so that a huge outline is refused without being built.
  if (const std::size_t walls = loopWallCount(chains.loops[best], choice.scale); walls > kMaxDxfWalls) {
    throw Error(onLayer + " makes " + std::to_string(walls) + " walls: a room may have at most " +
                std::to_string(kMaxDxfWalls) + ".");
  }
  const DxfRoom room = roomFromLoop(chains.loops[best], choice.scale);
  const std::vector<engine::Point>& v = room.vertices;
  if (!withinReach(v)) {
    throw Error(onLayer +
                " lies too far from the origin: the room and the working zone around it must lie within " +
                std::to_string(static_cast<long long>(document::kFarthestCoordinate)) + " m of it.");
  }
  if (const auto p = firstCrossing(v)) {
    throw Error(onLayer + " crosses itself at " + where({p->x / choice.scale, p->y / choice.scale}, choice) +
                ".");
  }
  if (v.size() < 3 || std::abs(signedArea(v)) < 1e-6) throw Error(onLayer + " encloses no area.");
  std::vector<double> xs, ys;
  for (const engine::Point& p : v) {
    xs.push_back(p.x);
    ys.push_back(p.y);
  }
  if (const auto problem = outlineProblem(xs, ys)) throw Error(*problem);

  document::CaseDescription& d = out.description;
  d.name = "not saved";
  d.xwall = xs;
  d.ywall = ys;
  const engine::Point source = insidePoint(v, 1.0 / 3), receptor = insidePoint(v, 2.0 / 3);
  d.xso = source.x;
  d.yso = source.y;
  d.xre = receptor.x;
  d.yre = receptor.y;
  const auto [xmin, xmax] = std::minmax_element(xs.begin(), xs.end());
  const auto [ymin, ymax] = std::minmax_element(ys.begin(), ys.end());
  d.xaud = std::vector<double>{*xmin, *xmax, *xmax, *xmin};
  d.yaud = std::vector<double>{*ymax, *ymax, *ymin, *ymin};
  d.Nsurface = 20;
  if (!room.curves.empty()) d.curves = room.curves;
  d.scan = "dxf";  // the history names the import "DXF plan"
  return out;
}

void importdxf(platform::Runtime& rt, const std::optional<std::string>& file) {
  std::string path;
  if (file) {
    path = *file;
  } else {
    const auto choice = rt.ui().openFile({std::string(kDxfFilter), std::string(kDxfChooserTitle), ""});
    if (!choice) return;
    path = choice->path();
  }
  const std::string title(kDxfDialogTitle);
  DxfImport result;
  try {
    const DxfPlan plan = readDxfPlan(path);
    if (plan.layers.empty()) {
      throw Error(std::filesystem::path(path).filename().string() +
                  " holds no lines, polylines, arcs or circles.");
    }
    const auto choice = askChoice(rt, plan);
    if (!choice) return;
    result = importLayer(plan, *choice);
  } catch (const Error& e) {
    rt.ui().message(platform::MessageKind::Error, e.what(), title);
    return;
  }
  if (result.note) rt.ui().message(platform::MessageKind::Message, *result.note, title);

  const Value prop = result.description.toValue();
  if (const auto main = document::findMainWindow(rt)) {
    rt.graphics().setCurrentFigure(*main);
    rt.dispatch({Value("update"), prop});
  } else {
    rt.dispatch({prop});
  }
}

void registerDxfOperations(document::Operations& ops) {
  ops.add(
      document::makeOperation("importdxf", 1, 0, [](platform::Runtime& rt, const std::vector<Value>& args) {
        std::optional<std::string> file;
        if (!args.empty()) {
          if (!args.front().isText()) throw Error("unknown syntax");
          file = args.front().text();
        }
        importdxf(rt, file);
        return std::vector<Value>{};
      }));
}

}  // namespace velmora::plan
