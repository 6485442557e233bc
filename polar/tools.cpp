// Tools of the polar window: value labels beside the arrows and their dragging, flashing of a wall
// in the room miniature, and new dB limits.

#include <algorithm>
#include <cmath>

#include "document/drawing_objects.h"
#include "platform/model/numbers.h"
#include "polar/polar.h"

namespace velmora::polar {

using platform::Graphics;
using platform::ObjectType;
using platform::Value;

namespace {

// Pressing a label starts its drag; the release callback is set at once as well, so that a click
// without a motion does not leave the label following the pointer.
constexpr const char* kLabelPress =
    "set(gcf,'windowbuttonmotionfcn','velmoracopy(''movepolarlabelmove'')');"
    "set(gcf,'windowbuttonupfcn','velmoracopy(''movepolarlabelend'')')";

template <class T>
const T* callbackRecord(const Runtime& rt) {
  const Handle item = rt.callbackObject();
  if (item == platform::kNoHandle || !rt.graphics().exists(item)) return nullptr;
  return rt.graphics().at(item).userdataAs<T>();
}

Handle callbackWindow(const Runtime& rt) {
  const Handle fig = rt.callbackFigure();
  if (fig != platform::kNoHandle && rt.graphics().exists(fig)) return fig;
  return rt.graphics().currentFigure();
}

std::optional<double> oneNumber(const std::string& text) {
  const auto numbers = platform::readNumbers(text);
  if (!numbers || numbers->size() != 1 || std::isnan(numbers->front())) return std::nullopt;
  return numbers->front();
}

}  // namespace

void polardiagprint(Runtime& rt) {
  const PrintRecord* record = callbackRecord<PrintRecord>(rt);
  Graphics& g = rt.graphics();
  if (record == nullptr || !g.exists(record->ax)) return;
  const std::string label = g.at(rt.callbackObject()).text("label");
  std::string text;
  double x = record->xe / 2, y = record->ye / 2;
  if (label.find("Lp") != std::string::npos) {
    text = record->Lp;
    x = record->xe;
    y = record->ye;
  } else if (label.find("angle") != std::string::npos) {
    text = record->ang;
  } else {
    text = record->dela;
  }
  document::createObject(g, ObjectType::Text, record->ax,
                         {{"units", "data"},
                          {"position", Value::row({x, y})},
                          {"string", text},
                          {"horizontalalignment", record->hal},
                          {"verticalalignment", record->val},
                          {"fontname", "Times New Roman"},
                          {"tag", "polarlabel"},
                          {"buttondownfcn", kLabelPress}});
}

void movepolarlabel(Runtime& rt, const std::string& mode) {
  Graphics& g = rt.graphics();
  const Handle fig = callbackWindow(rt);
  if (fig == platform::kNoHandle || !g.exists(fig) || g.at(fig).type() != ObjectType::Figure) return;
  const Handle label = g.currentObject(fig);
  if (label == platform::kNoHandle || !g.exists(label) ||
      !platform::equalsIgnoreCase(g.at(label).tag(), "polarlabel"))
    return;
  if (platform::equalsIgnoreCase(mode, "move")) {
    g.setText(fig, "windowbuttonupfcn", "velmoracopy('movepolarlabelend')");
    const Handle axes = g.at(label).parent();
    const platform::Matrix& cp = g.at(axes).matrix("currentpoint");
    if (cp.numel() < 2) return;
    std::vector<double> position = g.at(label).numbers("position");
    position.resize(std::max<std::size_t>(position.size(), 2), 0.0);
    position[0] = cp(0, 0);
    position[1] = cp(0, 1);
    g.setRow(label, "position", position);
  } else if (platform::equalsIgnoreCase(mode, "end")) {
    g.setText(fig, "windowbuttonmotionfcn", "");
    g.setText(fig, "windowbuttonupfcn", "");
  }
}

void polardiagshowwall(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle arrow = rt.callbackObject();
  if (arrow == platform::kNoHandle || !g.exists(arrow)) return;
  const Handle fig = g.figureOf(arrow);
  if (fig == platform::kNoHandle || g.at(fig).text("selectiontype") != "normal") return;
  const auto data = g.at(arrow).userdata();
  if (!data) return;
  const Value wallRef = data->toValue();
  // A higher-order radius holds the walls of its path, first wall first: each flashes in turn.
  std::vector<Handle> walls;
  if (wallRef.isObject()) walls.push_back(wallRef.object());
  if (wallRef.isList()) {
    for (const Value& v : wallRef.list().items)
      if (v.isObject()) walls.push_back(v.object());
  }
  const double seconds = walls.size() > 1 ? 0.5 : 1;
  for (Handle wall : walls) {
    // The window may have been closed meanwhile.
    if (!g.exists(wall)) return;
    g.setText(wall, "color", "r");
    g.setNumber(wall, "linewidth", 1.5);
    rt.ui().pause(seconds);
    if (!g.exists(wall)) return;
    g.setNumber(wall, "linewidth", 0.5);
    g.setText(wall, "color", "k");
  }
}

void changedblimits(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle item = rt.callbackObject();
  const LimitsRecord* current = callbackRecord<LimitsRecord>(rt);
  if (current == nullptr || !g.exists(current->ax)) return;
  LimitsRecord record = *current;
  const Handle fig = g.figureOf(record.ax);
  g.set(fig, "currentaxes", Value::handle(record.ax));

  platform::InputDialog dialog;
  dialog.title = "Set dB limits";
  dialog.prompts = {"Enter Lw min:", "Enter Lw max:"};
  dialog.lines = 1;
  dialog.defaults = {shown(record.Lmin, 0.1), shown(record.Lmax, 0.1)};
  const auto answer = rt.ui().input(dialog);
  if (!answer || answer->size() < 2) return;
  const auto enteredMin = oneNumber((*answer)[0]);
  const auto enteredMax = oneNumber((*answer)[1]);
  if (!enteredMin || !enteredMax) return;

  double lma = std::min(*enteredMax, record.Lw);
  const double lmi = std::max(*enteredMin, 0.0);
  if (lmi > lma - 1) return;
  // The upper limit never cuts an arrow: it reaches at least the loudest arrival.
  std::vector<double> levels = record.Lwall;
  levels.push_back(record.Lso);
  const double loudest = platform::nanMax(levels);
  if (lma < loudest) lma = loudest;
  const double range = lma - lmi;

  for (Handle h : g.findobj(record.ax, "polaraxes")) {
    if (g.exists(h)) g.remove(h);
  }
  drawPolarGrid(g, record.ax, range, lmi);

  const auto tip = [&](double level, double xq, double yq) {
    const double d = std::max(1.0, std::hypot(xq - record.xre, yq - record.yre));
    const double k = (level - lmi) / d;
    return std::array<double, 2>{k * (xq - record.xre), k * (yq - record.yre)};
  };
  // The direct radius only moves: below the lower limit it points away from the source, but it stays.
  const auto direct = tip(record.Lso, record.xso, record.yso);
  if (g.exists(record.hdi)) {
    g.setRow(record.hdi, "xdata", {0, direct[0]});
    g.setRow(record.hdi, "ydata", {0, direct[1]});
  }
  if (g.exists(record.hdie)) {
    g.setRow(record.hdie, "xdata", {direct[0]});
    g.setRow(record.hdie, "ydata", {direct[1]});
  }
  for (std::size_t l = 0; l < record.hra.size() && l < record.Lwall.size() && l < record.imag1.size(); ++l) {
    const Handle arrow = record.hra[l];
    if (arrow == platform::kNoHandle || !g.exists(arrow) || std::isnan(record.Lwall[l])) continue;
    const auto t = tip(record.Lwall[l], record.imag1[l].xi, record.imag1[l].yi);
    g.setRow(arrow, "xdata", {0, t[0]});
    g.setRow(arrow, "ydata", {0, t[1]});
    g.setText(arrow, "visible", record.Lwall[l] <= lmi ? "off" : "on");
    // The "print" items place their labels at the arrow as it is now drawn.
    const Value menu = g.get(arrow, "uicontextmenu");
    if (!menu.isObject() || !g.exists(menu.object())) continue;
    for (Handle entry : document::menuItemsInOrder(g, menu.object())) {
      if (const auto* print = g.at(entry).userdataAs<PrintRecord>()) {
        PrintRecord moved = *print;
        moved.xe = t[0];
        moved.ye = t[1];
        g.setUserdata(entry, std::move(moved));
      }
    }
  }

  if (g.exists(record.ht)) {
    const Value s = g.get(record.ht, "string");
    if (s.isText()) {
      std::string text = s.text();
      const auto bracket = text.find('[');
      if (bracket != std::string::npos) {
        text = text.substr(0, bracket + 1) + shown(range + lmi, 0.1) + " " + shown(lmi, 0.1) + "]";
        g.setText(record.ht, "string", text);
      }
    }
  }
  record.Lmax = range + lmi;
  record.Lmin = lmi;
  g.setUserdata(item, std::move(record));
}

}  // namespace velmora::polar
