#pragma once
// The edit field of the screens: a small dialog that frames a background
// picture and a one-line IMTextEdit, hands its focus on to the edit, and
// scrolls the text sideways so that the caret stays inside the frame. The bar
// clips its children, so text outside it is not drawn.

#include "toolkit/IMTextEdit.h"

#include <string>

class IMEditBar : public IMDialogBase {
public:
    // Covers the whole screen until the screen sizes and places it.
    explicit IMEditBar(IMDialogBase* parent);

    // Places the frame, the background and the edit for the new size.
    void SetRect(const Rect& r) override;
    std::wstring GetText() const;
    // Replaces the text and puts the caret after its last character, in view.
    void SetText(const std::wstring& text);
    // Moves the edit so that the caret stands inside the bar: 3 pixels inside
    // the right edge after typing past it, 2 inside the left after moving back.
    long ScrollToCaret();

    // Children, in creation (drawing) order: the background, the edit and its
    // caret, then the frame.
    using Picture = IMStaticPictureBase<IMTextureView>;
    Picture* backPicture = nullptr;
    IMTextEdit* edit = nullptr;
    Picture* cornerTopLeft = nullptr;
    Picture* cornerTopRight = nullptr;
    Picture* cornerBottomLeft = nullptr;
    Picture* cornerBottomRight = nullptr;
    Picture* borderLeft = nullptr;
    Picture* borderTop = nullptr;
    Picture* borderRight = nullptr;
    Picture* borderBottom = nullptr;

private:
    void PlaceChildren(int width, int height);
    // The edit at least as wide as its text and the caret after it, so that
    // its own clipping never cuts a glyph the bar would show.
    void FitEditToText();
};
