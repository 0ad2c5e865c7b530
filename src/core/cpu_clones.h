#pragma once
// One copy of a function per instruction set, chosen when the program loads.
// The choice runs before ThreadSanitizer's runtime is ready, so its build
// keeps one plain copy; the arithmetic, and so every file, is the same in
// each copy.
#if defined(__SANITIZE_THREAD__) || !defined(__GNUC__)
#define MIXORA_CPU_CLONES
#else
#define MIXORA_CPU_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif
