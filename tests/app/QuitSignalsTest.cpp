// A termination signal (a shutdown, a closed session) closes the program as its window's close does, saving first.
// Signals are how a POSIX session ends a program; Windows tells the window instead.

#include "platform/Messages.h"
#include "support/AppFixture.h"

#include <csignal>

namespace {

TEST_F(AppTest, TerminationSignalIsACloseRequest)
{
    OpenWorkbook();
    StartStep();
    CloseOnQuitSignals();
    std::raise(SIGTERM);
    program.Pump();
    EXPECT_TRUE(program.quit);
    EXPECT_TRUE(ClosedBySignal());
    EXPECT_EQ(SavedRows().size(), 1u);
    std::signal(SIGTERM, SIG_DFL);
}

}  // namespace
