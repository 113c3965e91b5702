#include "reporting/IMSaveAsDialog.h"

#include "toolkit/ScreenKit.h"

namespace {

constexpr int Width = 360;
constexpr int Height = 150;

}  // namespace

IMSaveAsDialog::IMSaveAsDialog(IMDialogBase* parent)
    : IMDialogBase(parent, nullptr, 0)
{
    SetRect({220, 225, 220 + Width, 225 + Height});
    auto* backdrop = CreatePicture(0, 0, L"DefaultBackGround", 0);
    backdrop->SetRect({0, 0, Width, Height});
    // The screens' backdrop squeezed this small distorts its staff and cuts its sheet's edge: the dialog's
    // own, drawn at this size, lies over it.
    CreateEmbeddedPicture(this, 0, 0, L"SaveAsBackGround", 0);
    CreateFrame(this, Width, Height);
    editBar = new IMEditBar(this);
    editBar->SetRect({30, 28, 330, 48});
    ConnectFocusGained(Tracked<EventSlot>(this, [this](const IMEvent&) { return editBar->SetFocus(true); }));
    okButton = CreateFamilyButton(this, 30, 79, L"SaveAsButton");
    closeButton = CreateFamilyButton(this, 221, 79, L"CloseButton");
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
    failure = CreateLabel(this, 30, 54, L"Не удалось сохранить файл", 14);
}
