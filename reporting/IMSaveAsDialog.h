#pragma once
// The save-as dialog: a small framed box in the middle of the screen with an
// edit bar holding the path, a Save-as and a Close button. Whoever opens it
// connects the Save-as button; a failed save shows a short message in the box
// and leaves it open.

#include "toolkit/IMDialogBase.h"
#include "toolkit/IMEditBar.h"
#include "toolkit/IMPictures.h"

#include <string>

class IMSaveAsDialog : public IMDialogBase {
public:
    explicit IMSaveAsDialog(IMDialogBase* parent);

    // Puts name into the edit bar, the caret after its last character.
    void SetFileName(const std::wstring& name);
    std::wstring GetFileName() const { return editBar->GetText(); }
    // Shows «Не удалось сохранить файл» under the edit bar.
    void ShowSaveFailed();

    IMButtonBase* okButton = nullptr;     // Save as; connected by the opener
    IMButtonBase* closeButton = nullptr;  // closes the dialog
    IMEditBar* editBar = nullptr;         // the path

private:
    IMStaticPictureBase<IMTextView>* failure = nullptr;  // the message, once shown
};
