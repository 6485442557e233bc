#pragma once
// Loops over grid points built twice: four points at a time where the processor has AVX2 (a clone
// chosen once, when the program loads), two elsewhere. The square root and the two divisions per
// point are most of the map's time. No FMA in either clone, so the lanes round as the one-point code
// does.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VELMORA_WIDE_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VELMORA_WIDE_LOOP
#endif
