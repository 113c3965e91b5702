#include "toolkit/IMTextEdit.h"

#include "platform/Utf8.h"
#include "toolkit/IMTimerService.h"

#include <algorithm>

namespace {

constexpr int BlinkMs = 500;
const wchar_t* const CaretPicture = L"EditBarKaretka";
const wchar_t* const SpaceKey = L"TempSpaceBar";

}  // namespace

IMTextEdit::IMTextEdit(IMDialogBase* parent)
    : IMStaticPictureBase(parent, 0)
{
    focusable = true;
    KeyMessage.connect(Tracked<KeySlot>(this, [this](const IMKeyboardEvent& e) { return OnKeyInput(e); }));

    if (parent) {
        caret = new IMStaticPictureBase<IMTextureView>(parent, 0);
        caret->SetPicture(CaretPicture);
        caret->Hide();
        caretLifetime = caret->LifetimeToken();
        auto* shown = caret;
        FocusGained.connect(Tracked<EventSlot>(shown, [shown](const IMEvent&) { return shown->Show(); }));
        FocusLost.connect(Tracked<EventSlot>(shown, [shown](const IMEvent&) { return shown->Hide(); }));
    }
    // Text, style, position and size changes all mark the edit dirty.
    Invalidated.connect(Tracked<EventSlot>(this, [this](const IMEvent&) { return UpdateCaret(); }));

    if (IMTimerService* timers = GetTimerService()) {
        blinkTimer = timers->AddTimer(BlinkMs);
        timers->ConnectTimer(blinkTimer, Tracked<EventSlot>(this, [this](const IMEvent&) { return Blink(); }));
    }
}

IMTextEdit::~IMTextEdit()
{
    // The timer would otherwise go on firing for nobody as long as the window lives.
    if (IMTimerService* timers = GetTimerService())
        timers->RemoveTimer(blinkTimer);
}

// ---------------------------------------------------------------------------
// Keys

std::wstring IMTextEdit::TypedText(const IMKeyboardEvent& e)
{
    const std::wstring text = e.GetText();
    const wchar_t pending = pendingHighSurrogate;
    pendingHighSurrogate = 0;
    if (text.empty())
        return {};
    const auto unit = static_cast<std::uint32_t>(text[0]);
    if (IsHighSurrogate(unit)) {
        pendingHighSurrogate = text[0];
        return {};
    }
    if (IsLowSurrogate(unit)) {
        if (pending == 0)
            return {};
        // One character of the text: a code point where wchar_t holds one (32 bits), the pair itself where
        // wchar_t is a UTF-16 unit (Windows).
        if constexpr (sizeof(wchar_t) == 2)
            return std::wstring {pending, text[0]};
        else
            return std::wstring(1, static_cast<wchar_t>(JoinSurrogates(static_cast<char32_t>(pending), unit)));
    }
    // Other control characters never come from a keyboard; they have no
    // picture and no place in a name or a file name.
    if (unit < 0x20 || unit == 0x7F)
        return {};
    return text;
}

namespace {

bool IsHalf(wchar_t c, bool high)
{
    const auto unit = static_cast<char32_t>(c);
    return high ? IsHighSurrogate(unit) : IsLowSurrogate(unit);
}

}  // namespace

int IMTextEdit::GlyphsBefore(int position) const
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (position >= 2 && IsHalf(GetGlyphChar(position - 1), false) && IsHalf(GetGlyphChar(position - 2), true))
            return 2;
    }
    return 1;
}

int IMTextEdit::GlyphsAt(int position) const
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (position + 1 < GlyphCount() && IsHalf(GetGlyphChar(position), true)
            && IsHalf(GetGlyphChar(position + 1), false))
            return 2;
    }
    return 1;
}

long IMTextEdit::OnKeyInput(const IMKeyboardEvent& e)
{
    caretPos = std::clamp(caretPos, 0, GlyphCount());
    if (e.IsMessage(EventCode::Char)) {
        if (e.wParam == VirtualKey::Back) {
            pendingHighSurrogate = 0;
            if (caretPos > 0) {
                // The caret steps back first: the erase re-places it, and it
                // must already stand inside the shorter text.
                const int length = GlyphsBefore(caretPos);
                const int at = caretPos - length;
                caretPos = at;
                EraseText(at, length);
                SetCaret(at);
            }
        } else {
            const std::wstring t = TypedText(e);
            if (!t.empty()) {
                InsertText(caretPos, t);
                SetCaret(caretPos + static_cast<int>(t.size()));
            }
        }
    } else if (e.IsMessage(EventCode::KeyDown)) {
        switch (e.wParam) {
        case VirtualKey::Left:
            if (CaretAlive())
                caret->Show();
            SetCaret(caretPos - GlyphsBefore(caretPos));
            break;
        case VirtualKey::Right:
            if (CaretAlive())
                caret->Show();
            SetCaret(caretPos + GlyphsAt(caretPos));
            break;
        case VirtualKey::Up:
        case VirtualKey::Down:
            // One line only: the caret stays, but shows at once like the other arrows.
            if (CaretAlive())
                caret->Show();
            break;
        case VirtualKey::Delete:
            if (caretPos < GlyphCount())
                EraseText(caretPos, GlyphsAt(caretPos));
            break;
        default:
            break;
        }
    }
    SetDirty(true);
    return 0;
}

// ---------------------------------------------------------------------------
// Caret

void IMTextEdit::SetCaret(int position)
{
    caretPos = std::clamp(position, 0, GlyphCount());
    UpdateCaret();
}

int IMTextEdit::SpaceHeight() const
{
    IMResourceManager* manager = GetResourceManager();
    if (!manager)
        return 0;
    // Asked under a key of its own and released at once: only its size is wanted.
    const TextureHandle space = manager->CreateGlyphTexture(
        SpaceKey, L' ', textColour, fontSize, fontFace, italic, bold, underline, backColour);
    const int height = manager->ImageRect(space).Height();
    manager->ReleaseTexture(space);
    return height;
}

long IMTextEdit::UpdateCaret()
{
    if (!CaretAlive())
        return 0;
    const int count = GlyphCount();
    // A text shortened by SetText takes the caret back with it.
    caretPos = std::min(caretPos, count);
    const int at = caretPos;
    int height;
    if (at > 0)
        height = GetGlyphRect(at - 1).Height();
    else if (count > 0)
        height = GetGlyphRect(0).Height();
    else
        height = SpaceHeight();
    caret->IMTextureView::SetSize(1, height);

    const Rect r = GetRect();
    const Rect before = at > 0 ? GetGlyphRect(at - 1) : Rect {};
    if (count > 0)
        caret->IMTextureView::SetPosition(r.left + before.right, r.top + before.top);
    else
        caret->IMTextureView::SetPosition(r.left, r.top);
    return 0;
}

long IMTextEdit::Blink()
{
    if (!focused || !CaretAlive())
        return 0;
    return caret->IsHidden() ? caret->Show() : caret->Hide();
}
