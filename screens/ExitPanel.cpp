// The exit panel (F12): the whole screen dimmed, a small box with Retry,
// Close and Cancel in the middle.

#include "app/App.h"
#include "app/IMWindow.h"
#include "platform/PlatformWindow.h"
#include "toolkit/ScreenKit.h"

namespace {

constexpr int BoxWidth = 136;
constexpr int BoxHeight = 200;
constexpr std::uint32_t VeilColour = 0x4B000096;  // dark blue, about 29 % opaque
constexpr int PanelLayer = 1099;                  // above every screen

}  // namespace

template <class T> long IMApp<T>::OnWindowKeyDown(const IMKeyboardEvent& e)
{
    if (e.wParam == VirtualKey::F12)
        ShowExitPanel();
    return 0;
}

template <class T> long IMApp<T>::ShowExitPanel()
{
    if (exitPanel)
        return 0;
    ShowCursor(true);
    exitPanel = mainWindow->CreateDialog(0, 0, BackBufferWidth, BackBufferHeight, PanelLayer);
    // The veil dims everything and catches the mouse everywhere.
    auto* veil = exitPanel->CreatePicture(0, 0, L"EditBarKaretka", 0);
    veil->SetRect({0, 0, BackBufferWidth, BackBufferHeight});
    veil->colour = VeilColour;
    veil->SetDirty(true);
    IMDialogBase* box = exitPanel->CreateDialog(0, 0, BackBufferWidth, BackBufferHeight, 1);
    const int left = (BackBufferWidth - BoxWidth) / 2;
    const int top = (BackBufferHeight - BoxHeight) / 2;
    box->SetRect({left, top, left + BoxWidth, top + BoxHeight});
    // The backdrop squeezed to 136 x 400, its middle part showing.
    box->CreatePicture(0, 0, L"DefaultBackGround", 0, 0xFFFFFFFF)->SetRect({0, -100, BoxWidth, 300});
    auto* retry = CreateFamilyButton(box, 10, 20, L"RetryButton");
    auto* close = CreateFamilyButton(box, 10, 80, L"CloseButton");
    auto* cancel = CreateFamilyButton(box, 10, 140, L"CancelButton");
    CreateFrame(box, BoxWidth, BoxHeight);
    retry->ConnectClicked(Tracked<MouseSlot>(retry, [this](const IMMouseEvent&) { return Restart(); }));
    close->ConnectClicked(Tracked<MouseSlot>(close, [this](const IMMouseEvent&) { return mainWindow->Close(); }));
    cancel->ConnectClicked(Tracked<MouseSlot>(cancel, [this](const IMMouseEvent&) { return CloseExitPanel(); }));
    return 0;
}

template <class T> long IMApp<T>::CloseExitPanel()
{
    if (exitPanel) {
        exitPanel->Hide();
        exitPanel->Close();
    }
    exitPanel = nullptr;
    return 0;
}

template long IMApp<App>::OnWindowKeyDown(const IMKeyboardEvent&);
template long IMApp<App>::ShowExitPanel();
template long IMApp<App>::CloseExitPanel();
