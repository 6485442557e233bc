#pragma once
// Real transforms of one length through FFTW, planned without measuring so that every run computes
// the same bits. FFTW's planner is not thread-safe: plans are made and destroyed under one lock.

#include <complex>
#include <cstddef>
#include <vector>

namespace velmora::hearing {

class RealFft {
 public:
  explicit RealFft(std::size_t length);
  ~RealFft();
  RealFft(const RealFft&) = delete;
  RealFft& operator=(const RealFft&) = delete;

  std::size_t length() const { return length_; }
  std::size_t bins() const { return length_ / 2 + 1; }
  // `time` (length() samples, zero-padded when shorter) to bins() complex values.
  void forward(const std::vector<double>& time, std::vector<std::complex<double>>& spectrum);
  // bins() values back to length() samples, divided by length() so that inverse(forward(x)) = x.
  void inverse(const std::vector<std::complex<double>>& spectrum, std::vector<double>& time);

 private:
  std::size_t length_;
  double* time_ = nullptr;
  void* spectrum_ = nullptr;  // fftw_complex*
  void* forwardPlan_ = nullptr;
  void* inversePlan_ = nullptr;
};

// The smallest length >= n whose only prime factors are 2, 3, 5 and 7 (FFTW is fast on those).
std::size_t fftLength(std::size_t n);

}  // namespace velmora::hearing
