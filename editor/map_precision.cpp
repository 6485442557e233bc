// The audience map's resolution and the one-step shrink of the audience area.

#include <algorithm>
#include <cmath>

#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using platform::Graphics;
using platform::Matrix;
using platform::ObjectType;
using platform::Value;
using namespace velmora::document;

namespace {

constexpr double kFewestIntervals = 10;
constexpr double kMostIntervals = 400;
constexpr double kMapHeight = -0.5;  // below the lines of the drawing
constexpr double kShrinkStepBeyondTable = 0.1;

// The precision a numbered menu item stands for: its label read as one number.
std::optional<double> numberedItem(const Runtime& rt) {
  const auto& g = rt.graphics();
  const Handle caller = rt.callbackObject();
  if (caller == platform::kNoHandle || !g.exists(caller) || g.at(caller).type() != ObjectType::UiMenu) {
    return std::nullopt;
  }
  const auto numbers = platform::readNumbers(g.at(caller).text("label"));
  if (!numbers || numbers->size() != 1) return std::nullopt;
  return numbers->front();
}

// The unit parameter grid 0, 1/N, ..., 1 in both directions: u runs down the columns.
void unitGrid(int n, Matrix& u, Matrix& v) {
  const auto size = static_cast<std::size_t>(n) + 1;
  u = Matrix::zeros(size, size);
  v = Matrix::zeros(size, size);
  for (std::size_t c = 0; c < size; ++c) {
    for (std::size_t r = 0; r < size; ++r) {
      u(r, c) = static_cast<double>(c) / n;
      v(r, c) = static_cast<double>(r) / n;
    }
  }
}

}  // namespace

void surfaceprecision(Runtime& rt, const Operations& ops, std::optional<double> intervals) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const auto maps = objectsByTag(rt, fig, tags::kAudienceMap);
  if (maps.empty()) return;
  const Handle map = maps.front();
  const std::size_t rows = g.at(map).matrix("xdata").rows;
  const int current = rows > 0 ? static_cast<int>(rows) - 1 : 0;

  if (!intervals) intervals = numberedItem(rt);
  if (!intervals) {
    platform::InputDialog dialog;
    dialog.prompts = {"Enter surface precision:"};
    dialog.title = "Set surface precision";
    dialog.lines = 1;
    dialog.defaults = {std::to_string(current)};
    const auto answer = rt.ui().input(dialog);
    if (!answer || answer->empty()) return;
    const auto numbers = platform::readNumbers(answer->front());
    if (!numbers || numbers->empty() || std::isnan(numbers->front())) return;
    intervals = numbers->front();
  }
  if (std::isnan(*intervals)) return;
  // The map needs whole intervals to reach all four corners: a typed fraction is rounded.
  const int n =
      static_cast<int>(platform::roundHalfAway(std::clamp(*intervals, kFewestIntervals, kMostIntervals)));
  if (n == current) return;

  Matrix u, v;
  unitGrid(n, u, v);
  const auto size = static_cast<std::size_t>(n) + 1;
  g.set(map, "xdata", Value(std::move(u)));
  g.set(map, "ydata", Value(std::move(v)));
  g.set(map, "zdata", Value(Matrix{size, size, std::vector<double>(size * size, kMapHeight), 1}));
  g.set(map, "cdata", Value(Matrix{size, size, std::vector<double>(size * size, 1.0), 1}));
  refreshsurfaceposition(rt);
  ops.call(rt, "checkroomconvexity");
  ops.call(rt, "refreshsurfacevalues");
  selectvalue(rt, ops);
}

void setAudienceBox(Runtime& rt, Handle fig, double xmin, double xmax, double ymin, double ymax) {
  const std::array<double, 4> x{xmin, xmax, xmax, xmin};
  const std::array<double, 4> y{ymin, ymin, ymax, ymax};
  auto& g = rt.graphics();
  const auto corners = objectsInCreationOrder(rt, fig, tags::kAudienceVertex);
  const auto edges = objectsInCreationOrder(rt, fig, tags::kAudienceEdge);
  for (std::size_t k = 0; k < corners.size() && k < 4; ++k) {
    g.set(corners[k], "xdata", Value(x[k]));
    g.set(corners[k], "ydata", Value(y[k]));
  }
  for (std::size_t k = 0; k < edges.size() && k < 4; ++k) {
    const std::size_t q = (k + 1) % 4;
    g.set(edges[k], "xdata", Value::row({x[k], x[q]}));
    g.set(edges[k], "ydata", Value::row({y[k], y[q]}));
  }
}

void reducesurfacesize(Runtime& rt, const Operations& ops) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const auto corners = objectsInCreationOrder(rt, fig, tags::kAudienceVertex);
  if (corners.empty()) return;
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  for (Handle h : corners) {
    const engine::Point p = firstPoint(rt, h);
    xmin = std::min(xmin, p.x);
    xmax = std::max(xmax, p.x);
    ymin = std::min(ymin, p.y);
    ymax = std::max(ymax, p.y);
  }
  const CaseRecord record = readCase(rt, fig);
  const double step = zoneTableStep(record.xlim[1] - record.xlim[0]).value_or(kShrinkStepBeyondTable);
  xmin += step;
  xmax -= step;
  ymin += step;
  ymax -= step;
  // A box one step wide or less is as small as it gets.
  if (!(xmax - xmin > step) || !(ymax - ymin > step)) return;

  setAudienceBox(rt, fig, xmin, xmax, ymin, ymax);
  g.setText(fig, "windowbuttonmotionfcn", "");
  g.setText(fig, "windowbuttonupfcn", "");
  g.setText(fig, "pointer", "watch");
  try {
    refreshsurfaceposition(rt);
    ops.call(rt, "checkroomconvexity");
    ops.call(rt, "refreshsurfacevalues");
    selectvalue(rt, ops);
  } catch (...) {
    if (g.exists(fig)) g.setText(fig, "pointer", "arrow");
    throw;
  }
  g.setText(fig, "pointer", "arrow");
}

}  // namespace velmora::editor
