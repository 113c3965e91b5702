#pragma once
// The screens' text labels: the default face in the ink colour, placed by
// their top-left corner (or centred across a width), sized to their text.

#include "toolkit/IMDialogBase.h"
#include "toolkit/IMPictures.h"

#include <cstdint>
#include <string>

using IMLabel = IMStaticPictureBase<IMTextView>;

inline constexpr std::uint32_t InkColour = 0xFF072134;  // every text of the screens

// The backdrop stretched over a full-screen screen and the two centred lines
// at its top that the start popup and the result screen share.
void CreateScreenHeader(IMDialogBase* screen);
// A label at (x, y) in parent.
IMLabel* CreateLabel(IMDialogBase* parent, int x, int y, const std::wstring& text, int size, bool bold = false);
// A label centred across width at y: x = width / 2 - label width / 2, each half truncated.
IMLabel* CreateCentredLabel(
    IMDialogBase* parent, int width, int y, const std::wstring& text, int size, bool bold = false);
