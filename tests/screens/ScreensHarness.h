#pragma once
// The application's screens under the program harness, with the results
// folder in a private folder through ZVONKARY_RESULTS_DIR.

#include "app/App.h"
#include "app/IMWindow.h"
#include "reporting/StatisticsWorkbook.h"
#include "reporting/WorkbookFiles.h"
#include "support/ProgramHarness.h"
#include "toolkit/IMEditBar.h"

#include <cstdlib>
#include <gtest/gtest.h>

class ScreensTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("ZVONKARY_RESULTS_DIR", folder.path.c_str(), 1);
        app = GetApp(L"00917 Игра «Звонкары»", program.TakeAudioOutput());
        program.Attach(app->mainWindow);
    }
    void TearDown() override
    {
        program.Detach();
        ReleaseApp();
        ::unsetenv("ZVONKARY_RESULTS_DIR");
    }

    // The screen opened last.
    IMDialogBase* TopScreen(int layer = 0)
    {
        IMDialogBase* top = nullptr;
        app->mainWindow->ForEachChild([&](IMControl* c) {
            if (auto* d = dynamic_cast<IMDialogBase*>(c); d && d->GetParent() && c == Last(layer))
                top = d;
        });
        return top;
    }
    IMControl* Last(int layer)
    {
        const auto& children = app->mainWindow->layers[layer];
        return children.empty() ? nullptr : children.back();
    }
    template <class C> C* Find(IMDialogBase* in)
    {
        C* found = nullptr;
        in->ForEachChild([&](IMControl* c) {
            if (!found)
                found = dynamic_cast<C*>(c);
        });
        return found;
    }
    // The results file the program writes by default.
    std::string DefaultFile() const { return folder.Utf8("00917 Игра «Звонкары».xls"); }
    std::vector<workbook_test::Worksheet> SavedSheets(const std::string& path)
    {
        return workbook_test::WorksheetsOf(workbook_test::ReadFile(path));
    }
    // Types name into the popup's field and presses Enter.
    void StartWithName(const std::wstring& name)
    {
        program.Type(name);
        program.Key(VirtualKey::Return);
    }

    workbook_test::TemporaryFolder folder;
    ProgramHarness program;
    App* app = nullptr;
};
