// The results workbook of the attempt: opened for the pupil in the results
// folder, saved there when the program ends, saved elsewhere on request. The
// slow part of saving (another program's lock, the journals that runs left
// behind) is done by the results' worker thread, never by the screen's.

#include "app/App.h"
#include "app/IMWindow.h"
#include "platform/DebugOutput.h"
#include "platform/PlatformWindow.h"
#include "platform/ResultsFolder.h"
#include "platform/Utf8.h"
#include "platform/Warning.h"
#include "reporting/IMSaveAsDialog.h"
#include "reporting/IMSelectPrinterDialog.h"
#include "reporting/JournalReplay.h"
#include "reporting/PrintListing.h"
#include "reporting/ResultsWorker.h"
#include "reporting/StatisticsWorkbook.h"

namespace {

ResultsWorker& WorkerOf(std::unique_ptr<ResultsWorker>& worker)
{
    if (!worker)
        worker = std::make_unique<ResultsWorker>();
    return *worker;
}

void PostReplay(ResultsWorker& worker, const std::string& folder)
{
    if (!folder.empty())
        worker.Post([folder] { ReplayJournals(folder); });
}

// Says where the rows of `book` went when its last save did not reach its own file.
std::wstring SaveNotice(const StatisticsWorkbook& book, bool saved)
{
    if (!book.SavedBesidePath().empty())
        return L"Файл результатов занят другой программой или закрыт для этой учётной записи. Результаты сохранены в "
               L"файл «"
            + book.SavedBesidePath() + L"».";
    if (!saved)
        return L"Результаты не удалось сохранить в файл «" + book.FileName()
            + L"». Они записаны в журнал рядом с ним и будут добавлены в файл при следующем запуске.";
    return {};
}

}  // namespace

template <class T> void IMApp<T>::OpenReport(const std::wstring& name)
{
    if (name.empty())
        return;
    ResultsWorker& worker = WorkerOf(resultsWorker);
    // The previous pupil's rows reach the disk before their workbook goes, on the worker: another program's lock
    // must not hold up the next pupil.
    if (report) {
        std::shared_ptr<StatisticsWorkbook> previous(std::move(report));
        worker.Post([previous, &worker] {
            const auto outcome = previous->SaveMerging();
            const std::wstring notice = SaveNotice(*previous, outcome == StatisticsWorkbook::SaveOutcome::Merged);
            if (!notice.empty())
                worker.SetNotice(notice);
        });
    }
    const ResultsLocation located = LocateResultsFolder();
    resultsFolderNotice.clear();
    if (!located.intended.empty() && !located.folder.empty())
        resultsFolderNotice = L"Папка результатов «" + FromUtf8(located.intended)
            + L"» недоступна. Результаты сохраняются в папку «" + FromUtf8(located.folder) + L"».";
    else if (!located.intended.empty())
        resultsFolderNotice = L"Папка результатов «" + FromUtf8(located.intended)
            + L"» недоступна. Результаты не будут сохранены: распечатайте их или сохраните кнопкой «Сохранить как».";
    PostReplay(worker, located.folder);
    // Without a results folder the workbook lives in memory: never in whatever folder the program was started from.
    const std::wstring file
        = located.folder.empty() ? std::wstring() : FromUtf8(located.folder) + windowTitle + L".xls";
    report = std::make_unique<StatisticsWorkbook>(file, name);
    // Every row is on the disk from the moment it is written.
    report->KeepJournal();
}

template <class T> void IMApp<T>::RecoverResults()
{
    PostReplay(WorkerOf(resultsWorker), FindResultsFolder());
}

template <class T> void IMApp<T>::WaitForResults()
{
    if (resultsWorker)
        resultsWorker->Wait();
}

template <class T> long IMApp<T>::SaveReport()
{
    // The program is on its way out: the window goes first, so that waiting for another program's lock never looks
    // like a frozen screen.
    if (mainWindow && mainWindow->Platform())
        mainWindow->Platform()->Hide();
    // The earlier pupils' saves first, so the workbook keeps the pupils in the order they came.
    WaitForResults();
    if (!report)
        return 0;
    const bool saved = report->Save(L"");
    // Said on the way out, when the window is gone: one line in plain Russian, and by the caller in a window of its
    // own.
    exitNotice = SaveNotice(*report, saved && report->SavedBesidePath().empty());
    if (!exitNotice.empty())
        OutputWarning(ToUtf8(exitNotice));
    return 0;
}

template <class T> std::wstring IMApp<T>::ResultsNotice() const
{
    std::wstring notice = resultsFolderNotice;
    const auto add = [&notice](const std::wstring& text) {
        if (!text.empty())
            notice += (notice.empty() ? L"" : L" ") + text;
    };
    if (report && report->JournalFailed())
        add(L"Результаты не удалось записать на диск (нет места или нет доступа). Они будут сохранены при выходе, "
            L"если это станет возможно.");
    if (report)
        add(SaveNotice(*report, true));
    if (resultsWorker)
        add(resultsWorker->Notice());
    return notice;
}

template <class T> bool IMApp<T>::SaveReportAs(const std::wstring& path)
{
    // Not behind the worker: the pupil is waiting, and a save into the workbook's own file takes its lock anyway.
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
template void IMApp<App>::WaitForResults();
template long IMApp<App>::SaveReport();
template std::wstring IMApp<App>::ResultsNotice() const;
template bool IMApp<App>::SaveReportAs(const std::wstring&);
template long IMApp<App>::OnSaveAsClicked();
template long IMApp<App>::OnPrintClicked();
template long IMApp<App>::PrintReport(const std::wstring&);
