#pragma once
// The program's random numbers: the classic runtime generator with its 15-bit
// range (0 to 32767), seeded from the calendar time in seconds, so that the
// formulas written for that range hold and two boards made in the same second
// are laid out alike. Main thread only.

#include <ctime>

constexpr int RandMax = 32767;
void Srand(unsigned seed);
int Rand();

// The calendar time in seconds; tests may fix it.
std::time_t CurrentTime();
void SetTimeSource(std::time_t (*source)());
