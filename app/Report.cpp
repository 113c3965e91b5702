// The results workbook of the attempt: opened for the pupil in the results
// folder, saved there when the program ends, saved elsewhere on request.

#include "app/App.h"
#include "app/IMWindow.h"
#include "platform/DebugOutput.h"
#include "platform/ResultsFolder.h"
#include "platform/Utf8.h"
#include "reporting/IMSaveAsDialog.h"
#include "reporting/IMSelectPrinterDialog.h"
#include "reporting/JournalReplay.h"
#include "reporting/PrintListing.h"
#include "reporting/StatisticsWorkbook.h"

template <class T> void IMApp<T>::OpenReport(const std::wstring& name)
{
    if (name.empty())
        return;
    // The previous pupil's rows reach the disk before their workbook goes.
    SaveReport();
    report.reset();
    RecoverResults();
    report = std::make_unique<StatisticsWorkbook>(FromUtf8(FindResultsFolder()) + windowTitle + L".xls", name);
    // Every row is on the disk from the moment it is written.
    report->KeepJournal();
}

template <class T> void IMApp<T>::RecoverResults()
{
    ReplayJournals(FindResultsFolder());
}

template <class T> bool IMApp<T>::SaveReportAs(const std::wstring& path)
{
    return report && report->Save(path);
}

template <class T> long IMApp<T>::OnSaveAsClicked()
{
    if (!report)
        return 0;
    auto* dialog = new IMSaveAsDialog(mainWindow.get());
    dialog->SetFileName(report->FileName());
    dialog->SetFocus(true);
    dialog->okButton->ConnectClicked(Tracked<MouseSlot>(dialog, [this, dialog](const IMMouseEvent&) {
        // A failed save keeps the dialog open and says so, so that nobody
        // believes in a file that is not there.
        if (SaveReportAs(dialog->GetFileName()))
            dialog->Close();
        else
            dialog->ShowSaveFailed();
        return 0L;
    }));
    return 0;
}

template <class T> long IMApp<T>::OnPrintClicked()
{
    if (report)
        OpenPrinterSelection(mainWindow.get(), [this](const std::wstring& printer) { return PrintReport(printer); });
    return 0;
}

template <class T> long IMApp<T>::PrintReport(const std::wstring& printer)
{
    // The job is handed over on its own thread; the screen goes on meanwhile.
    if (report)
        report->Print(printer, MakeReportHeader(title, catalogueNumber, pupilName));
    return 0;
}

template void IMApp<App>::OpenReport(const std::wstring&);
template void IMApp<App>::RecoverResults();
template bool IMApp<App>::SaveReportAs(const std::wstring&);
template long IMApp<App>::OnSaveAsClicked();
template long IMApp<App>::OnPrintClicked();
template long IMApp<App>::PrintReport(const std::wstring&);
