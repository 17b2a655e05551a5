#pragma once
// Which vector paths the pixel kernels may use: SSE2 when the compiler
// targets it, AVX2 compiled per function and chosen at run time.
#if defined(__SSE2__)
#include <emmintrin.h>
#define VELMORA_SSE2 1
#endif
#if defined(VELMORA_SSE2) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VELMORA_AVX2 1
#define VELMORA_TARGET_AVX2 __attribute__((target("avx2")))
#endif
