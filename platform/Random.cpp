#include "platform/Random.h"

namespace {
unsigned randomState = 1;
std::time_t (*timeSource)() = nullptr;
}  // namespace

void Srand(unsigned seed)
{
    randomState = seed;
}

int Rand()
{
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & RandMax);
}

std::time_t CurrentTime()
{
    return timeSource ? timeSource() : std::time(nullptr);
}

void SetTimeSource(std::time_t (*source)())
{
    timeSource = source;
}
