#pragma once
// A one-line text label that takes typed characters, Backspace, Delete and the
// arrow keys, and shows a blinking one-pixel caret. The caret is a picture
// beside the edit in the same parent (created right after it, so drawn above
// it) and follows every change that marks the edit dirty.
//
// Characters arrive as UTF-16 units (code 258); a character outside the Basic
// Multilingual Plane comes as two messages, which the edit joins into one
// character of its text.

#include "toolkit/IMPictures.h"

#include <memory>
#include <string>

class IMTextEdit : public IMStaticPictureBase<IMTextView> {
public:
    explicit IMTextEdit(IMDialogBase* parent);
    ~IMTextEdit() override;

    // Connected to the edit's own KeyMessage.
    virtual long OnKeyInput(const IMKeyboardEvent& e);
    // Clamps position to 0 .. number of glyphs and places the caret there.
    void SetCaret(int position);
    // Sizes the caret to the glyph before it and puts it at that glyph's right edge.
    long UpdateCaret();
    // The blink timer's slot: toggles the caret while the edit has the focus.
    long Blink();
    // Whether `caret` still exists: it may be deleted before the edit when their parent goes.
    bool CaretAlive() const { return caret && !caretLifetime.expired(); }

    int caretPos = 0;    // the caret stands before the glyph of this index; keys and SetCaret change it
    int blinkTimer = 0;  // the main window's 500 ms timer, 0 without a timer service
    IMStaticPictureBase<IMTextureView>* caret = nullptr;  // owned by the edit's parent; see CaretAlive

private:
    // What a character message adds to the text: its character, a joined
    // surrogate pair, or nothing (control characters, a lone surrogate half).
    std::wstring TypedText(const IMKeyboardEvent& e);
    // How many glyphs the character ending at (before) or starting at (at) `position` takes: two for a UTF-16 pair
    // where wchar_t is 16 bits wide (Windows), else one.
    int GlyphsBefore(int position) const;
    int GlyphsAt(int position) const;
    int SpaceHeight() const;

    std::weak_ptr<int> caretLifetime;  // expires when the caret is deleted
    wchar_t pendingHighSurrogate = 0;  // first half of a pair, waiting for the second
};
