#pragma once
// The C library's heap inside Python. A map at 200 intervals hands Python a dozen result arrays of a
// few hundred kilobytes each; with the C library's defaults the memory they free goes back to the
// system at once and every computation faults in fresh pages, which costs more than the computation
// itself (the L room at 200 intervals: 2.0 ms against 0.45 ms). Arrays up to 32 MiB taken from the
// heap rather than mapped one by one, and up to 64 MiB of freed memory kept at the top of the heap, let
// the next computation reuse it. VELMORA_KEEP_MALLOC_DEFAULTS=1 in the
// environment leaves the C library's settings alone.

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace velmora::python {

inline constexpr int kHeapTopPad = 64 << 20;
inline constexpr int kMmapThreshold = 32 << 20;  // the most the C library would raise it to by itself

inline void keepFreedMemoryForReuse() {
  const char* keep = std::getenv("VELMORA_KEEP_MALLOC_DEFAULTS");
  if (keep != nullptr && std::strcmp(keep, "1") == 0) return;
  mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
  mallopt(M_TOP_PAD, kHeapTopPad);
}

}  // namespace velmora::python
