#include "reporting/IMSaveAsDialog.h"

namespace {

constexpr int Width = 360;
constexpr int Height = 150;
constexpr std::uint32_t MessageColour = 0xFF072134;  // the screens' ink

}  // namespace

IMSaveAsDialog::IMSaveAsDialog(IMDialogBase* parent)
    : IMDialogBase(parent, nullptr, 0)
{
    SetRect({220, 225, 220 + Width, 225 + Height});
    auto* backdrop = CreatePicture(0, 0, L"DefaultBackGround", 0);
    backdrop->SetRect({0, 0, Width, Height});
    // A one-pixel frame: left, top, bottom, right.
    const Rect lines[]
        = {{0, 0, 1, Height}, {0, 0, Width, 1}, {0, Height - 1, Width, Height}, {Width - 1, 0, Width, Height}};
    for (const Rect& line : lines)
        CreatePicture(0, 0, L"EditBarKaretka", 0)->SetRect(line);
    editBar = new IMEditBar(this);
    editBar->SetRect({30, 28, 330, 48});
    ConnectFocusGained(Tracked<EventSlot>(this, [this](const IMEvent&) { return editBar->SetFocus(true); }));
    okButton = CreateButton(30, 79, L"SaveAsButton", L"SaveAsButton", L"SaveAsButtonNuv", L"SaveAsButtonKlick", 0);
    closeButton = CreateButton(221, 79, L"CloseButton", L"CloseButton", L"CloseButtonNuv", L"CloseButtonKlick", 0);
    closeButton->ConnectClicked(Tracked<MouseSlot>(this, [this](const IMMouseEvent&) { return Close(); }));
}

void IMSaveAsDialog::SetFileName(const std::wstring& name)
{
    editBar->SetText(name);
}

void IMSaveAsDialog::ShowSaveFailed()
{
    if (failure)
        return;
    failure = new IMStaticPictureBase<IMTextView>(this, 0);
    const std::uint32_t colour = MessageColour;
    const int size = 14;
    failure->SetStyle(&colour, nullptr, nullptr, nullptr, &size, nullptr, nullptr);
    failure->SetText(L"Не удалось сохранить файл");
    failure->SetRect(failure->GetSourceRect());
    failure->SetPosition(30, 54);
}
