#include "editor/live_map.h"

#include <chrono>
#include <optional>
#include <string>

#include "document/acoustics.h"
#include "document/case_record.h"
#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "engine/surface.h"

namespace velmora::editor {

using platform::Value;
using namespace velmora::document;

namespace {

// A computation that has already run this long is let finish even when a newer position came, so
// that a map that takes longer than the pointer's pace still changes now and then during a drag.
constexpr auto kLetFinish = std::chrono::milliseconds(50);

// Thrown from the chain's per-wall progress report to abandon a stale computation.
struct Cancelled {};

const char* releaseOf(LiveDrag kind) {
  switch (kind) {
    case LiveDrag::Vertex:
      return "velmoracopy('refreshmwp')";
    case LiveDrag::Source:
      return "velmoracopy('refreshmso')";
    case LiveDrag::Audience:
      return "velmoracopy('refreshmap')";
  }
  return "";
}

// The images and their radius lines, drawn as the release draws them.
void drawImages(Runtime& rt, Handle fig, const engine::ImageSet& set) {
  auto& g = rt.graphics();
  for (Handle h : objectsByTag(rt, fig, tags::kImage)) g.remove(h);
  for (Handle h : objectsByTag(rt, fig, tags::kRadius)) g.remove(h);
  drawImageLines(rt, fig, set);
}

}  // namespace

bool liveMapChecked(const Runtime& rt, Handle fig) {
  const auto item = document::controlMenuItem(rt.graphics(), fig, tags::kObjectsButton, "live map");
  return item && rt.graphics().at(*item).isOn("checked");
}

LiveJob snapshotLive(const Runtime& rt, Handle fig, LiveDrag kind) {
  LiveJob job;
  job.fig = fig;
  job.kind = kind;
  document::InputOverrides overrides;
  // A vertex release clears the curve table before it recomputes.
  if (kind == LiveDrag::Vertex) overrides.curves = platform::Matrix{};
  overrides.gridFromCorners = kind == LiveDrag::Audience;
  try {
    job.inputs = document::gatherEngineInputs(rt, fig, overrides);
  } catch (const std::exception&) {
    // A map finer than any precision shows nothing live; the release says why.
    if (kind != LiveDrag::Audience) throw;
    job.inputs = {};
  }
  // The per-wall progress report is where a stale computation stops; nothing is shown of it.
  job.inputs.noprogressbar = false;
  return job;
}

std::optional<LiveResult> computeLive(const LiveJob& job, const std::function<bool()>& stop) {
  LiveResult out;
  const engine::CaseInputs& in = job.inputs;
  if (job.kind == LiveDrag::Audience && in.xs.empty()) return std::nullopt;
  if (in.walls.empty()) return std::nullopt;
  try {
    out.results = engine::computecase(in, [&](double, const std::string&) {
      if (stop && stop()) throw Cancelled{};
    });
  } catch (const Cancelled&) {
    return std::nullopt;
  }
  out.xs = in.xs;
  out.ys = in.ys;
  return out;
}

void applyLive(Runtime& rt, const document::Operations& ops, const LiveJob& job, const LiveResult& result) {
  auto& g = rt.graphics();
  const Handle fig = job.fig;
  const engine::CaseResults& r = result.results;
  if (job.kind == LiveDrag::Audience) {
    if (const auto map = findInWindow(rt, fig, tags::kAudienceMap)) {
      g.set(*map, "xdata", Value(toPlatform(result.xs)));
      g.set(*map, "ydata", Value(toPlatform(result.ys)));
    }
  } else {
    drawImages(rt, fig, r.images);
  }

  // Copied first: the record changes only by moves.
  std::optional<engine::RoomConvexity> convexity;
  if (job.kind != LiveDrag::Source) convexity = r.convexity;
  std::optional<engine::ImageSet> images;
  if (job.kind != LiveDrag::Audience) images = r.images;
  engine::SurfaceValues values = r.values;
  engine::HigherOrderValues orders = r.orders;  // above order 1: the case's order, as the release
  changeCase(rt, fig, [&](CaseRecord& record) {
    if (convexity) document::recordConvexity(record, std::move(*convexity));
    if (images) document::recordImages(record, std::move(*images));
    document::recordSurfaceValues(record, std::move(values));
    document::recordOrders(record, std::move(orders));
  });
  ops.call(rt, "selectvalue");
  // Echograms and the echo risk overlay follow the live result as they follow a release.
  ops.call(rt, "refreshlinkedviews");
}

LiveMap::~LiveMap() = default;

void LiveMap::follow(Runtime& rt, Handle fig, LiveDrag kind, bool firstMotion) {
  if (!liveMapChecked(rt, fig)) return;
  const std::uint64_t generation = latest_.load() + 1;
  if (firstMotion) dragStart_ = generation;
  LiveJob job = snapshotLive(rt, fig, kind);
  job.generation = generation;
  latest_.store(generation);
  std::lock_guard lock(mutex_);
  pending_ = Pending{std::move(job), rt.postBox(), &rt};
  if (!worker_.joinable()) {
    // The thread is the last member: it is stopped and joined before anything it uses goes.
    worker_ = std::jthread([this](const std::stop_token& stop) { work(stop); });
  }
  wake_.notify_one();
}

void LiveMap::work(const std::stop_token& stop) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!wake_.wait(lock, stop, [this] { return pending_.has_value(); })) return;
    Pending next = std::move(*pending_);
    pending_.reset();
    running_ = true;
    lock.unlock();

    const auto started = std::chrono::steady_clock::now();
    const std::uint64_t generation = next.job.generation;
    const auto stale = [&] {
      if (stop.stop_requested() || generation <= released_.load()) return true;
      return latest_.load() != generation && std::chrono::steady_clock::now() - started < kLetFinish;
    };
    std::optional<LiveResult> result;
    try {
      result = computeLive(next.job, stale);
    } catch (const std::exception&) {
      // A geometry the chain cannot take shows nothing live; the release reports it as usual.
    }
    if (result) {
      ++finished_;
      auto shared = std::make_shared<std::pair<LiveJob, LiveResult>>(std::move(next.job), std::move(*result));
      next.box->post([self = weak_from_this(), rt = next.rt, shared] {
        if (auto live = self.lock()) live->deliver(*rt, shared->first, shared->second);
      });
    }

    lock.lock();
    running_ = false;
    idle_.notify_all();
  }
}

void LiveMap::deliver(Runtime& rt, const LiveJob& job, const LiveResult& result) {
  // Older than what shows, or from a drag that has ended since.
  if (job.generation <= applied_ || job.generation < dragStart_ || job.generation <= released_.load()) return;
  const auto& g = rt.graphics();
  if (!g.exists(job.fig) || findMainWindow(rt) != job.fig) return;
  if (g.at(job.fig).text("windowbuttonupfcn") != releaseOf(job.kind)) return;
  applied_ = job.generation;
  applyLive(rt, ops_, job, result);
}

void LiveMap::release() {
  released_.store(latest_.load());
  std::lock_guard lock(mutex_);
  pending_.reset();
}

void LiveMap::settle(Runtime& rt) {
  {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !running_; });
  }
  rt.runPosted();
}

}  // namespace velmora::editor
