#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "tools/devsim/model_faults.h"

// The random bytes of an emulated device's faults and what the reply faults
// do to a reply on its way out. One generator serves replies and stream
// noise alike, so a seed repeats a whole run.
class ReplyShaper {
 public:
  void Seed(std::uint32_t seed) { random_.seed(seed); }

  // `count` random bytes (none for count <= 0), never `avoid` when that is
  // a byte value (0..255).
  std::vector<std::uint8_t> Noise(int count, int avoid = -1);

  // Applies the reply faults of `faults` to `reply` while their reply limit
  // lasts (counting it down): the end cut short, `noiseInside` random bytes
  // in the middle, noise ahead, extra bytes appended. Returns how many
  // milliseconds late the reply is to go out.
  int Shape(std::vector<std::uint8_t>& reply, ModelFaults& faults, int noiseInside = 0);

 private:
  std::mt19937 random_{1};
};
