// Registered and posted messages keep their order and reach the main thread.

#include "platform/Messages.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <thread>

namespace {
class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0); }
    void TearDown() override { SDL_QuitSubSystem(SDL_INIT_EVENTS); }
    Letterbox letterbox;
};
}  // namespace

TEST_F(MessagesTest, RegisteredNumbersAreStablePerName)
{
    const unsigned play = RegisterWindowMessage(L"WM_TEST_PLAY");
    const unsigned stop = RegisterWindowMessage(L"WM_TEST_STOP");
    EXPECT_GE(play, 0xC000u);
    EXPECT_NE(play, stop);
    EXPECT_EQ(RegisterWindowMessage(L"WM_TEST_PLAY"), play);
}

TEST_F(MessagesTest, PostedMessagesArriveInOrderFromAnyThread)
{
    const unsigned message = RegisterWindowMessage(L"WM_TEST_ORDER");
    std::thread worker([&] {
        for (std::uint32_t i = 0; i < 100; ++i)
            ASSERT_TRUE(PostMessage(message, i, i * 2));
    });
    worker.join();
    PostQuitMessage(3);
    Msg msg;
    for (std::uint32_t i = 0; i < 100; ++i) {
        ASSERT_TRUE(PeekMessage(msg, letterbox));
        EXPECT_EQ(msg.message, message);
        EXPECT_EQ(msg.wParam, i);
        EXPECT_EQ(msg.lParam, i * 2);
    }
    ASSERT_TRUE(PeekMessage(msg, letterbox));
    EXPECT_EQ(msg.message, WindowMessage::Quit);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessage(msg, letterbox));
}

TEST(Messages, PostingWithoutAQueueFails)
{
    EXPECT_FALSE(PostMessage(0xC000, 1, 2));
}
