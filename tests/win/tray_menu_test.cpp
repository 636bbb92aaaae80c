// The tray menu built for real and driven through the main window procedure.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/text.h"
#include "history/connection_log.h"
#include "tray/tray_icon.h"
#include "res/resource.h"
#include "tray/hide_times.h"
#include "tray/status_window.h"
#include "tray/tray_menu.h"
#include "win_test_support.h"

namespace {

class TrayMenuTest : public ::testing::Test, public TrayTestBase {
protected:
    void SetUp() override { setUpTray(); }
    void TearDown() override
    {
        g_notifyIcon = Shell_NotifyIconW;
        tearDownTray();
    }

    std::string label(HMENU menu, int position)
    {
        char text[64] = "";
        GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
        return text;
    }
    HMENU displayMenu() { return GetSubMenu(g_app.trayMenu, 2); }
    UINT hideTimePopupState() { return GetMenuState(displayMenu(), 1, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED); }
    bool checked(UINT id) { return menuItemState(id) & MFS_CHECKED; }
    // The one checked hide-time item, or 0 when none or several are.
    UINT checkedHideTime()
    {
        UINT found = 0;
        for (const HideTimeChoice& choice : kHideTimeChoices)
            if (checked(choice.commandId))
                found = found ? UINT(-1) : UINT(choice.commandId);
        return found == UINT(-1) ? 0 : found;
    }
    void command(UINT id) { SendMessageA(g_app.mainWindow, WM_COMMAND, id, 0); }
};

TEST_F(TrayMenuTest, TreeLabelsAndIdsInOrder)
{
    buildTrayMenu();
    const HMENU top = g_app.trayMenu;
    ASSERT_EQ(GetMenuItemCount(top), 9);
    EXPECT_EQ(label(top, 0), "Play Sound When Up");
    EXPECT_EQ(GetMenuItemID(top, 0), 104u);
    EXPECT_EQ(label(top, 1), "Play Sound When Down");
    EXPECT_EQ(GetMenuItemID(top, 1), 106u);
    EXPECT_EQ(label(top, 2), "Display Message");
    EXPECT_EQ(label(top, 3), "History");
    EXPECT_EQ(GetMenuItemID(top, 3), 120u);
    EXPECT_EQ(label(top, 4), "Connection Log");
    EXPECT_EQ(GetMenuItemID(top, 4), 117u);
    EXPECT_EQ(label(top, 5), "Start with Windows");
    EXPECT_EQ(GetMenuItemID(top, 5), 118u);
    EXPECT_EQ(label(top, 6), "Help");
    EXPECT_EQ(GetMenuItemID(top, 6), 109u);
    EXPECT_TRUE(GetMenuState(top, 7, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(label(top, 8), "&Exit");
    EXPECT_EQ(GetMenuItemID(top, 8), 107u);

    ASSERT_EQ(GetMenuItemCount(displayMenu()), 2);
    EXPECT_EQ(label(displayMenu(), 0), "Enable Display Message");
    EXPECT_EQ(GetMenuItemID(displayMenu(), 0), 105u);
    EXPECT_EQ(label(displayMenu(), 1), "Set Auto Hide Time");
    EXPECT_EQ(GetSubMenu(displayMenu(), 1), g_app.hideTimeMenu);

    ASSERT_EQ(GetMenuItemCount(g_app.hideTimeMenu), 7);
    const char* labels[] = {"Never", "10 s", "20 s", "30 s", "40 s", "50 s", "60 s"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(label(g_app.hideTimeMenu, i), labels[i]);
        EXPECT_EQ(GetMenuItemID(g_app.hideTimeMenu, i), 110u + i);
    }
}

// The log lies beside config.ini: without a settings folder the item is grayed.
TEST_F(TrayMenuTest, ConnectionLogStartsWithItsHeaderAndNeedsASettingsFolder)
{
    buildTrayMenu();
    EXPECT_FALSE(menuItemState(IDM_CONNECTION_LOG) & MFS_GRAYED);
    command(IDM_CONNECTION_LOG);
    EXPECT_EQ(readWholeFile(folder + "\\connection-log.csv"), "time,state,seconds_in_previous_state,cause\r\n");
    command(IDM_CONNECTION_LOG);
    EXPECT_EQ(readWholeFile(folder + "\\connection-log.csv"), "time,state,seconds_in_previous_state,cause\r\n")
        << "opening it again adds nothing";

    DestroyMenu(g_app.trayMenu);
    g_app.configPath[0] = L'\0';
    buildTrayMenu();
    EXPECT_TRUE(menuItemState(IDM_CONNECTION_LOG) & MFS_GRAYED);
    EXPECT_TRUE(menuItemState(IDM_HISTORY) & MFS_GRAYED);
}

TEST_F(TrayMenuTest, StartingMarksWithMessagesOff)
{
    buildTrayMenu();
    EXPECT_FALSE(checked(104));
    EXPECT_FALSE(checked(106));
    EXPECT_FALSE(checked(105));
    EXPECT_EQ(hideTimePopupState(), UINT(MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(checkedHideTime(), 110u);
    EXPECT_FALSE(fileExists(configPath)) << "a table value writes nothing";
}

TEST_F(TrayMenuTest, StartingMarksWithMessagesOnAndAStoredTime)
{
    openStatusWindow();
    g_app.hideSeconds = 30;
    buildTrayMenu();
    EXPECT_TRUE(checked(105));
    EXPECT_EQ(hideTimePopupState(), 0u);
    EXPECT_EQ(checkedHideTime(), 113u);
}

TEST_F(TrayMenuTest, SoundItemsShowChosenSounds)
{
    copyText(g_app.upSoundPath, L"C:\\up.wav");
    buildTrayMenu();
    EXPECT_TRUE(checked(104));
    EXPECT_FALSE(checked(106));
}

TEST_F(TrayMenuTest, StoredTimeNotInTheTableBecomesNever)
{
    g_app.hideSeconds = 25;
    buildTrayMenu();
    EXPECT_EQ(checkedHideTime(), 110u);
    EXPECT_EQ(g_app.hideSeconds, 0);
    EXPECT_EQ(config(), "[config]\r\nmessage_hide_time=0\r\nping_time_interval=60\r\n");
}

TEST_F(TrayMenuTest, EnableDisplayMessageTogglesTheStatusWindow)
{
    buildTrayMenu();
    command(105);
    ASSERT_NE(g_app.statusWindow, nullptr);
    EXPECT_TRUE(IsWindow(g_app.statusWindow));
    EXPECT_TRUE(checked(105));
    EXPECT_EQ(hideTimePopupState(), 0u);
    EXPECT_EQ(config(), "[config]\r\nuse_dialog_message=yes\r\nping_time_interval=60\r\n");

    const HWND window = g_app.statusWindow;
    command(105);
    EXPECT_EQ(g_app.statusWindow, nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(checked(105));
    EXPECT_EQ(hideTimePopupState(), UINT(MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(config(), "[config]\r\nuse_dialog_message=no\r\nping_time_interval=60\r\n");
}

TEST_F(TrayMenuTest, TheHighlightOfTheChosenItemIsNoCheckMark)
{
    buildTrayMenu();
    setMenuItemState(105, MFS_HILITE);  // as the menu leaves the item it closed on
    command(105);
    EXPECT_NE(g_app.statusWindow, nullptr) << "turned on, not off";
    EXPECT_TRUE(checked(105));
    setMenuItemState(112, MFS_HILITE);
    command(112);
    EXPECT_EQ(g_app.hideSeconds, 20);
    EXPECT_EQ(checkedHideTime(), 112u);
}

TEST_F(TrayMenuTest, ChoosingAHideTimeWritesOnlyOnAChange)
{
    buildTrayMenu();
    command(113);
    EXPECT_EQ(checkedHideTime(), 113u);
    EXPECT_EQ(g_app.hideSeconds, 30);
    EXPECT_EQ(config(), "[config]\r\nmessage_hide_time=30\r\nping_time_interval=60\r\n");
    removeConfig();
    command(113);
    EXPECT_FALSE(fileExists(configPath)) << "choosing the checked time again writes nothing";
    EXPECT_EQ(checkedHideTime(), 113u);
    command(116);
    EXPECT_EQ(checkedHideTime(), 116u);
    EXPECT_EQ(g_app.hideSeconds, 60);
    command(110);
    EXPECT_EQ(checkedHideTime(), 110u);
    EXPECT_EQ(g_app.hideSeconds, 0);
}

TEST_F(TrayMenuTest, UnknownCommandsAndLeftClicksDoNothing)
{
    buildTrayMenu();
    removeConfig();
    command(108);
    command(117);
    command(999);
    SendMessageA(g_app.mainWindow, WM_TRAYNOTIFY, 101, WM_LBUTTONUP);
    SendMessageA(g_app.mainWindow, WM_TRAYNOTIFY, 101, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(fileExists(configPath));
    EXPECT_EQ(checkedHideTime(), 110u);
    EXPECT_EQ(g_app.statusWindow, nullptr);
}

TEST_F(TrayMenuTest, ExitClosesTheStatusWindowAndQuitsWithZero)
{
    buildTrayMenu();
    openStatusWindow();
    const HWND window = g_app.statusWindow;
    command(107);
    EXPECT_EQ(g_app.statusWindow, nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindow(g_app.mainWindow)) << "the main window ends with the process";
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

TEST_F(TrayMenuTest, StateMessagesShowTheStatusWindowOnlyForChanges)
{
    buildTrayMenu();
    openStatusWindow();
    g_app.shownState = Broken;
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, 1);
    EXPECT_EQ(g_app.shownState, Connected);
    EXPECT_FALSE(IsWindowVisible(g_app.statusWindow)) << "the first state is not a change";
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Broken, 0);
    EXPECT_EQ(g_app.shownState, Broken);
    EXPECT_TRUE(IsWindowVisible(g_app.statusWindow));
    char text[64];
    GetDlgItemTextA(g_app.statusWindow, IDC_STATUS_TEXT, text, sizeof text);
    EXPECT_STREQ(text, "Internet connection is broken.");
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, 0);
    GetDlgItemTextA(g_app.statusWindow, IDC_STATUS_TEXT, text, sizeof text);
    EXPECT_STREQ(text, "Internet connection is established.");
}

// The break found elsewhere while Broken: a row, the tip and the window's text
// say so, the window is not raised; a sign-in page brings its menu item. The
// window grows for the cause's line and is the template's size again after.
TEST_F(TrayMenuTest, AMoveOfTheBreakIsLoggedAndToldWithoutRaisingTheWindow)
{
    buildTrayMenu();
    openStatusWindow();
    const std::string log = folder + "\\connection-log.csv";
    RECT templateRect;
    GetWindowRect(g_app.statusWindow, &templateRect);
    const int items = GetMenuItemCount(g_app.trayMenu);
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, kLinkStateFirst);
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Broken, linkStateFlags(false, ProviderDown));
    EXPECT_EQ(GetMenuItemCount(g_app.trayMenu), items) << "no page to offer";
    char text[128] = "";
    GetDlgItemTextA(g_app.statusWindow, IDC_STATUS_TEXT, text, sizeof text);
    EXPECT_STREQ(text, "Internet connection is broken.\nThe router answers; the internet beyond it does not");
    RECT grown;
    GetWindowRect(g_app.statusWindow, &grown);
    EXPECT_GT(grown.bottom - grown.top, templateRect.bottom - templateRect.top) << "a line taller";
    EXPECT_GT(grown.right - grown.left, templateRect.right - templateRect.left) << "and wide enough";
    ShowWindow(g_app.statusWindow, SW_HIDE);

    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Broken, linkStateFlags(false, SignInPage));
    ASSERT_EQ(GetMenuItemCount(g_app.trayMenu), items + 1);
    EXPECT_EQ(GetMenuItemID(g_app.trayMenu, 0), 119u);
    char label[64] = "";
    GetMenuStringA(g_app.trayMenu, 0, label, sizeof label, MF_BYPOSITION);
    EXPECT_STREQ(label, "Open Sign-in Page");
    EXPECT_FALSE(IsWindowVisible(g_app.statusWindow)) << "still Broken: not raised";
    GetDlgItemTextA(g_app.statusWindow, IDC_STATUS_TEXT, text, sizeof text);
    EXPECT_STREQ(text, "Internet connection is broken.\nSign-in page in the way");
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Broken, linkStateFlags(false, SignInPage));
    EXPECT_EQ(GetMenuItemCount(g_app.trayMenu), items + 1) << "offered once";

    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, 0);
    EXPECT_EQ(GetMenuItemCount(g_app.trayMenu), items);
    EXPECT_TRUE(IsWindowVisible(g_app.statusWindow));
    RECT back;
    GetWindowRect(g_app.statusWindow, &back);
    EXPECT_EQ(back.bottom - back.top, templateRect.bottom - templateRect.top);
    EXPECT_EQ(back.right - back.left, templateRect.right - templateRect.left);
    // Each row's state and cause, after the header.
    std::vector<std::string> shown;
    const std::string rows = readWholeFile(log);
    for (size_t start = rows.find('\n') + 1, end; (end = rows.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string row = rows.substr(start, end - start);
        const size_t state = row.find(',') + 1, seconds = row.find(',', state), cause = row.find(',', seconds + 1);
        shown.push_back(row.substr(state, seconds - state) + "/" + row.substr(cause + 1));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Connected/", "Broken/provider", "Broken/sign-in page", "Connected/"}))
        << rows;
}

// Rows kept while another program holds the log are written when the
// session ends (logoff, shutdown), not only at Exit.
TEST_F(TrayMenuTest, KeptRowsAreWrittenAtLogoffAndShutdown)
{
    buildTrayMenu();
    const std::string log = folder + "\\connection-log.csv";
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Broken, kLinkStateFirst);
    const std::string firstRowOnly = readWholeFile(log);
    auto hold = [&] { return CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr); };
    auto rows = [&] { const std::string text = readWholeFile(log); return std::count(text.begin(), text.end(), '\n'); };

    HANDLE spreadsheet = hold();
    ASSERT_NE(spreadsheet, INVALID_HANDLE_VALUE);
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, 0);
    EXPECT_EQ(SendMessageA(g_app.mainWindow, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE) << "never in the way";
    EXPECT_EQ(readWholeFile(log), firstRowOnly) << "held: the row waits";
    CloseHandle(spreadsheet);
    SendMessageA(g_app.mainWindow, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    EXPECT_EQ(rows(), 3) << "the header and two rows";
    EXPECT_NE(readWholeFile(log).find(",Connected,"), std::string::npos);

    spreadsheet = hold();
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Broken, 0);
    SendMessageA(g_app.mainWindow, WM_ENDSESSION, FALSE, 0);  // the end was called off
    CloseHandle(spreadsheet);
    EXPECT_EQ(rows(), 3);
    SendMessageA(g_app.mainWindow, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(rows(), 5) << "written as the session ends, and then why nothing is watched";
    EXPECT_NE(readWholeFile(log).find(",shutdown\r\n"), std::string::npos);
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, 0);
    EXPECT_EQ(rows(), 5) << "nothing after the session's end";
}

// The lines of the log after its header, without their line ends.
std::vector<std::string> logRows(const std::string& path)
{
    std::vector<std::string> rows;
    const std::string text = readWholeFile(path);
    size_t at = text.find('\n') + 1;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        rows.push_back(text.substr(at, end - at));
    return rows;
}

BOOL WINAPI acceptEveryIcon(DWORD, PNOTIFYICONDATAW)
{
    return TRUE;
}

// "Not watching,3,sleep" of "2026-...+01:00,Not watching,3,sleep".
std::string withoutTime(const std::string& row)
{
    return row.substr(row.find(',') + 1);
}

TEST_F(TrayMenuTest, SleepAndExitAreNotWatchedAndTheRowAfterTheResumeCountsFromTheSleep)
{
    buildTrayMenu();
    g_notifyIcon = acceptEveryIcon;  // no shell's time in the durations
    const std::string log = folder + "\\connection-log.csv";
    const std::string running = folder + "\\connection-log.running";
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, kLinkStateFirst);
    EXPECT_TRUE(fileExists(running)) << "the last-known moment kept while watching";
    Sleep(1100);
    SendMessageA(g_app.mainWindow, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_FALSE(fileExists(running)) << "a run that says why it stops watching ends seen";
    Sleep(2100);
    SendMessageA(g_app.mainWindow, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, 0);  // the first verdict after, the same state
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, 0);  // and one that changes nothing
    SendMessageA(g_app.mainWindow, WM_COMMAND, IDM_EXIT, 0);
    const std::vector<std::string> rows = logRows(log);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(withoutTime(rows[0]), "Connected,,");
    EXPECT_EQ(withoutTime(rows[1]), "Not watching,1,sleep");
    EXPECT_EQ(withoutTime(rows[2]), "Connected,2,") << "counted from the sleep";
    EXPECT_EQ(withoutTime(rows[3]), "Not watching,0,exit");
    EXPECT_FALSE(IsWindowVisible(g_app.statusWindow)) << "the same state after a sleep is no news";
}

TEST_F(TrayMenuTest, ARunThatEndedUnseenGetsItsRowForTheMomentItWasLastKnownToRun)
{
    const std::string log = folder + "\\connection-log.csv";
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG lastKnown = ((ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime) - 600ull * 10000000;
    writeWholeFile(folder + "\\connection-log.running", std::to_string(lastKnown) + " 42\r\n");
    ULONGLONG endedAt = 0;
    ASSERT_TRUE(logRunEndedUnseen(endedAt));
    EXPECT_EQ(endedAt, lastKnown);
    g_app.notWatchingSince = endedAt;
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Broken, linkStateFlags(true, ProviderDown));
    const std::vector<std::string> rows = logRows(log);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(withoutTime(rows[0]), "Not watching,42,unknown");
    EXPECT_TRUE(withoutTime(rows[1]) == "Broken,600,provider" || withoutTime(rows[1]) == "Broken,601,provider")
        << rows[1];
    writeWholeFile(folder + "\\connection-log.running", "garbage");
    EXPECT_FALSE(logRunEndedUnseen(endedAt)) << "a file not ours writes nothing";
    EXPECT_EQ(logRows(log).size(), 2u);
}

} // namespace
