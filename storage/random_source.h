#pragma once

#include <cstdint>

#include "platform/env.h"

namespace tunewell {

// The draws that choose music folders and file names. Tests replace it with a script.
class RandomSource {
 public:
  static constexpr int kMax = 32767;

  virtual ~RandomSource() = default;
  // A number from 0 to kMax.
  virtual int Next() = 0;
};

// A linear congruential generator: cheap, and all a file name needs.
class LcgRandom : public RandomSource {
 public:
  explicit LcgRandom(uint32_t seed) : state_(seed) {}

  // Seeded from the clock; make one per run.
  static LcgRandom SeededFromClock(Env& env) {
    return LcgRandom(static_cast<uint32_t>(env.NowSeconds()));
  }

  int Next() override {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<int>((state_ >> 16) & kMax);
  }

 private:
  uint32_t state_;
};

}  // namespace tunewell
