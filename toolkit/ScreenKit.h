#pragma once
// The pieces every screen and dialog of the program is built from: picture
// buttons named by their family, the Exit button, one-pixel frames, text in
// the ink colour, and pictures and sounds of the embedded media.

#include "toolkit/IMDialogBase.h"
#include "toolkit/IMPictures.h"

#include <cstdint>
#include <string>

using IMPicture = IMStaticPictureBase<IMTextureView>;
using IMLabel = IMStaticPictureBase<IMTextView>;

inline constexpr std::uint32_t InkColour = 0xFF072134;  // every text of the screens and dialogs

// A button of the picture family name: name itself when normal and disabled,
// name + "Nuv" when hovered, name + "Klick" when pressed.
IMButtonBase* CreateFamilyButton(IMDialogBase* parent, int x, int y, const std::wstring& family, int layer = 0);
// The Exit button of a full screen, top right, with its normal picture only.
IMButtonBase* CreateExitButton(IMDialogBase* parent);

// The four one-pixel lines of a frame along the inside edges of a box, in
// the skin's caret picture.
struct IMFrameLines {
    IMPicture* left;
    IMPicture* top;
    IMPicture* bottom;
    IMPicture* right;
};
// The lines in parent (layer 0), not placed yet; for a control that places them whenever it changes size.
IMFrameLines CreateFrameLines(IMDialogBase* parent);
// Puts the lines on the edges of a width by height box at (0, 0).
void PlaceFrameLines(const IMFrameLines& lines, int width, int height);
// A frame around the width by height box at (0, 0) of parent.
IMFrameLines CreateFrame(IMDialogBase* parent, int width, int height);

// A label in the default face and the ink colour at (x, y) in parent, sized to its text.
IMLabel* CreateLabel(IMDialogBase* parent, int x, int y, const std::wstring& text, int size, bool bold = false);
// A label centred across width at y: x = width / 2 - label width / 2, each half truncated.
IMLabel* CreateCentredLabel(
    IMDialogBase* parent, int width, int y, const std::wstring& text, int size, bool bold = false);

// A picture of the embedded media (not the skin) at its natural size at (x,
// y). The loading reference is given back at once, so the texture lives as
// long as the picture.
IMPicture* CreateEmbeddedPicture(
    IMDialogBase* parent, int x, int y, const std::wstring& name, int layer, std::uint32_t colour = 0xFFFFFFFF);
// A sound of the embedded media, registered under its name; 0 without a sound system.
std::uint32_t CreateEmbeddedSound(const std::wstring& name);
