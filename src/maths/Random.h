// The scene's random draws. Every choice the scene makes is one call of the
// C library's rand, in an order that decides what a user sees for a given
// seed; going through here lets the draws be counted and, in tests, scripted.
#pragma once

#include <cstdint>
#include <functional>

// One draw: rand(), or the scripted source when one is installed.
int RandomDraw();

// Seeds the C library's generator (srand).
void SeedRandom(unsigned seed);

// How many draws the process has made.
uint64_t RandomDrawCount();

// Replaces the source of draws (an empty function restores rand) and
// returns the previous one.
using RandomSource = std::function<int()>;
RandomSource SetRandomSource(RandomSource source);
