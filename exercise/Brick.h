#pragma once
// One brick of the exercise: a picture on the board and the piece of music it
// carries.

#include "toolkit/IMPictures.h"

#include <cstdint>
#include <string>

struct Brick {
    std::wstring soundName;                                 // decimal resource number of the sound, "137"
    IMStaticPictureBase<IMTextureView>* picture = nullptr;  // a child of the board, not owned
    std::uint32_t sound = 0;                                // from soundName; 0 without audio
    int grabX = 0;                                          // grab point from the picture's corner, per pick-up
    int grabY = 0;
    int homeX = 0;  // its place in the bank
    int homeY = 0;
    bool dragging = false;  // held by the pupil
};
