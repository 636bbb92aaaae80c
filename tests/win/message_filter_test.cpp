// Letting "TaskbarCreated" through the filter that guards a raised process.
#include <gtest/gtest.h>

#include "system/message_filter.h"

namespace {

struct Calls {
    int forWindow, forProcess;
    HWND window;
    UINT message;
    DWORD action;
} g_calls;

BOOL WINAPI fakeForWindow(HWND window, UINT message, DWORD action, void*)
{
    ++g_calls.forWindow;
    g_calls.window = window;
    g_calls.message = message;
    g_calls.action = action;
    return TRUE;
}

BOOL WINAPI fakeForProcess(UINT message, DWORD action)
{
    ++g_calls.forProcess;
    g_calls.message = message;
    g_calls.action = action;
    return TRUE;
}

TEST(MessageFilter, TheWindowsOwnFilterWhereThereIsOneElseTheProcessesElseNothing)
{
    const HWND window = reinterpret_cast<HWND>(0x1234);
    g_calls = {};
    letMessageThrough(window, 0xC123, {fakeForWindow, fakeForProcess});
    EXPECT_EQ(g_calls.forWindow, 1);
    EXPECT_EQ(g_calls.forProcess, 0);
    EXPECT_EQ(g_calls.window, window);
    EXPECT_EQ(g_calls.message, 0xC123u);
    EXPECT_EQ(g_calls.action, 1u) << "MSGFLT_ALLOW";

    g_calls = {};
    letMessageThrough(window, 0xC124, {nullptr, fakeForProcess});  // Vista
    EXPECT_EQ(g_calls.forProcess, 1);
    EXPECT_EQ(g_calls.message, 0xC124u);
    EXPECT_EQ(g_calls.action, 1u) << "MSGFLT_ADD";

    g_calls = {};
    letMessageThrough(window, 0xC125, {nullptr, nullptr});  // XP
    EXPECT_EQ(g_calls.forWindow + g_calls.forProcess, 0);
}

TEST(MessageFilter, BothFunctionsAreFoundInThisSystemsUser32)
{
    const MessageFilterFunctions functions = findMessageFilterFunctions();
    EXPECT_NE(functions.changeForWindow, nullptr);
    EXPECT_NE(functions.changeForProcess, nullptr);
}

} // namespace
