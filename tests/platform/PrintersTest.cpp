// The CUPS side of printing, against a private scheduler whose queues print into PDF files: the destinations in
// CUPS's order with the default one, the printable area of A4, jobs handed over with their name, and the print job
// that does all of it on a worker thread while the caller goes on.

#include "platform/Printers.h"
#include "platform/Messages.h"
#include "platform/PrintJob.h"

#include "data/EmbeddedData.h"
#include "support/CupsTestServer.h"
#include "support/PdfReader.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

namespace {

std::span<const unsigned char> Font()
{
    return FindEmbedded(FontEngine::FileKey(L"Arial", false, false));
}

// A one-page PDF reading `text`.
std::string OnePagePdf(const std::wstring& text)
{
    std::unique_ptr<PrintDocument> document = PrintDocument::Create(PrintPage(), Font(), "");
    if (!document)
        return {};
    document->StartPage();
    document->DrawText(200, 200, text);
    document->EndPage();
    return document->Finish();
}

class PrintersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_CUPS(server);
        ASSERT_TRUE(server.AddQueue("Office_PDF", true)) << server.WhyNot();
    }

    CupsTestServer server;
};

}  // namespace

TEST_F(PrintersTest, ListsTheQueuesInCupsOrderWithTheDefault)
{
    ASSERT_TRUE(server.AddQueue("Zeta")) << server.WhyNot();
    ASSERT_TRUE(server.AddQueue("alpha")) << server.WhyNot();
    const PrinterList printers = ListPrinters();
    // CUPS sorts its destinations by name regardless of case.
    EXPECT_EQ(printers.names, (std::vector<std::string> {"alpha", "Office_PDF", "Zeta"}));
    EXPECT_EQ(printers.defaultName, "Office_PDF");
}

TEST_F(PrintersTest, TheUsersDefaultOverridesTheServers)
{
    ASSERT_TRUE(server.AddQueue("Zeta")) << server.WhyNot();
    EnvironmentOverride userDefault("LPDEST", "Zeta");
    EXPECT_EQ(ListPrinters().defaultName, "Zeta");
}

TEST_F(PrintersTest, ADefaultThatIsNoQueueIsNotAmongThePrinters)
{
    EnvironmentOverride userDefault("LPDEST", "Nowhere");
    const PrinterList printers = ListPrinters();
    EXPECT_EQ(printers.names, (std::vector<std::string> {"Office_PDF"}));
    EXPECT_NE(printers.defaultName, "Office_PDF");
}

TEST_F(PrintersTest, NoSchedulerMeansNoPrintersNoPageNoJob)
{
    EnvironmentOverride nowhere("CUPS_SERVER", server.Folder() + "/nobody-listens.sock");
    const PrinterList printers = ListPrinters();
    EXPECT_TRUE(printers.names.empty());
    EXPECT_TRUE(printers.defaultName.empty());
    EXPECT_FALSE(A4PageOn("Office_PDF", 300).has_value());
    EXPECT_EQ(SubmitPdf("Office_PDF", "Print1: Printing", OnePagePdf(L"Лист")), 0);
}

TEST_F(PrintersTest, AHangingSchedulerListsNothingRatherThanFreezingTheScreen)
{
    // The scheduler accepts the connection and never answers. Should listing wait for it anyway, a watchdog wakes it
    // after a while, and the list then comes back full instead of empty.
    server.Suspend();
    std::atomic<bool> listed = false;
    std::thread watchdog([&] {
        for (int i = 0; i < 600 && !listed; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        server.Resume();
    });
    const PrinterList printers = ListPrinters();
    listed = true;
    watchdog.join();
    EXPECT_TRUE(printers.names.empty()) << "the listing waited for the scheduler";
}

struct MarginCase {
    int dpi;
    PrintPage page;
};

class A4Margins : public PrintersTest, public ::testing::WithParamInterface<MarginCase> { };

TEST_P(A4Margins, AreThePrintersHardMarginsInPrinterPixels)
{
    // The generic PDF printer cannot print within 18 points of the sides and 36 points of the top and bottom.
    const std::optional<PrintPage> page = A4PageOn("Office_PDF", GetParam().dpi);
    ASSERT_TRUE(page.has_value());
    const PrintPage& expected = GetParam().page;
    EXPECT_EQ(page->dpi, expected.dpi);
    EXPECT_EQ(page->paperWidth, expected.paperWidth);
    EXPECT_EQ(page->paperHeight, expected.paperHeight);
    EXPECT_EQ(page->left, expected.left);
    EXPECT_EQ(page->top, expected.top);
    EXPECT_EQ(page->right, expected.right);
    EXPECT_EQ(page->bottom, expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(PrintersTest, A4Margins,
    ::testing::Values(MarginCase {300, {300, 2480, 3508, 75, 150, 75, 150}},
        MarginCase {600, {600, 4961, 7016, 150, 300, 150, 300}}, MarginCase {72, {72, 595, 842, 18, 36, 18, 36}}),
    [](const auto& info) { return std::to_string(info.param.dpi) + "Dpi"; });

TEST_F(PrintersTest, AnUnknownPrinterHasNoPage)
{
    EXPECT_FALSE(A4PageOn("Nowhere", 300).has_value());
    EXPECT_FALSE(A4PageOn("Office_PDF", 0).has_value());
}

struct SubmitCase {
    const char* queue;
    const char* queueSheet;  // the queue's own default sheet
};

class SubmittedPdf : public PrintersTest, public ::testing::WithParamInterface<SubmitCase> { };

TEST_P(SubmittedPdf, PrintsOnA4UnderItsJobName)
{
    const std::string queue = GetParam().queue;
    ASSERT_TRUE(server.AddQueue(queue, false, GetParam().queueSheet)) << server.WhyNot();

    const int job = SubmitPdf(queue, "Print1: Printing", OnePagePdf(L"Лист ученика"));
    ASSERT_GT(job, 0);
    ASSERT_TRUE(server.WaitUntilIdle());

    EXPECT_EQ(server.FinishedJobs()[job], "Print1: Printing");
    const std::string output = server.OutputPath(queue);
    ASSERT_TRUE(std::filesystem::exists(output));
    EXPECT_NE(PdfText(output).find("Лист ученика"), std::string::npos);
    // A4 even where the queue's own sheet is Letter: the page is not scaled onto another sheet.
    EXPECT_NE(PdfPageSize(output).find("(A4)"), std::string::npos) << PdfPageSize(output);
}

INSTANTIATE_TEST_SUITE_P(PrintersTest, SubmittedPdf,
    ::testing::Values(SubmitCase {"A4_PDF", "A4"}, SubmitCase {"Letter_PDF", "Letter"}),
    [](const auto& info) { return std::string(info.param.queueSheet); });

TEST_F(PrintersTest, ARejectingQueuePrintsNothing)
{
    ASSERT_TRUE(server.RejectJobs("Office_PDF")) << server.WhyNot();
    EXPECT_EQ(SubmitPdf("Office_PDF", "Print1: Printing", OnePagePdf(L"Лист")), 0);
    EXPECT_EQ(SubmitPdf("Nowhere", "Print1: Printing", OnePagePdf(L"Лист")), 0);
    ASSERT_TRUE(server.WaitUntilIdle());
    EXPECT_FALSE(std::filesystem::exists(server.OutputPath("Office_PDF")));
    EXPECT_TRUE(server.FinishedJobs().empty());
}

// ---------------------------------------------------------------------------------------------------------------------
// The print job

namespace {

class PrintJobTest : public PrintersTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
        PrintersTest::SetUp();
    }
    void TearDown() override
    {
        // A job still waiting on a stopped scheduler must not outlive the server it talks to.
        server.Resume();
        EXPECT_TRUE(PrintJob::WaitForAll(std::chrono::seconds(60)));
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }
    PrintJob::Request Request(const std::string& printer, unsigned doneMessage = 0)
    {
        PrintJob::Request request;
        request.printer = printer;
        request.name = "Print1: Printing";
        request.font = Font();
        request.doneMessage = doneMessage;
        request.draw = [this](PrintDocument& document) {
            // The worker draws on the page the printer reported.
            drawnWidth = document.PageWidth();
            document.StartPage();
            document.DrawText(0, 0, L"Лист задания");
            document.EndPage();
        };
        return request;
    }

    std::atomic<int> drawnWidth {0};
};

}  // namespace

TEST_F(PrintJobTest, MakesTheDocumentOnThePrintersPageAndHandsItOver)
{
    const unsigned done = RegisterWindowMessage(L"WM_TEST_PRINTED");
    std::shared_ptr<PrintJob> job = PrintJob::Start(Request("Office_PDF", done));
    ASSERT_TRUE(job->Wait(std::chrono::seconds(60)));
    EXPECT_EQ(job->GetState(), PrintJob::State::Printed);
    EXPECT_GT(job->JobNumber(), 0);
    EXPECT_EQ(drawnWidth, 2480 - 75 - 75);

    // The end is posted into the program's queue with the job's two numbers, after the job is over.
    Msg msg;
    Letterbox letterbox;
    bool posted = false;
    for (int wait = 0; wait < 500 && !posted; ++wait) {
        while (!posted && PeekMessage(msg, letterbox))
            posted = msg.message == done && msg.wParam == job->Serial()
                && msg.lParam == static_cast<std::uint32_t>(job->JobNumber());
        if (!posted)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(posted);

    ASSERT_TRUE(server.WaitUntilIdle());
    EXPECT_EQ(server.FinishedJobs()[job->JobNumber()], "Print1: Printing");
    EXPECT_NE(PdfText(server.OutputPath("Office_PDF")).find("Лист задания"), std::string::npos);
}

TEST_F(PrintJobTest, RunsOnWhileTheSchedulerDoesNotAnswer)
{
    server.Suspend();
    std::shared_ptr<PrintJob> job = PrintJob::Start(Request("Office_PDF"));
    // The caller is back at once; the job waits for the scheduler.
    EXPECT_EQ(job->GetState(), PrintJob::State::Running);
    EXPECT_FALSE(job->Wait(std::chrono::milliseconds(700)));
    EXPECT_EQ(PrintJob::Running(), 1);

    server.Resume();
    ASSERT_TRUE(job->Wait(std::chrono::seconds(60)));
    EXPECT_EQ(job->GetState(), PrintJob::State::Printed);
    EXPECT_EQ(PrintJob::Running(), 0);
    ASSERT_TRUE(server.WaitUntilIdle());
    EXPECT_TRUE(std::filesystem::exists(server.OutputPath("Office_PDF")));
}

struct FailedJobCase {
    const char* what;
    const char* printer;
    bool rejecting;
    bool noScheduler;
};

class FailedPrintJob : public PrintJobTest, public ::testing::WithParamInterface<FailedJobCase> { };

TEST_P(FailedPrintJob, EndsFailedAndPrintsNothing)
{
    std::optional<EnvironmentOverride> nowhere;
    if (GetParam().noScheduler)
        nowhere.emplace("CUPS_SERVER", server.Folder() + "/nobody-listens.sock");
    if (GetParam().rejecting) {
        ASSERT_TRUE(server.RejectJobs("Office_PDF")) << server.WhyNot();
    }

    std::shared_ptr<PrintJob> job = PrintJob::Start(Request(GetParam().printer));
    ASSERT_TRUE(job->Wait(std::chrono::seconds(60)));
    EXPECT_EQ(job->GetState(), PrintJob::State::Failed);
    EXPECT_EQ(job->JobNumber(), 0);
    nowhere.reset();
    ASSERT_TRUE(server.WaitUntilIdle());
    EXPECT_FALSE(std::filesystem::exists(server.OutputPath("Office_PDF")));
}

INSTANTIATE_TEST_SUITE_P(PrintJobTest, FailedPrintJob,
    ::testing::Values(FailedJobCase {"UnknownPrinter", "Nowhere", false, false},
        FailedJobCase {"RejectingPrinter", "Office_PDF", true, false},
        FailedJobCase {"NoScheduler", "Office_PDF", false, true}, FailedJobCase {"NoPrinterName", "", false, false}),
    [](const auto& info) { return std::string(info.param.what); });
