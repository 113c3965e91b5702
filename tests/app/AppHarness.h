#pragma once
// The real application object under the program harness: its own main window
// with the harness's hand-stepped audio and clock, a results workbook in a
// private folder when a test opens one, and readers of the saved rows.

#include "app/App.h"
#include "app/IMWindow.h"
#include "exercise/Game.h"
#include "reporting/StatisticsWorkbook.h"
#include "reporting/WorkbookFiles.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = GetApp(L"00917 Игра «Звонкары»", program.TakeAudioOutput());
        program.Attach(app->mainWindow);
    }
    void TearDown() override
    {
        program.Detach();
        ReleaseApp();
    }

    // A workbook for pupil in the private folder, as the start popup opens it.
    void OpenWorkbook(const std::wstring& pupil = L"Маша Иванова")
    {
        app->report = std::make_unique<StatisticsWorkbook>(folder.Wide(L"results.xls"), pupil);
        app->SetPupilName(pupil);
    }
    // The rows of the one worksheet of the saved workbook.
    std::vector<std::vector<std::string>> SavedRows()
    {
        const auto sheets = workbook_test::WorksheetsOf(workbook_test::ReadFile(folder.Utf8("results.xls")));
        return sheets.empty() ? std::vector<std::vector<std::string>> {} : sheets[0].rows;
    }
    std::vector<std::vector<std::string>> Rows()
    {
        if (!app->report)
            return {};
        app->report->Save(L"");
        return SavedRows();
    }
    // Closes the instruction with Esc: the step starts and the board is built.
    void StartStep()
    {
        app->StartExercise();
        program.Key(VirtualKey::Escape);
    }
    // The board's staff announces the solution, as playing it solved does.
    void Complete() { Emit(app->board->staff->Completed); }
    // Lets the praise clip play to its end.
    void PlayPraise() { program.Wait(3500, 50); }

    workbook_test::TemporaryFolder folder;
    ProgramHarness program;
    App* app = nullptr;
};
