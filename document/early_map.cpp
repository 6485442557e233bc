#include "document/early_map.h"

namespace velmora::document {

namespace {

// Walls times map points: about 30 ms of the chain on one core of this decade's machines, a wait
// too short to want a progress bar that moves.
constexpr double kMostEarlyWork = 1e7;

// Thrown from the chain's progress report to abandon it.
struct Stopped {};

}  // namespace

bool EarlyMap::suits(const engine::CaseInputs& in) {
  // Without progress reports (a path animation's frames) a chain that guessed wrong cannot be stopped.
  return !in.noprogressbar && !in.walls.empty() && !in.xs.empty() &&
         static_cast<double>(in.walls.size()) * static_cast<double>(in.xs.size()) <= kMostEarlyWork;
}

EarlyMap::EarlyMap(engine::CaseInputs in) : inputs_(std::move(in)) {
  // The first order only: the map step adds the higher orders on what it takes.
  inputs_.order = 1;
  group_.run([this] { run(); });
}

EarlyMap::~EarlyMap() {
  stop_ = true;
  group_.wait();
}

void EarlyMap::run() {
  try {
    results_ = engine::computecase(inputs_, [this](double fraction, const std::string& text) {
      if (stop_) throw Stopped{};
      reports_.emplace_back(fraction, text);
    });
  } catch (...) {
    failed_ = true;  // stopped, or a geometry the chain refuses: the step says why
  }
}

bool EarlyMap::startedFrom(const engine::SurfaceInputs& in) const {
  return in.noprogressbar == inputs_.noprogressbar && in.alpha == inputs_.alpha &&
         in.walls == inputs_.walls && in.xs == inputs_.xs && in.ys == inputs_.ys;
}

bool EarlyMap::foundAsGiven(const engine::SurfaceInputs& in) const {
  const engine::ImageSet& set = results_.images;
  return in.xso == set.xso && in.yso == set.yso && in.iscnvx == results_.convexity.iscnvx &&
         in.diffcoef == set.diffcoef && in.iwv == set.iwv && in.visible == set.visible &&
         in.images == set.images;
}

std::optional<engine::SurfaceValues> EarlyMap::take(const engine::SurfaceInputs& in,
                                                    const engine::ProgressFn& progress) {
  if (taken_) return std::nullopt;
  taken_ = true;
  const bool started = startedFrom(in);
  if (!started) stop_ = true;
  group_.wait();  // the calling thread helps with what is left
  if (!started || failed_ || !foundAsGiven(in)) return std::nullopt;
  if (progress) {
    for (const auto& [fraction, text] : reports_) progress(fraction, text);
  }
  return std::move(results_.values);
}

}  // namespace velmora::document
