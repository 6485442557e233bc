#include <gsl/gsl_errno.h>
#include <gsl/gsl_spline.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "animation/animation.h"

namespace velmora::animation {

namespace {

// Points closer than this to their predecessor add nothing to a spline path.
constexpr double kSamePoint = 1e-6;

struct SplineDeleter {
  void operator()(gsl_spline* s) const { gsl_spline_free(s); }
};
using SplinePtr = std::unique_ptr<gsl_spline, SplineDeleter>;

// One stretch of the curve without coinciding consecutive points.
void samplePiece(const std::vector<double>& x, const std::vector<double>& y, int samples, Path& out) {
  const std::size_t n = x.size();
  const auto append = [&](double px, double py) {
    out.x.push_back(px);
    out.y.push_back(py);
  };
  if (n == 1) {
    append(x[0], y[0]);
    return;
  }
  std::vector<double> t(n, 0.0);
  for (std::size_t i = 1; i < n; ++i) {
    const double d2 = (x[i] - x[i - 1]) * (x[i] - x[i - 1]) + (y[i] - y[i - 1]) * (y[i] - y[i - 1]);
    t[i] = t[i - 1] + std::pow(d2, 0.25);
  }
  if (n == 2) {
    for (int k = 0; k < samples; ++k) {
      const double f = static_cast<double>(k) / samples;
      append(x[0] + f * (x[1] - x[0]), y[0] + f * (y[1] - y[0]));
    }
    append(x[1], y[1]);
    return;
  }
  const bool periodic = x.front() == x.back() && y.front() == y.back();
  const gsl_interp_type* type = periodic ? gsl_interp_cspline_periodic : gsl_interp_cspline;
  SplinePtr sx(gsl_spline_alloc(type, n));
  SplinePtr sy(gsl_spline_alloc(type, n));
  if (!sx || !sy || gsl_spline_init(sx.get(), t.data(), x.data(), n) != GSL_SUCCESS ||
      gsl_spline_init(sy.get(), t.data(), y.data(), n) != GSL_SUCCESS) {
    // Cannot happen with strictly growing parameters; fall back to the polyline.
    for (std::size_t i = 0; i < n; ++i) append(x[i], y[i]);
    return;
  }
  for (std::size_t i = 0; i + 1 < n; ++i) {
    for (int k = 0; k < samples; ++k) {
      const double s = t[i] + (t[i + 1] - t[i]) * k / samples;
      append(k == 0 ? x[i] : gsl_spline_eval(sx.get(), s, nullptr),
             k == 0 ? y[i] : gsl_spline_eval(sy.get(), s, nullptr));
    }
  }
  append(x.back(), y.back());
}

}  // namespace

Path splineCurve(const std::vector<double>& x, const std::vector<double>& y, int samplesPerInterval) {
  gsl_set_error_handler_off();  // failures come back as codes, never as an abort
  Path out;
  const std::size_t n = std::min(x.size(), y.size());
  const int samples = std::max(1, samplesPerInterval);
  std::vector<double> px, py;
  for (std::size_t i = 0; i < n; ++i) {
    if (!px.empty() && x[i] == px.back() && y[i] == py.back()) {
      // The curve is split where two consecutive points coincide.
      samplePiece(px, py, samples, out);
      out.x.pop_back();
      out.y.pop_back();
      px.assign(1, x[i]);
      py.assign(1, y[i]);
      continue;
    }
    px.push_back(x[i]);
    py.push_back(y[i]);
  }
  if (!px.empty()) samplePiece(px, py, samples, out);
  return out;
}

Path setpathsegments(const std::vector<double>& xp, const std::vector<double>& yp, std::string_view ptype,
                     int ns) {
  Path out;
  const std::size_t count = std::min(xp.size(), yp.size());
  if (count == 0) return out;
  ns = std::max(1, ns);
  std::vector<double> x, y;
  if (ptype == "spline") {
    for (std::size_t i = 0; i < count; ++i) {
      if (!x.empty() && std::hypot(xp[i] - x.back(), yp[i] - y.back()) <= kSamePoint) continue;
      x.push_back(xp[i]);
      y.push_back(yp[i]);
    }
  } else {
    x.assign(xp.begin(), xp.begin() + static_cast<std::ptrdiff_t>(count));
    y.assign(yp.begin(), yp.begin() + static_cast<std::ptrdiff_t>(count));
  }
  const std::size_t n = x.size();
  std::vector<double> lengths;
  double total = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    lengths.push_back(std::hypot(x[i + 1] - x[i], y[i + 1] - y[i]));
    total += lengths.back();
  }

  if (ptype == "spline") {
    if (n == 1 || !(total > 0)) {
      // A path of one point: every frame stands there.
      out.x.assign(static_cast<std::size_t>(ns) + 1, x[0]);
      out.y.assign(static_cast<std::size_t>(ns) + 1, y[0]);
      return out;
    }
    std::vector<double> t(n, 0.0);
    for (std::size_t i = 1; i < n; ++i) t[i] = t[i - 1] + lengths[i - 1] / total;
    t.back() = 1;
    std::size_t seg = 0;
    for (int k = 0; k <= ns; ++k) {
      const double s = static_cast<double>(k) / ns;
      if (k == ns) {
        out.x.push_back(x.back());
        out.y.push_back(y.back());
        break;
      }
      while (seg + 2 < n && t[seg + 1] <= s) ++seg;
      const double span = t[seg + 1] - t[seg];
      const double f = span > 0 ? (s - t[seg]) / span : 0;
      out.x.push_back(x[seg] + f * (x[seg + 1] - x[seg]));
      out.y.push_back(y[seg] + f * (y[seg + 1] - y[seg]));
    }
    return out;
  }

  if (n == 1) {
    out.x = x;
    out.y = y;
    return out;
  }
  for (std::size_t i = 0; i + 1 < n; ++i) {
    // A path of zero length gives each segment the least number of steps.
    const double share = total > 0 ? std::ceil(ns * lengths[i] / total) : 0;
    const int steps = std::max(2, static_cast<int>(share));
    const bool last = i + 2 == n;
    for (int j = 0; j < steps + (last ? 1 : 0); ++j) {
      const double f = static_cast<double>(j) / steps;
      out.x.push_back(x[i] + f * (x[i + 1] - x[i]));
      out.y.push_back(y[i] + f * (y[i + 1] - y[i]));
    }
  }
  return out;
}

}  // namespace velmora::animation
