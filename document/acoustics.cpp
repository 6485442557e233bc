#include "document/acoustics.h"

#include <algorithm>

#include "document/early_map.h"
#include "document/tags.h"
#include "document/window.h"
#include "engine/surface.h"
#include "platform/model/error.h"

namespace velmora::document {

using platform::Handle;
using platform::Runtime;
using platform::Value;

engine::Matrix toEngine(const platform::Matrix& m) {
  engine::Matrix e(m.rows, m.cols);
  e.data.assign(m.data.begin(),
                m.data.begin() + static_cast<std::ptrdiff_t>(std::min(m.data.size(), e.data.size())));
  return e;
}

platform::Matrix toPlatform(const engine::Matrix& m) {
  return platform::Matrix{m.rows, m.cols, m.data, 1};
}

namespace {

// The computations keep several values per point and per wall: a map larger than the finest precision
// (set from outside) is refused before any of them is allocated.
constexpr std::size_t kMostPoints = (kMostMapIntervals + 1) * (kMostMapIntervals + 1);

Error mapTooLarge() {
  return Error("the audience map has more than " + std::to_string(kMostPoints) + " points");
}

}  // namespace

MapGrid audienceMapGrid(const Runtime& rt, Handle fig) {
  const auto maps = objectsByTag(rt, fig, tags::kAudienceMap);
  if (maps.empty()) return {};
  const auto& map = rt.graphics().at(maps.front());
  for (const char* coordinate : {"xdata", "ydata"}) {
    const auto& m = map.matrix(coordinate);
    if (m.rows > kMostPoints || m.cols > kMostPoints || m.rows * m.cols > kMostPoints ||
        m.numel() > kMostPoints)
      throw mapTooLarge();
  }
  return {toEngine(map.matrix("xdata")), toEngine(map.matrix("ydata"))};
}

std::optional<int> audienceMapIntervals(const platform::Graphics& g, Handle map) {
  const std::size_t rows = g.at(map).matrix("xdata").rows;
  if (rows < 2) return std::nullopt;
  if (rows - 1 > static_cast<std::size_t>(kMostMapIntervals)) throw mapTooLarge();
  return static_cast<int>(rows - 1);
}

void recordConvexity(CaseRecord& record, engine::RoomConvexity convexity) {
  record.iscnvx = convexity.iscnvx;
  record.ang = std::move(convexity.ang);
  record.ina = std::move(convexity.ina);
}

void recordImages(CaseRecord& record, engine::ImageSet set) {
  auto xwv = engine::wallXMatrix(set.visible);
  auto ywv = engine::wallYMatrix(set.visible);
  record.images = std::move(set.images);
  record.iwv = std::move(set.iwv);
  record.xwv = std::move(xwv);
  record.ywv = std::move(ywv);
  record.diffcoef = std::move(set.diffcoef);
}

void recordSurfaceValues(CaseRecord& record, engine::SurfaceValues values) {
  record.PT = std::move(values.PT);
  record.RT = std::move(values.RT);
  record.Pso = std::move(values.Pso);
  record.Pwall = std::move(values.Pwall);
  record.inDS = std::move(values.inDS);
  record.inRW = std::move(values.inRW);
  record.xpol = std::move(values.xpol);
  record.ypol = std::move(values.ypol);
}

void recordOrders(CaseRecord& record, engine::HigherOrderValues orders) {
  if (orders.RTorder.empty()) {
    record.RTorder.reset();
    record.PTorder.reset();
    return;
  }
  record.RTorder = std::move(orders.RTorder);
  record.PTorder = std::move(orders.PTorder);
}

int caseOrder(const Runtime& rt, Handle fig) {
  const auto* record = rt.graphics().exists(fig) ? rt.graphics().at(fig).userdataAs<CaseRecord>() : nullptr;
  return record != nullptr ? std::clamp(record->order, 1, engine::kMaxOrder) : 1;
}

void refuseTooMuchWork(const engine::CaseInputs& in) {
  if (in.order <= 1) return;
  const engine::BeamEstimate e = engine::estimatebeams(in);
  if (e.tooMuch) throw Error(e.message);
}

engine::ImageSet recordedImageSet(const CaseRecord& record, const engine::Walls& walls,
                                  engine::Point source) {
  engine::ImageSet set;
  set.xso = source.x;
  set.yso = source.y;
  if (record.images) set.images = *record.images;
  set.iwv = record.iwv.value_or(std::vector<int>(walls.size(), 1));
  set.visible = record.xwv && record.ywv ? engine::wallsFromMatrices(*record.xwv, *record.ywv) : walls;
  set.diffcoef = record.diffcoef.value_or(std::vector<double>(walls.size(), 1.0));
  for (std::size_t j = 0; j < set.images.size(); ++j)
    if (set.images[j].convex) set.convexWalls.push_back(static_cast<int>(j) + 1);
  return set;
}

void checkroomconvexity(Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  const MapGrid grid = audienceMapGrid(rt, fig);
  auto convexity = engine::checkroomconvexity(wallGeometry(rt, fig), grid.xs, grid.ys);
  changeCase(rt, fig, [&](CaseRecord& record) { recordConvexity(record, std::move(convexity)); });
}

int checksource(const Runtime& rt, double x, double y, Handle fig) {
  return engine::checksource(x, y, wallGeometry(rt, fig));
}

int checkaudience(const Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  const MapGrid grid = audienceMapGrid(rt, fig);
  return engine::checkaudience(wallGeometry(rt, fig), grid.xs, grid.ys);
}

engine::Point shiftsource(const Runtime& rt, double xso, double yso) {
  const Handle fig = currentMainWindow(rt);
  const auto& ang = viewCase(rt, fig).ang;
  return engine::shiftsource(xso, yso, wallGeometry(rt, fig),
                             ang ? std::span<const int>(*ang) : std::span<const int>{});
}

std::optional<engine::Point> sourcePoint(const Runtime& rt, Handle fig) {
  const auto source = findInWindow(rt, fig, tags::kSource);
  if (!source) return std::nullopt;
  return firstPoint(rt, *source);
}

std::vector<engine::Curve> convexCurves(const platform::Matrix& table) {
  std::vector<engine::Curve> out;
  std::vector<double> row(table.cols);
  for (std::size_t r = 0; r < table.rows; ++r) {
    for (std::size_t c = 0; c < table.cols; ++c) row[c] = table(r, c);
    if (auto curve = engine::Curve::fromRow(row)) out.push_back(*curve);
  }
  return out;
}

bool diffusionChecked(const Runtime& rt, Handle fig) {
  return controlItemChecked(rt.graphics(), fig, "hiddensettings", "diffusion factor for convex walls");
}

engine::CaseInputs gatherEngineInputs(const Runtime& rt, Handle fig, const InputOverrides& overrides) {
  engine::CaseInputs in;
  in.walls = overrides.walls ? *overrides.walls : wallGeometry(rt, fig);
  in.alpha = overrides.alpha   ? *overrides.alpha
             : overrides.walls ? std::vector<double>(in.walls.size(), 0.0)
                               : wallAbsorptions(rt, fig);
  if (const auto s = overrides.source ? overrides.source : sourcePoint(rt, fig)) {
    in.xso = s->x;
    in.yso = s->y;
  }
  const bool fromCorners = overrides.gridFromCorners || overrides.xaud || overrides.intervals;
  if (fromCorners) {
    const AudienceCorners corners = overrides.xaud && overrides.yaud
                                        ? AudienceCorners{*overrides.xaud, *overrides.yaud}
                                        : audienceCorners(rt, fig);
    int intervals = overrides.intervals.value_or(0);
    if (!overrides.intervals) {
      if (const auto map = findInWindow(rt, fig, tags::kAudienceMap))
        intervals = audienceMapIntervals(rt.graphics(), *map).value_or(0);
    }
    if (corners.x.size() >= 4 && corners.y.size() >= 4 && intervals >= 1) {
      engine::AudienceGrid grid = engine::audiencegrid(corners.x, corners.y, intervals);
      in.xs = std::move(grid.xs);
      in.ys = std::move(grid.ys);
    }
  } else {
    MapGrid grid = audienceMapGrid(rt, fig);
    in.xs = std::move(grid.xs);
    in.ys = std::move(grid.ys);
  }
  const CaseRecord& record = viewCase(rt, fig);
  in.curves = convexCurves(overrides.curves ? *overrides.curves : record.curves);
  in.diffusion = diffusionChecked(rt, fig);
  in.noprogressbar = record.noprogressbar.has_value();
  in.order = std::clamp(record.order, 1, engine::kMaxOrder);
  return in;
}

engine::SurfaceInputs surfaceInputs(engine::CaseInputs in, const CaseRecord& record) {
  engine::SurfaceInputs out;
  out.walls = std::move(in.walls);
  out.alpha = std::move(in.alpha);
  out.xso = in.xso;
  out.yso = in.yso;
  out.xs = std::move(in.xs);
  out.ys = std::move(in.ys);
  out.iscnvx = record.iscnvx.value_or(1);
  out.diffcoef = record.diffcoef.value_or(std::vector<double>(out.walls.size(), 1.0));
  out.iwv = record.iwv.value_or(std::vector<int>(out.walls.size(), 1));
  out.visible = record.xwv && record.ywv ? engine::wallsFromMatrices(*record.xwv, *record.ywv) : out.walls;
  if (record.images) {
    out.images = *record.images;
  } else {
    for (const auto& w : out.walls)
      out.images.push_back(engine::computeimage(w.x1, w.y1, w.x2, w.y2, out.xso, out.yso));
  }
  out.noprogressbar = in.noprogressbar;
  return out;
}

void refreshsurfacevalues(Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  // Read in place, and only here: the progress bar below lets events in.
  engine::CaseInputs gathered = gatherEngineInputs(rt, fig);
  const int order = gathered.order;
  engine::CaseInputs higher;  // above order 1: the case without its grid, which `in` keeps
  if (order > 1) {
    higher = gathered;
    higher.xs = {};
    higher.ys = {};
  }
  const engine::SurfaceInputs in = surfaceInputs(std::move(gathered), viewCase(rt, fig));
  const std::shared_ptr<EarlyMap> early = viewCase(rt, fig).earlyMap;
  engine::ImageSet images;
  if (order > 1) images = recordedImageSet(viewCase(rt, fig), in.walls, {in.xso, in.yso});

  bool progressShown = false;
  // Above order 1 the first order fills the first 1 / order of the bar, the higher orders the rest.
  const double share = 1.0 / order;
  const engine::ProgressFn progress = [&](double fraction, const std::string& text) {
    progressShown = true;
    rt.ui().progress(text, order > 1 ? fraction * share : fraction);
  };
  const engine::ProgressFn higherProgress = [&](double fraction, const std::string& text) {
    progressShown = true;
    rt.ui().progress(text, share + fraction * (1 - share));
  };
  engine::SurfaceValues values;
  engine::HigherOrderValues orders;
  try {
    std::optional<engine::SurfaceValues> ready;
    if (early) ready = early->take(in, progress);
    values = ready ? std::move(*ready) : engine::refreshsurfacevalues(in, progress);
    if (order > 1) orders = engine::higherordermap(higher, images, in.xs, in.ys, values, higherProgress);
  } catch (...) {
    if (progressShown) rt.ui().closeProgress();
    throw;
  }
  // The diagnostics and the timing line are written while the bar still shows; then it closes.
  for (const std::string& line : values.console) rt.console(line);
  if (orders.refused) rt.console(orders.message);
  for (int i = 0; i < values.beeps; ++i) rt.ui().beep();
  if (progressShown) rt.ui().closeProgress();

  changeCase(rt, fig, [&](CaseRecord& record) {
    recordSurfaceValues(record, std::move(values));
    recordOrders(record, std::move(orders));
    record.earlyMap.reset();
  });
}

void test(Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  const auto walls = wallsInWallOrder(rt, fig);
  for (int k : engine::test(wallGeometry(rt, fig))) {
    const auto i = static_cast<std::size_t>(k - 1);
    if (i >= walls.size() || !rt.graphics().exists(walls[i])) continue;
    rt.graphics().setText(walls[i], "color", "g");
    rt.ui().pause(1);
    if (rt.graphics().exists(walls[i])) rt.graphics().setText(walls[i], "color", "k");
  }
}

namespace {

double numberArg(const std::vector<Value>& args, std::size_t i, double otherwise) {
  return i < args.size() && args[i].isScalar() ? args[i].scalar() : otherwise;
}
}  // namespace

void registerAcousticsOperations(Operations& ops) {
  ops.add(makeOperation("checkroomconvexity", 0, 0,
                        [](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
                          checkroomconvexity(rt);
                          return {};
                        }));
  ops.add(makeOperation(
      "checksource", 3, 1, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        const Handle fig = args.size() > 2 && args[2].isObject() ? args[2].object() : currentMainWindow(rt);
        double x = numberArg(args, 0, 0), y = numberArg(args, 1, 0);
        if (args.size() < 2) {
          // Without a point: the source marker's position.
          if (const auto source = findInWindow(rt, fig, tags::kSource)) {
            const engine::Point s = firstPoint(rt, *source);
            x = s.x;
            y = s.y;
          }
        }
        return {Value(static_cast<double>(checksource(rt, x, y, fig)))};
      }));
  ops.add(
      makeOperation("checkaudience", 0, 1, [](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
        return {Value(static_cast<double>(checkaudience(rt)))};
      }));
  ops.add(makeOperation(
      "shiftsource", 2, 2, [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
        const engine::Point p = shiftsource(rt, numberArg(args, 0, 0), numberArg(args, 1, 0));
        return {Value(p.x), Value(p.y)};
      }));
  ops.add(makeOperation("refreshsurfacevalues", 0, 0,
                        [](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
                          refreshsurfacevalues(rt);
                          return {};
                        }));
  ops.add(makeOperation("test", 0, 0, [](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
    test(rt);
    return {};
  }));
}

}  // namespace velmora::document
