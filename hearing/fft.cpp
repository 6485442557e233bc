#include "hearing/fft.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include <fftw3.h>

namespace velmora::hearing {

namespace {

std::mutex& plannerLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

RealFft::RealFft(std::size_t length) : length_(length) {
  std::lock_guard guard(plannerLock());
  time_ = fftw_alloc_real(length_);
  fftw_complex* spectrum = fftw_alloc_complex(bins());
  spectrum_ = spectrum;
  if (time_ == nullptr || spectrum == nullptr) {
    fftw_free(time_);
    fftw_free(spectrum);
    throw std::bad_alloc();
  }
  const int n = static_cast<int>(length_);
  forwardPlan_ = fftw_plan_dft_r2c_1d(n, time_, spectrum, FFTW_ESTIMATE);
  inversePlan_ = fftw_plan_dft_c2r_1d(n, spectrum, time_, FFTW_ESTIMATE);
}

RealFft::~RealFft() {
  std::lock_guard guard(plannerLock());
  fftw_destroy_plan(static_cast<fftw_plan>(forwardPlan_));
  fftw_destroy_plan(static_cast<fftw_plan>(inversePlan_));
  fftw_free(time_);
  fftw_free(spectrum_);
}

void RealFft::forward(const std::vector<double>& time, std::vector<std::complex<double>>& spectrum) {
  const std::size_t n = std::min(time.size(), length_);
  std::copy_n(time.data(), n, time_);
  std::fill(time_ + n, time_ + length_, 0.0);
  fftw_execute(static_cast<fftw_plan>(forwardPlan_));
  spectrum.resize(bins());
  std::memcpy(static_cast<void*>(spectrum.data()), spectrum_, bins() * sizeof(fftw_complex));
}

void RealFft::inverse(const std::vector<std::complex<double>>& spectrum, std::vector<double>& time) {
  // c2r overwrites its input: the caller's spectrum is copied in first.
  std::memcpy(spectrum_, static_cast<const void*>(spectrum.data()), bins() * sizeof(fftw_complex));
  fftw_execute(static_cast<fftw_plan>(inversePlan_));
  time.resize(length_);
  const double scale = 1.0 / static_cast<double>(length_);
  for (std::size_t i = 0; i < length_; ++i) time[i] = time_[i] * scale;
}

std::size_t fftLength(std::size_t n) {
  for (std::size_t m = std::max<std::size_t>(n, 1);; ++m) {
    std::size_t r = m;
    for (std::size_t p : {2, 3, 5, 7})
      while (r % p == 0) r /= p;
    if (r == 1) return m;
  }
}

}  // namespace velmora::hearing
