#pragma once
// The praise's choice among its five words and clips.

// The index (0 to 4) that a draw r (0 to 32767) of the program's generator picks.
inline int PraiseIndex(int r)
{
    return static_cast<int>(r * 5.0 * (1.0 / 32768.0));
}
