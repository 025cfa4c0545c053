//===- util/random.cpp - Pseudo-random numbers ----------------------------===//

#include "util/random.h"

namespace {
std::uint32_t g_RandomState = 1;
} // namespace

void SeedRandom(std::uint32_t seed) { g_RandomState = seed; }

int NextRandom() {
  g_RandomState = g_RandomState * 214013u + 2531011u;
  return static_cast<int>((g_RandomState >> 16) & 0x7FFFu);
}
