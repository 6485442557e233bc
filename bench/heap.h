#pragma once
// The heap accounting of the engine benchmarks (every allocation of the process is counted): live
// bytes and the peak since the last reset.

#include <cstddef>

namespace velmora::bench {

std::size_t heapLiveBytes();
std::size_t heapPeakBytes();
void resetHeapPeak();  // the peak starts again from the live bytes

}  // namespace velmora::bench
