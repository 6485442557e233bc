#include "document/case_file.h"

#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <system_error>
#include <utility>

#include "platform/model/error.h"
#include "platform/files/matfile.h"
#include "platform/model/numbers.h"

namespace velmora::document {

using platform::Value;

namespace {

std::string extensionOf(const std::string& name) {
  const auto slash = name.find_last_of('/');
  const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
  const auto dot = file.find_last_of('.');
  return dot == std::string::npos ? std::string() : file.substr(dot);
}

// Limits of the fields that set how much the window builds from a case: a file beyond them is refused
// before the rebuild allocates anything for it.
constexpr double kLargestZoneSide = 10000;          // metres: a grid over it stays a few thousand points wide
constexpr int kFewestSteps = 5, kMostSteps = 2000;  // animation steps, as its dialog keeps them
constexpr double kLongestPause = 2;                 // seconds between animation steps

// Whole numbers in full (a refused 100000 reads as such), others as the console shows numbers.
std::string shownNumber(double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
    return std::to_string(static_cast<long long>(v));
  return platform::formatNumber(v);
}

void checkRange(const std::string& shown, const std::string& field, double v, double low, double high) {
  if (!(v >= low && v <= high))
    throw Error("file " + shown + ": field " + field + " must be between " + shownNumber(low) + " and " +
                shownNumber(high) + ", not " + shownNumber(v));
}

void checkCount(const std::string& shown, const std::string& field, std::size_t n,
                std::initializer_list<std::size_t> allowed, const char* what) {
  for (std::size_t a : allowed)
    if (n == a) return;
  throw Error("file " + shown + ": field " + field + " must hold " + what + ", not " + std::to_string(n) +
              " values");
}

void checkLimits(const CaseDescription& d, const std::string& shown) {
  if (d.Nsurface) checkRange(shown, "Nsurface", *d.Nsurface, 1, kMostMapIntervals);
  for (const auto& [field, range] : {std::pair{"xlim", d.xlim}, std::pair{"ylim", d.ylim}}) {
    if (!range) continue;
    const double side = (*range)[1] - (*range)[0];
    if (!(side > 0 && side <= kLargestZoneSide))
      throw Error("file " + shown + ": field " + field + " must rise by more than 0 and at most " +
                  shownNumber(kLargestZoneSide) + " m, not " + shownNumber(side));
  }
  if (d.curves && !d.curves->empty() && d.xwall) {
    const double walls = static_cast<double>(d.xwall->size());
    for (std::size_t r = 0; r < d.curves->rows; ++r)
      for (std::size_t c : {std::size_t{7}, std::size_t{8}})
        checkRange(shown, "curves (wall number)", (*d.curves)(r, c), 1, walls);
  }
  if (const auto& a = d.animationparameters) {
    checkRange(shown, "animationparameters.animationtype", static_cast<int>(a->animationtype), 1, 4);
    checkRange(shown, "animationparameters.movingobject", a->movingobject, 1, 2);
    checkRange(shown, "animationparameters.showpath", a->showpath, 0, 1);
    checkRange(shown, "animationparameters.pathtype", static_cast<int>(a->pathtype), 1, 4);
    checkRange(shown, "animationparameters.step", a->step, kFewestSteps, kMostSteps);
    checkRange(shown, "animationparameters.pause", a->pause, 0, kLongestPause);
    checkCount(shown, "animationparameters.level", a->level.size(), {0, 2}, "0 or 2 values");
    checkCount(shown, "animationparameters.axis", a->axis.size(), {0, 4}, "0 or 4 values");
    if (a->xp.has_value() != a->yp.has_value() || (a->xp && a->xp->size() != a->yp->size()))
      throw Error("file " + shown + ": fields animationparameters.xp and yp must hold as many values");
    if (a->xpath.has_value() != a->ypath.has_value() || (a->xpath && a->xpath->size() != a->ypath->size()))
      throw Error("file " + shown + ": fields animationparameters.xpath and ypath must hold as many values");
  }
}

}  // namespace

CaseDescription readCaseFile(const std::string& path, const std::string& shown) {
  Value v;
  try {
    v = platform::readMatVariable(path, std::string(kCaseVariable));
  } catch (const Error& e) {
    const std::string message = e.what();
    // The reader's own messages about the file already name it.
    if (message.rfind("file ", 0) == 0) throw;
    throw Error("file " + shown + ": " + message);
  }
  CaseDescription d;
  try {
    d = CaseDescription::fromValue(v);
  } catch (const Error& e) {
    throw Error("file " + shown + ": " + e.what());
  }
  checkLimits(d, shown);
  return d;
}

void checkCaseFileName(const std::string& name) {
  std::error_code ec;
  if (name.empty() || !std::filesystem::is_regular_file(std::filesystem::path(name), ec))
    throw Error("file " + name + " not found ...");
  if (!platform::equalsIgnoreCase(extensionOf(name), kCaseExtension))
    throw Error("file " + name + " is not a velmoracopy file ...");
}

void writeCaseFile(const std::string& path, const CaseDescription& description) {
  platform::writeMatVariable(path, std::string(kCaseVariable), description.toValue());
}

}  // namespace velmora::document
