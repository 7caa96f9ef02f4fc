// The scene's state after a frame as one line of JSON, for comparing runs.
// Numbers are written so that they read back exactly: doubles with 17
// significant digits, floats with 9 (integral values come out as "25").
#pragma once

#include <cstdint>
#include <string>

class MONEYSS;

constexpr int kTracedNotes = 50;  // the first notes of the array

// runTime and stepTime are the frame driver's; world may be null.
std::string TraceLine(double runTime, double stepTime, uint64_t randDraws, const MONEYSS* world);
