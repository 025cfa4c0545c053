//===- util/random.h - Pseudo-random numbers --------------------*- C++ -*-===//
//
// A small linear congruential generator giving numbers from 0 to 32767, the
// same sequence on every platform for the same seed.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_RANDOM_H
#define FERROX_UTIL_RANDOM_H

#include <cstdint>

void SeedRandom(std::uint32_t seed);
/// The next number, 0 to 32767.
int NextRandom();

#endif // FERROX_UTIL_RANDOM_H
