// The exit panel (F12): the whole screen dimmed, a small box with Retry,
// Close and Cancel in the middle.

#include "app/App.h"
#include "app/IMWindow.h"
#include "platform/PlatformWindow.h"
#include "toolkit/IMPictures.h"

namespace {

constexpr int BoxWidth = 136;
constexpr int BoxHeight = 200;
constexpr std::uint32_t VeilColour = 0x4B000096;  // dark blue, about 29 % opaque
constexpr int PanelLayer = 1099;                  // above every screen

void AddFrame(IMDialogBase* box)
{
    const Rect lines[] = {{0, 0, 1, BoxHeight}, {0, 0, BoxWidth, 1}, {BoxWidth - 1, 0, BoxWidth, BoxHeight},
        {0, BoxHeight - 1, BoxWidth, BoxHeight}};
    for (const Rect& line : lines)
        box->CreatePicture(0, 0, L"EditBarKaretka", 0)->SetRect(line);
}

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
    auto* retry = box->CreateButton(10, 20, L"RetryButton", L"RetryButton", L"RetryButtonNuv", L"RetryButtonKlick", 0);
    auto* close = box->CreateButton(10, 80, L"CloseButton", L"CloseButton", L"CloseButtonNuv", L"CloseButtonKlick", 0);
    auto* cancel
        = box->CreateButton(10, 140, L"CancelButton", L"CancelButton", L"CancelButtonNuv", L"CancelButtonKlick", 0);
    AddFrame(box);
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

template <class T> long IMApp<T>::Restart()
{
    CloseExitPanel();
    if (!stepDialog)
        return 1;
    // Its closing writes the abandoned attempt's rows and builds a result screen.
    stepDialog->Close();
    if (!steps.empty())
        nextStep = steps.begin()->first;
    stepDialog = nullptr;
    ShowStartPopup();
    return 0;
}

template long IMApp<App>::OnWindowKeyDown(const IMKeyboardEvent&);
template long IMApp<App>::ShowExitPanel();
template long IMApp<App>::CloseExitPanel();
template long IMApp<App>::Restart();
