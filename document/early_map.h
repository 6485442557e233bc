#pragma once
// The audience map of a rebuild, started before the window is rebuilt: the chain runs on the other
// core while the walls, menus and images are made, and the map step takes its values when it finds
// that its inputs are the ones the chain started from. A guess that turns out wrong costs only the
// early start: the step then computes the map itself, as it always did.

#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <oneapi/tbb/task_group.h>

#include "engine/chain.h"

namespace velmora::document {

class EarlyMap {
 public:
  // Whether a map is quick enough to start early, and reports its progress (where a wrong guess is
  // stopped). A long one keeps its progress bar live, wall by wall, which only the step can show.
  static bool suits(const engine::CaseInputs& in);

  // Starts the chain at once, on another core when one is free.
  explicit EarlyMap(engine::CaseInputs in);
  // Stops the chain if it still runs, and waits for it.
  ~EarlyMap();
  EarlyMap(const EarlyMap&) = delete;
  EarlyMap& operator=(const EarlyMap&) = delete;

  // The map's values when `in`, the step's inputs, are exactly what the chain found (walls, grid,
  // convexity, images, source as the images placed it); waits for the chain, then passes its progress
  // reports on in order. Nothing when anything differs or the chain failed: the step computes anew.
  // Once only.
  std::optional<engine::SurfaceValues> take(const engine::SurfaceInputs& in,
                                            const engine::ProgressFn& progress);

 private:
  void run();
  // What the chain started from; what it found on the way (convexity, images, the source's place).
  bool startedFrom(const engine::SurfaceInputs& in) const;
  bool foundAsGiven(const engine::SurfaceInputs& in) const;

  engine::CaseInputs inputs_;
  engine::CaseResults results_;
  std::vector<std::pair<double, std::string>> reports_;  // written by the chain only
  bool failed_ = false;
  std::atomic<bool> stop_{false};
  bool taken_ = false;
  tbb::task_group group_;  // last: waited for before anything it uses goes
};

}  // namespace velmora::document
