// The start popup: what the program is, a scrollable description, the
// pupil's name, the three keys, Start and Exit.
//
// Index: the description area; the popup; starting.

#include "app/App.h"
#include "app/IMWindow.h"
#include "screens/ScreenText.h"
#include "toolkit/IMEditBar.h"
#include "toolkit/IMScroll.h"

namespace {

// ---------------------------------------------------------------------------
// The description area: a clip dialog, a panel inside it that the scroll bar
// moves up, the wrapped text in the panel.

constexpr Rect ClipArea {119, 187, 119 + 593, 187 + 236};

void CreateDescription(IMDialogBase* popup, const std::wstring& text)
{
    IMDialogBase* clip = popup->CreateDialog(ClipArea.left, ClipArea.top, ClipArea.Width(), ClipArea.Height(), 0);
    IMDialogBase* panel = clip->CreateDialog(0, 0, ClipArea.Width(), ClipArea.Height(), 0);
    auto* label = new IMLabel(panel, 0);
    const std::uint32_t colour = InkColour;
    const int size = 18;
    label->SetStyle(&colour, nullptr, nullptr, nullptr, &size, nullptr, nullptr);
    label->SetRect({0, 0, 593, 415});
    label->wrap = true;
    label->Layout(0);
    label->SetText(text);
    label->SetRect(label->GetSourceRect());
    const int height = label->GetSourceRect().Height();
    panel->SetRect({0, 0, 593, height == 0 ? 235 : height});

    const Rect barRect {712, 187, 726, 427};
    auto* bar = new IMScroll(popup, &barRect);
    if (height <= ClipArea.Height())
        bar->Hide();
    bar->maximum = panel->GetHeight();
    bar->minimum = 0;
    if (bar->position > bar->maximum - bar->page)
        bar->position = bar->maximum - bar->page;
    if (bar->position < 0)
        bar->position = 0;
    bar->UpdateLayout();
    const int visible = clip->GetRect().Height();
    if (bar->position > bar->maximum - visible)
        bar->position = bar->maximum - visible;
    bar->page = visible;
    bar->UpdateLayout();
    bar->ConnectScrolled(Tracked<IMScroll::ScrollSignal::slot_type>(panel, [panel](const IMEvent&, int p) {
        Rect r = panel->GetRect();
        r.top = -p;
        panel->SetRect(r);
        return 0L;
    }));
}

}  // namespace

// ---------------------------------------------------------------------------
// The popup

template <class T> long IMApp<T>::ShowStartPopup()
{
    auto* popup = new IMDialogBase(mainWindow.get(), nullptr, 0);
    CreateScreenHeader(popup);
    CreateLabel(popup, 30, 115, L"Номер ЦОР:", 18, true);
    CreateLabel(popup, 135, 115, catalogueNumber, 18);
    CreateLabel(popup, 30, 152, L"Название:", 18, true);
    CreateLabel(popup, 135, 152, title, 18);
    CreateLabel(popup, 30, 188, L"Описание:", 18, true);
    CreateDescription(popup, description);
    CreateLabel(popup, 30, 460, L"Ученик:", 18, true);
    auto* name = new IMEditBar(popup);
    name->SetRect({135, 460, 135 + 520, 460 + 20});
    name->SetFocus(true);
    auto* start = CreateFamilyButton(popup, 690, 450, L"StartPopStartButton");
    auto* exit = CreateExitButton(popup);
    CreateLabel(popup, 30, 520, L"Клавиши:", 18, true);
    popup->CreatePicture(135, 517, L"EscButton", 0);
    CreateLabel(popup, 180, 520, L"- пропустить инструкцию;", 16);
    popup->CreatePicture(350, 517, L"F1Button", 0);
    CreateLabel(popup, 395, 520, L"- повторить инструкцию;", 16);
    popup->CreatePicture(555, 517, L"F12Button", 0);
    CreateLabel(popup, 600, 520, L"- выход", 16);

    start->ConnectClicked(Tracked<MouseSlot>(popup, [this, name, popup](const IMMouseEvent&) {
        StartAttempt(name->GetText(), popup);
        return 0L;
    }));
    exit->ConnectClicked(Tracked<MouseSlot>(popup, [this](const IMMouseEvent&) { return mainWindow->Close(); }));
    popup->ConnectKeyMessage(
        Tracked<KeySlot>(popup, [this, name, popup](const IMKeyboardEvent& e) { return OnPopupKey(e, name, popup); }));
    return 0;
}

// ---------------------------------------------------------------------------
// Starting

template <class T> long IMApp<T>::OnPopupKey(const IMKeyboardEvent& e, IMEditBar* name, IMDialogBase* popup)
{
    // Every keyboard message reaching the popup comes here; the first 13 (the
    // Enter key or its character) starts, and the closed popup hears no more.
    if (e.wParam == VirtualKey::Return)
        StartAttempt(name->GetText(), popup);
    return 0;
}

template long IMApp<App>::ShowStartPopup();
template long IMApp<App>::OnPopupKey(const IMKeyboardEvent&, IMEditBar*, IMDialogBase*);
