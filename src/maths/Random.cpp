#include "maths/Random.h"

#include <cstdlib>

namespace {

uint64_t drawCount = 0;

RandomSource& Source() {
  static RandomSource source;
  return source;
}

}  // namespace

int RandomDraw() {
  ++drawCount;
  const RandomSource& source = Source();
  return source ? source() : std::rand();
}

void SeedRandom(unsigned seed) { std::srand(seed); }

uint64_t RandomDrawCount() { return drawCount; }

RandomSource SetRandomSource(RandomSource source) {
  RandomSource previous = std::move(Source());
  Source() = std::move(source);
  return previous;
}
