// The 512-bit vector intrinsics, for the sources whose eight-lane code is
// compiled for that instruction set function by function.
#pragma once

// GCC's own 512-bit intrinsics read a deliberately undefined vector, which its
// uninitialized-use checks report; nothing here reads one.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
