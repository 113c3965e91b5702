// The instruction: the video with its spoken commentary, then the keyboard,
// the mouse and a blinking Space key while the closing phrase asks for Space.
// F1 repeats it over any screen; every repetition is counted.

#include "app/App.h"
#include "app/IMWindow.h"
#include "data/EmbeddedData.h"
#include "media/video/IMAnimationBase.h"
#include "toolkit/IMServices.h"
#include "toolkit/ScreenKit.h"

namespace {

using Clip = IMAnimationBase<IMTheoraView>;
constexpr int KeysLayer = 1000;  // the closing pictures lie over the video's last frame

// Stops sound when dialog starts closing.
void StopOnClosing(IMDialogBase* dialog, std::uint32_t sound)
{
    dialog->ConnectClosing(Tracked<EventSlot>(dialog, [sound](const IMEvent&) {
        StopSound(sound);
        return 0L;
    }));
}

// The pictures of the keys, over the video.
IMPicture* ShowKeyPicture(IMDialogBase* dialog, const wchar_t* name, int x, int y)
{
    return CreateEmbeddedPicture(dialog, x, y, name, KeysLayer);
}

// The Space key changes between shown and hidden every 500 ms, on a one-shot
// timer that each tick replaces, until the picture is gone.
void BlinkEvery500Ms(IMPicture* key)
{
    const int timer = AddTimer(500);
    ConnectTimer(timer, key, [key, timer](const IMEvent&) {
        RemoveTimer(timer);
        if (key->IsHidden())
            key->Show();
        else
            key->Hide();
        BlinkEvery500Ms(key);
        return 0L;
    });
}

}  // namespace

void App::ShowInstruction(IMDialogBase* dialog)
{
    const std::uint32_t commentary = CreateSound(L"153");
    ConnectSoundEnded(commentary, dialog, [this, dialog](std::uint32_t) { return OnInstructionSoundEnd(dialog); });
    StopOnClosing(dialog, commentary);
    PlaySound(commentary);
    auto* clip = new Clip(dialog, 0);
    // Without its video the instruction goes on with the commentary alone.
    const auto video = FindEmbedded(std::string_view("149"));
    if (!video.empty())
        clip->OpenVideo(video.data(), video.size());
    clip->framePeriod = 2400;  // 25 frames a second
    clip->SetRect(dialog->GetRect());
    clip->SetPosition(0, 0);
    clip->Start();
    // The video's frames and decoder go before the next screen is built, not after it.
    dialog->ConnectClosingFirst(Tracked<EventSlot>(clip, [clip](const IMEvent&) {
        clip->Finish();
        clip->CloseVideo();
        return 0L;
    }));
}

long App::OnInstructionSoundEnd(IMDialogBase* dialog)
{
    // Closing stops the commentary, whose end notification may still arrive
    // before the closed screen is deleted: nothing starts for such a screen.
    if (dialog->IsClosed())
        return 0;
    if (GetSoundSystem()) {
        const std::uint32_t phrase = CreateEmbeddedSound(L"ENDHELPSOUND");
        StopOnClosing(dialog, phrase);
        PlaySound(phrase);
    }
    ShowKeyPicture(dialog, L"KEYBOARDPIC", 107, 347);
    ShowKeyPicture(dialog, L"MOUSE", 500, 209);
    BlinkEvery500Ms(ShowKeyPicture(dialog, L"KEYSPACE", 237, 502));
    mainWindow->ConnectKeyDown(Tracked<KeySlot>(dialog, [this, dialog](const IMKeyboardEvent& e) {
        if (e.wParam == VirtualKey::Space)
            CloseInstruction(dialog);
        return 0L;
    }));
    return 0;
}

template <class T> long IMApp<T>::OnRepeatInstructionKey(const IMKeyboardEvent& e)
{
    // The closer of the last repetition was blocked for the F1 press that
    // opened it; from the next press on it closes the repetition.
    if (repeatCloserBlock)
        repeatCloserBlock.reset();
    if (instructionActive || e.wParam != VirtualKey::F1)
        return 0;
    ++extraInstructionCalls;
    auto* repetition = new IMDialogBase(mainWindow.get(), nullptr, 0);
    repeatCloser.disconnect();
    repeatCloser = mainWindow->ConnectKeyDown(Tracked<KeySlot>(
        repetition, [this, repetition](const IMKeyboardEvent&) { return CloseInstruction(repetition); }));
    repeatCloserBlock = std::make_unique<IMConnectionBlock>(repeatCloser);
    instructionActive = true;
    ShowInstruction(repetition);
    return 0;
}

template long IMApp<App>::OnRepeatInstructionKey(const IMKeyboardEvent&);
