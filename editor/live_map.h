#pragma once
// The live map: while a wall vertex, the source or an audience corner is dragged, the images, the
// radius lines and the audience map follow the pointer. Each motion that moves something takes a
// snapshot of the window's geometry and hands it to one worker thread, which runs the engine chain;
// the result comes back through the runtime's event queue and is shown only when no newer result has
// been shown and the same drag still runs. A newer snapshot cancels an older computation (between
// walls), so the pointer never waits: a room too large to follow keeps its last finished map. The
// release verbs recompute synchronously as always, so what a drag leaves behind does not depend on
// any of this. The objects menu item "live map" switches it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "document/operations.h"
#include "engine/chain.h"
#include "platform/model/runtime.h"

namespace velmora::editor {

using platform::Handle;
using platform::Runtime;

enum class LiveDrag { Vertex, Source, Audience };

// One snapshot of a window's geometry, as a drag of this kind changes it.
struct LiveJob {
  Handle fig = platform::kNoHandle;
  LiveDrag kind = LiveDrag::Vertex;
  std::uint64_t generation = 0;
  // Audience drags: the map grid laid anew over the corners as they are; empty when there is none.
  engine::CaseInputs inputs;
};

struct LiveResult {
  engine::CaseResults results;
  engine::Matrix xs, ys;  // the grid the results are for
};

// The snapshot of the window for a drag of this kind (event thread).
LiveJob snapshotLive(const Runtime& rt, Handle fig, LiveDrag kind);
// Runs the chain for a snapshot; any thread. Nothing when `stop` answers true between two walls.
std::optional<LiveResult> computeLive(const LiveJob& job, const std::function<bool()>& stop = {});
// Shows a result in its window: the derived fields of the case record that the drag's release
// recomputes, the images and radius lines (not for audience drags), the map and its colour bar.
void applyLive(Runtime& rt, const document::Operations& ops, const LiveJob& job, const LiveResult& result);

// True when the window's objects menu has "live map" checked.
bool liveMapChecked(const Runtime& rt, Handle fig);

class LiveMap : public std::enable_shared_from_this<LiveMap> {
 public:
  explicit LiveMap(const document::Operations& ops) : ops_(ops) {}
  ~LiveMap();
  LiveMap(const LiveMap&) = delete;
  LiveMap& operator=(const LiveMap&) = delete;

  // After a motion handler ran: when it moved something and "live map" is checked, hands the new
  // geometry to the worker. `firstMotion` starts a drag: results of earlier drags are dropped.
  void follow(Runtime& rt, Handle fig, LiveDrag kind, bool firstMotion);
  // At a release: the pending snapshot is dropped and the running computation stops at its next
  // wall, whatever its age; the release recomputes synchronously anyway.
  void release();
  // Waits until the worker has nothing left to do, then runs what it posted (tests, automation).
  void settle(Runtime& rt);
  // Computations that ran to their end (tests: a release leaves nothing running on).
  std::uint64_t finished() const { return finished_.load(); }

 private:
  void work(const std::stop_token& stop);
  void deliver(Runtime& rt, const LiveJob& job, const LiveResult& result);

  const document::Operations& ops_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::condition_variable_any idle_;
  struct Pending {
    LiveJob job;
    std::shared_ptr<platform::PostBox> box;
    Runtime* rt = nullptr;
  };
  std::optional<Pending> pending_;
  bool running_ = false;
  std::atomic<std::uint64_t> latest_{0};
  std::atomic<std::uint64_t> released_{0};  // generations up to this one belong to ended drags
  std::atomic<std::uint64_t> finished_{0};
  // Event thread only.
  std::uint64_t applied_ = 0;
  std::uint64_t dragStart_ = 0;
  std::jthread worker_;  // started by the first follow; last member, so it stops first
};

}  // namespace velmora::editor
