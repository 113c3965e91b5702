#pragma once
// The top of the full screens: the backdrop and the two centred lines that
// the start popup and the result screen share.

#include "toolkit/ScreenKit.h"

// The backdrop stretched over a full-screen screen and the two centred lines at its top.
void CreateScreenHeader(IMDialogBase* screen);
