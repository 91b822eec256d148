// The message and command walkers with real windows behind the defaults.
#include "shell/msgmap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every handler call as "handler:message-or-id:wParam-or-code:lParam".
std::vector<std::string> gCalls;

template <int N> LRESULT Handler(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    gCalls.push_back(std::to_string(N) + ":" + std::to_string(uMsg) + ":" + std::to_string(wParam) + ":" +
                     std::to_string(lParam));
    return N * 11;
}
LRESULT OnCommand(HWND, WORD wId, WORD wNotify, LPARAM lParam)
{
    gCalls.push_back("cmd:" + std::to_string(wId) + ":" + std::to_string(wNotify) + ":" + std::to_string(lParam));
    return 33;
}

constexpr MessageMapEntry aRows[] = {{WM_USER, Handler<1>}, {WM_USER + 1, Handler<2>}, {WM_USER, Handler<2>}};
constexpr CommandMapEntry aCommands[] = {{105, OnCommand}};

// Messages: the first row matching the whole message wins, else the default
// kind. Commands: keyed by the low word, given the notification code.
TEST(MsgMap, WalkersFindTheFirstMatchingRowElseTheDefault)
{
    HWND hWnd = CreateWindowExA(0, "STATIC", "abcde", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    MessageMap none = MakeMessageMap(aRows, DEFAULT_NONE);
    MessageMap window = MakeMessageMap(aRows, DEFAULT_WINDOW);
    MessageMap other = {0, aRows, 7};
    MessageMap negative = {-1, aRows, DEFAULT_WINDOW};
    EXPECT_EQ(DispatchMessageMap(&none, hWnd, WM_USER, 7, 8), 11);
    EXPECT_EQ(DispatchMessageMap(&none, hWnd, WM_USER + 1, 0, 0), 22);
    // Only the whole value matches: a message whose low word equals WM_USER
    // is another message.
    EXPECT_EQ(DispatchMessageMap(&none, hWnd, 0x10000u | WM_USER, 0, 0), 0);
    EXPECT_EQ(DispatchMessageMap(&none, hWnd, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(DispatchMessageMap(&window, hWnd, WM_GETTEXTLENGTH, 0, 0), 5);
    EXPECT_EQ(DispatchMessageMap(&other, hWnd, WM_USER, 0, 0), 0);
    // No rows at all: even a listed message goes to the default.
    EXPECT_EQ(DispatchMessageMap(&negative, hWnd, WM_GETTEXTLENGTH, 0, 0), 5);

    CommandMap commands = MakeCommandMap(aCommands, DEFAULT_NONE);
    EXPECT_EQ(DispatchCommandMap(&commands, hWnd, MAKEWPARAM(105, EN_UPDATE), 99), 33);
    EXPECT_EQ(DispatchCommandMap(&commands, hWnd, MAKEWPARAM(106, 0), 0), 0);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"1:1024:7:8", "2:1025:0:0", "cmd:105:1024:99"}));
    DestroyWindow(hWnd);
}

}  // namespace
