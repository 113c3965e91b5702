#include "reporting/IMSelectPrinterDialog.h"

#include "platform/Printers.h"
#include "platform/Utf8.h"
#include "toolkit/ScreenKit.h"

namespace {

constexpr Rect DialogRect {220, 125, 580, 375};
constexpr int Width = 360;
constexpr int Height = 250;
constexpr Rect ListRect {30, 58, 330, 158};
constexpr std::uint32_t Black = 0xFF000000;

}  // namespace

IMSelectPrinterDialog::IMSelectPrinterDialog(IMDialogBase* parent)
    : IMDialogBase(parent, &DialogRect, 0)
{
    CreatePicture(0, 0, L"DefaultBackGround", 0)->SetRect({0, 0, Width, Height});
    // The screens' backdrop squeezed this small distorts its staff and cuts its sheet's edge: the dialog's
    // own, drawn at this size, lies over it.
    CreateEmbeddedPicture(this, 0, 0, L"PrinterBackGround", 0);
    CreateFrame(this, Width, Height);

    IMStaticPictureBase<IMTextView>* prompt = CreateText(30, 38, L"Выберите принтер:", 0);
    prompt->SetStyle(&Black, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);

    printerList = new IMList(this);
    printerList->SetRect(ListRect);
    FillPrinterList();

    okButton = CreateFamilyButton(this, 30, 179, L"PrintButton");
    closeButton = CreateFamilyButton(this, 221, 179, L"CloseButton");
    closeButton->ConnectClicked(Tracked<MouseSlot>(this, [this](const IMMouseEvent&) { return Close(); }));
}

void IMSelectPrinterDialog::FillPrinterList()
{
    const PrinterList printers = ListPrinters();
    for (const std::string& name : printers.names) {
        IMList::Item* item = printerList->AddItem(FromUtf8(name));
        if (!printers.defaultName.empty() && name == printers.defaultName)
            printerList->Select(item);
    }
}

std::wstring IMSelectPrinterDialog::SelectedPrinter() const
{
    return printerList && printerList->selected ? printerList->selected->GetText() : std::wstring();
}

IMSelectPrinterDialog* OpenPrinterSelection(IMDialogBase* parent, std::function<long(const std::wstring&)> print)
{
    auto* dialog = new IMSelectPrinterDialog(parent);
    dialog->okButton->ConnectClicked(
        Tracked<MouseSlot>(dialog, [dialog, print = std::move(print)](const IMMouseEvent&) {
            return print ? print(dialog->SelectedPrinter()) : 0L;
        }));
    dialog->okButton->ConnectClicked(
        Tracked<MouseSlot>(dialog, [dialog](const IMMouseEvent&) { return dialog->Close(); }));
    return dialog;
}
