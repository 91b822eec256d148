// The message and command walkers with real windows behind the defaults.
#include "shell/msgmap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Call {
    int nHandler;
    UINT uMsg;
    WORD wId;
    WORD wNotify;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Call> gCalls;

LRESULT First(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    gCalls.push_back({1, uMsg, 0, 0, wParam, lParam});
    return 11;
}
LRESULT Second(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    gCalls.push_back({2, uMsg, 0, 0, wParam, lParam});
    return 22;
}
LRESULT OnCommand(HWND, WORD wId, WORD wNotify, LPARAM lParam)
{
    gCalls.push_back({3, WM_COMMAND, wId, wNotify, 0, lParam});
    return 33;
}

constexpr MessageMapEntry aRows[] = {{WM_USER, First}, {WM_USER + 1, Second}, {WM_USER, Second}};

class MsgMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gCalls.clear();
        hWnd = CreateWindowExA(0, "STATIC", "abcde", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hWnd, nullptr);
    }
    void TearDown() override { DestroyWindow(hWnd); }
    HWND hWnd = nullptr;
};

TEST_F(MsgMapTest, FirstMatchingRowWinsOverTheWholeMessageValue)
{
    MessageMap map = MakeMessageMap(aRows, DEFAULT_NONE);
    EXPECT_EQ(DispatchMessageMap(&map, hWnd, WM_USER, 7, 8), 11);
    EXPECT_EQ(DispatchMessageMap(&map, hWnd, WM_USER + 1, 0, 0), 22);
    // Only the whole value matches: a message whose low word equals WM_USER
    // is another message.
    EXPECT_EQ(DispatchMessageMap(&map, hWnd, 0x10000u | WM_USER, 0, 0), 0);
    ASSERT_EQ(gCalls.size(), 2u);
    EXPECT_EQ(gCalls[0].nHandler, 1);
    EXPECT_EQ(gCalls[0].wParam, 7u);
    EXPECT_EQ(gCalls[0].lParam, 8);
}

TEST_F(MsgMapTest, UnclaimedMessagesFollowTheDefaultKind)
{
    MessageMap none = MakeMessageMap(aRows, DEFAULT_NONE);
    MessageMap window = MakeMessageMap(aRows, DEFAULT_WINDOW);
    MessageMap other = {0, aRows, 7};
    MessageMap negative = {-1, aRows, DEFAULT_WINDOW};
    EXPECT_EQ(DispatchMessageMap(&none, hWnd, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(DispatchMessageMap(&window, hWnd, WM_GETTEXTLENGTH, 0, 0), 5);
    EXPECT_EQ(DispatchMessageMap(&other, hWnd, WM_USER, 0, 0), 0);
    // No rows at all: even a listed message goes to the default.
    EXPECT_EQ(DispatchMessageMap(&negative, hWnd, WM_GETTEXTLENGTH, 0, 0), 5);
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(MsgMapTest, CommandsAreKeyedByTheLowWordAndGetTheNotificationCode)
{
    constexpr CommandMapEntry aCommands[] = {{105, OnCommand}};
    CommandMap none = MakeCommandMap(aCommands, DEFAULT_NONE);
    EXPECT_EQ(DispatchCommandMap(&none, hWnd, MAKEWPARAM(105, EN_UPDATE), 99), 33);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].wId, 105);
    EXPECT_EQ(gCalls[0].wNotify, EN_UPDATE);
    EXPECT_EQ(gCalls[0].lParam, 99);
    EXPECT_EQ(DispatchCommandMap(&none, hWnd, MAKEWPARAM(106, 0), 0), 0);
}

}  // namespace
