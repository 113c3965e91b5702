#pragma once
// The printer selection dialog of the result screen: a framed 360 by 250 panel with the prompt "Выберите принтер:",
// the list of the printers CUPS offers (in its order, the default one selected when it is among them by its exact
// name), a Print button and a Close button. Like every dialog of the program it is not modal. What Print does is
// connected by whoever opens the dialog (OpenPrinterSelection does it as the result screen needs).

#include "toolkit/IMDialogBase.h"
#include "toolkit/IMList.h"
#include "toolkit/IMPictures.h"

#include <functional>
#include <string>

class IMSelectPrinterDialog : public IMDialogBase {
public:
    // Builds the dialog under parent and lists the printers; a server that is not there lists none.
    explicit IMSelectPrinterDialog(IMDialogBase* parent);

    // The printer a Print press prints on: the selected item's text, or empty when nothing is selected.
    std::wstring SelectedPrinter() const;

    IMButtonBase* okButton = nullptr;     // Print; its Clicked is connected by the opener
    IMButtonBase* closeButton = nullptr;  // closes the dialog
    IMList* printerList = nullptr;        // one text item per printer

private:
    void FillPrinterList();
};

// The result screen's Print handler: opens the dialog under `parent` and connects its Print button to, in this
// order, print(the selected printer, empty for none) and closing the dialog. `print` is what App::PrintReport does.
IMSelectPrinterDialog* OpenPrinterSelection(IMDialogBase* parent, std::function<long(const std::wstring&)> print);
