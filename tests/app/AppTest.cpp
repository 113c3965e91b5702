// The application object: start-up, the step registry, the credits panel,
// an attempt's statistics rows, the praise and the ways out of the program.

#include "data/EmbeddedData.h"
#include "platform/Messages.h"
#include "platform/PlatformWindow.h"
#include "platform/Random.h"
#include "screens/Praise.h"
#include "support/AppFixture.h"

#include <SDL.h>

namespace {

std::time_t clockSeconds = 0;
std::time_t ClockSeconds()
{
    return clockSeconds;
}

// Seconds since 1970 of a local date and time.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

}  // namespace

TEST_F(AppTest, StartUpRegistersTheExerciseAndSeedsTheGenerator)
{
    EXPECT_EQ(app->steps.size(), 1u);
    EXPECT_EQ(app->steps.count(L"Dialog1"), 1u);
    EXPECT_EQ(app->nextStep, L"Dialog1");
    EXPECT_EQ(app->windowTitle, L"00917 Игра «Звонкары»");
    EXPECT_EQ(app->catalogueNumber, L"00917");
    EXPECT_EQ(app->title, L"Игра «Звонкары»");
    EXPECT_EQ(app->description.size(), 829u);
    // Seeded with the calendar time: the same draws as a fresh seed of it.
    const int first = Rand(), second = Rand();
    Srand(static_cast<unsigned>(ProgramHarness::FixedTime()));
    EXPECT_EQ(Rand(), first);
    EXPECT_EQ(Rand(), second);
    // A second caller gets the same object and keeps it alive.
    EXPECT_EQ(GetApp(L"other"), app);
    ReleaseApp();
    EXPECT_EQ(FindApp(), app);
}

TEST_F(AppTest, StepRegistryKeepsFirstBuildersAndKnownNames)
{
    int builds = 0;
    app->RegisterStep(L"Dialog1", [&](IMDialogBase*) { ++builds; });
    app->RegisterStep(L"", [&](IMDialogBase*) { ++builds; });
    EXPECT_EQ(app->steps.size(), 1u) << "an empty name registers nothing";
    app->SetNextStep(L"Dialog9");
    EXPECT_EQ(app->nextStep, L"Dialog1") << "an unknown name leaves the next step";
    app->RegisterStep(L"Dialog2", [&](IMDialogBase*) { ++builds; });
    EXPECT_EQ(app->nextStep, L"Dialog1") << "only the first step registered becomes next";
    app->SetNextStep(L"Dialog2");
    EXPECT_EQ(app->nextStep, L"Dialog2");
    app->SetNextStep(L"Dialog1");
    // The first builder of "Dialog1" is kept: running it builds a board.
    StartStep();
    EXPECT_EQ(builds, 0);
    ASSERT_NE(app->board, nullptr);
    EXPECT_EQ(app->board->bricks.size(), 14u);
    EXPECT_EQ(app->nextStep, L"Dialog2") << "the step after it in name order";
}

TEST_F(AppTest, CreditsPanelOpensOnceWithControlIAndRestoresTheCursor)
{
    const int before = ShowCursor(true) - 1;
    ShowCursor(false);
    // I without Control does nothing.
    program.Key(VirtualKey::KeyI);
    EXPECT_FALSE(IsCreditsOpen());
    SDL_SetModState(KMOD_LCTRL);
    program.Key(VirtualKey::KeyI);
    EXPECT_TRUE(IsCreditsOpen());
    EXPECT_GE(ShowCursor(true) - 1, 0) << "the cursor shows over the panel";
    ShowCursor(false);
    const std::size_t screens = app->mainWindow->layers[9999].size();
    program.Key(VirtualKey::KeyI);
    EXPECT_EQ(app->mainWindow->layers[9999].size(), screens) << "a second Ctrl+I opens nothing";
    SDL_SetModState(KMOD_NONE);
    EXPECT_TRUE(program.Screenshot("credits.png"));
    ClickOn(Places::Exit);
    program.Turn();
    EXPECT_FALSE(IsCreditsOpen());
    EXPECT_EQ(ShowCursor(true) - 1, before) << "the display count is back where it was";
    ShowCursor(false);
}

TEST_F(AppTest, AttemptWritesItsFourRowsWithTheirTexts)
{
    OpenWorkbook();
    clockSeconds = LocalTime(2026, 3, 5, 14, 7, 0);
    SetTimeSource(ClockSeconds);
    StartStep();
    ASSERT_NE(app->stepDialog, nullptr);
    EXPECT_TRUE(app->stepDialog->HasFocus());
    // Three repetitions, each closed again by a key.
    for (int i = 0; i < 3; ++i) {
        program.Key(VirtualKey::F1);
        program.Key(VirtualKey::KeyA);
    }
    clockSeconds += 95;
    Complete();
    PlayPraise();
    EXPECT_EQ(app->stepDialog, nullptr) << "the praise closed the step";
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string> {"Время начала работы с упражнением", "05-March-2026 14:07"}));
    EXPECT_EQ(rows[1], (std::vector<std::string> {"Количество дополнительных вызовов инструкций", "3"}));
    EXPECT_EQ(rows[2], (std::vector<std::string> {"Общее время работы с упражнением. с.", "95"}));
    EXPECT_TRUE(rows[3].empty());
    const std::string file = workbook_test::ReadFile(folder.Utf8("results.xls"));
    EXPECT_NE(file.find("<Data ss:Type=\"Number\">3</Data>"), std::string::npos);
    EXPECT_NE(file.find("<Data ss:Type=\"Number\">95</Data>"), std::string::npos);
    EXPECT_NE(file.find("<Data ss:Type=\"String\">05-March-2026 14:07</Data>"), std::string::npos);
}

TEST_F(AppTest, TimeAcrossMidnightCountsFromTheStepStart)
{
    OpenWorkbook();
    SetTimeSource(ClockSeconds);
    clockSeconds = LocalTime(2026, 12, 31, 23, 50, 0);
    app->StartExercise();
    clockSeconds = LocalTime(2026, 12, 31, 23, 59, 30);  // the instruction's time is not counted
    program.Key(VirtualKey::Escape);
    clockSeconds = LocalTime(2027, 1, 1, 0, 1, 10);
    Complete();
    PlayPraise();
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][1], "31-December-2026 23:59");
    EXPECT_EQ(rows[2][1], "100");
}

TEST_F(AppTest, WithoutANameNoRowsAreWrittenAnywhere)
{
    StartStep();
    Complete();
    PlayPraise();
    EXPECT_EQ(app->stepDialog, nullptr);
    EXPECT_TRUE(folder.Listing().empty());
}

TEST_F(AppTest, TwoAttemptsWriteTheirRowsInOrder)
{
    OpenWorkbook();
    StartStep();
    Complete();
    PlayPraise();
    // Enter on the result screen: the step again, without an instruction.
    app->SetNextStep(L"Dialog1");
    app->NextStep();
    Complete();
    PlayPraise();
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 8u);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(rows[attempt * 4][0], "Время начала работы с упражнением");
        EXPECT_EQ(rows[attempt * 4 + 1][0], "Количество дополнительных вызовов инструкций");
        EXPECT_EQ(rows[attempt * 4 + 2][0], "Общее время работы с упражнением. с.");
        EXPECT_TRUE(rows[attempt * 4 + 3].empty());
    }
}

TEST(PraiseChoice, DrawsMapOntoTheFiveWords)
{
    const struct {
        int draw;
        int index;
    } cases[] = {{0, 0}, {6553, 0}, {6554, 1}, {16384, 2}, {26214, 3}, {26215, 4}, {32767, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(PraiseIndex(c.draw), c.index) << c.draw;
}

TEST_F(AppTest, PraiseSpeaksOneWordShowsTheCloudAndEndsTheStep)
{
    OpenWorkbook();
    StartStep();
    const std::uint32_t cloudBefore = program.Pixel(137 + 60, 100 + 30);
    Complete();
    program.Turn();
    // Exactly one of the five words started.
    int spoken = 0;
    for (const wchar_t* word : {L"bravo_sound", L"gotovo_sound", L"molodec_sound", L"otlichno_sound", L"ura_sound"}) {
        const auto bytes = FindEmbedded(std::wstring_view(word));
        spoken += program.Started(GetSoundSystem()->CreateSoundFromMemory(word, bytes.data(), bytes.size()));
    }
    EXPECT_EQ(spoken, 1);
    EXPECT_TRUE(app->mainWindow->NeedsEveryTurn()) << "the loop keeps turning while the clip plays";
    EXPECT_NE(program.Pixel(137 + 60, 100 + 30), cloudBefore) << "the cloud is drawn over the board";
    program.Wait(1000, 50);
    EXPECT_TRUE(program.Screenshot("praise.png"));
    ASSERT_NE(app->stepDialog, nullptr) << "the step lasts while the clip plays";
    PlayPraise();
    EXPECT_EQ(app->stepDialog, nullptr);
    EXPECT_FALSE(app->mainWindow->NeedsEveryTurn()) << "and may sleep again once it has ended";
    EXPECT_EQ(Rows().size(), 4u);
}

TEST_F(AppTest, PraiseWithoutAStepClosesNothing)
{
    OpenWorkbook();
    const std::size_t screens = app->mainWindow->layers[0].size();
    app->ShowPraiseAt(137, 100);
    PlayPraise();
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(app->mainWindow->layers[0].size(), screens + 1) << "only the praise dialog was added";
}

TEST_F(AppTest, CloseRequestSavesTheOpenWorkbook)
{
    OpenWorkbook();
    StartStep();
    ASSERT_TRUE(folder.Listing().empty()) << "nothing is written before the end";
    app->mainWindow->WindowProc({WindowMessage::Close, 0, 0});
    program.Pump();
    EXPECT_TRUE(program.quit);
    const auto rows = SavedRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "Время начала работы с упражнением");
}

TEST_F(AppTest, PlayingOnlyTheUpperShelfSolvedNeverLeadsToPraise)
{
    OpenWorkbook();
    StartStep();
    const int slots[4] = {116, 191, 265, 341};
    const wchar_t* sounds[4] = {L"137", L"138", L"139", L"140"};
    for (int i = 0; i < 4; ++i)
        for (auto& brick : app->board->bricks)
            if (brick->soundName == sounds[i]) {
                const Point p = brick->picture->GetPosition();
                program.Drag({p.x + 6, p.y + 6}, {slots[i] + 6, 106 + 6});
            }
    const std::size_t screens = app->mainWindow->layers[0].size();
    program.Click(423, 56);  // the staff's play button
    program.Wait(32000, 100);
    EXPECT_EQ(app->mainWindow->layers[0].size(), screens) << "no praise dialog";
    EXPECT_NE(app->stepDialog, nullptr) << "the step goes on";
    EXPECT_EQ(Rows().size(), 1u);
}
