// The History window opened from the menu on a seeded log under Wine: the
// summary on the clipboard, a week back through the set-aside file and
// forward again, the pointer over a strip, Esc and the remembered place.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "core/messages.h"
#include "core/text.h"
#include "history/history_text.h"
#include "history/local_time.h"
#include "probe/probe_hosts.h"
#include "tray/history_window.h"
#include "tray/tray_menu.h"
#include "version.h"
#include "win_test_support.h"

namespace {

const int64_t kHour = 3600;

BOOL CALLBACK findTooltip(HWND found, LPARAM into)
{
    char name[32] = "";
    GetClassNameA(found, name, sizeof name);
    if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0)
        *reinterpret_cast<HWND*>(into) = found;
    return TRUE;
}

class HistoryWindowTest : public ::testing::Test, public TrayTestBase {
protected:
    SYSTEMTIME today = {};
    void SetUp() override
    {
        setUpTray();
        GetLocalTime(&today);
    }
    void TearDown() override
    {
        closeHistoryWindow();
        tearDownTray();
    }

    // The local midnight that begins the day so many days from today.
    int64_t midnight(int days) { return localMidnight(daysAfter(today, days)); }
    // A row as Lintora writes it; Broken is the router's.
    static std::string row(int64_t moment, const char* state, long long before)
    {
        LocalTime time;
        SYSTEMTIME local;
        localTimeOf(utcOfUnixSeconds(moment), time, local);
        char text[kLogRowSize];
        if (std::string(state) == "Not watching")
            formatNotWatchingRow(text, time, before, NotWatching::Exit);
        else
            formatLogRow(text, time, std::string(state) == "Broken" ? Broken : Connected, before,
                         std::string(state) == "Broken" ? RouterSilent : NoCause);
        return text;
    }
    std::string date(int days)
    {
        const SYSTEMTIME day = daysAfter(today, days);
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.wYear, day.wMonth, day.wDay);
        return text;
    }
    HWND window() { return FindWindowW(L"LintoraHistory", nullptr); }
    std::string title()
    {
        char text[128] = "";
        GetWindowTextA(window(), text, sizeof text);
        return text;
    }
    void key(WPARAM key)
    {
        MSG message = {GetFocus() != nullptr ? GetFocus() : window(), WM_KEYDOWN, key, 0, 0, {0, 0}};
        if (!handleHistoryWindowMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        pumpMessages();
    }
    std::string clipboard()
    {
        std::string text;
        if (!OpenClipboard(nullptr))
            return "(clipboard busy)";
        if (const HANDLE data = GetClipboardData(CF_TEXT)) {
            text = static_cast<const char*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }
    void open()
    {
        buildTrayMenu();
        SendMessageA(g_app.mainWindow, WM_COMMAND, IDM_HISTORY, 0);
        pumpMessages();
    }

    // Two days ago: watched from 10:00, the router silent 10:30 to 11:00.
    // Yesterday: connected until Exit at noon. Today: not watched.
    std::string seededLog()
    {
        const int64_t twoDaysAgo = midnight(-2), yesterday = midnight(-1);
        return std::string(kLogHeader) + row(twoDaysAgo + 10 * kHour, "Connected", -1) +
               row(twoDaysAgo + 10 * kHour + 1800, "Broken", 1800) +
               row(twoDaysAgo + 11 * kHour, "Connected", 1800) +
               row(yesterday + 12 * kHour, "Not watching", 90000);
    }

};

TEST_F(HistoryWindowTest, OpensFromTheMenuAndCopiesTheWeekWithItsHeader)
{
    writeWholeFile(folder + "\\connection-log.csv", seededLog());
    open();
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(IsWindowVisible(window()));
    EXPECT_EQ(title().rfind("Lintora History: ", 0), 0u) << title();

    SendDlgItemMessageW(window(), 1203, BM_CLICK, 0, 0);  // Copy Summary
    pumpMessages();
    std::string expected = std::string("Lintora ") + LINTORA_VERSION_TEXT + ": connection history\r\nProbes " +
                           kProbeHosts[0] + ", " + kProbeHosts[1] + ", " + kProbeHosts[2] +
                           " every 60 s while connected, every 5 s while broken\r\n";
    const std::string none = "  beyond the router: outages 0  down 0:00:00  round trip -  lost -\r\n";
    for (int day = -6; day <= -3; ++day)
        expected += date(day) + "  uptime -  outages 0  down 0:00:00  longest 0:00:00" + none;
    expected += date(-2) + "  uptime 96.4 %  outages 1  down 0:30:00  longest 0:30:00" + none;
    expected += date(-1) + "  uptime 100.0 %  outages 0  down 0:00:00  longest 0:00:00" + none;
    expected += date(0) + "  uptime -  outages 0  down 0:00:00  longest 0:00:00" + none;
    expected += "Week  uptime 98.0 %  outages 1  down 0:30:00  longest 0:30:00" + none;
    expected += "Outages\r\n" + date(-2) + " 10:30:00  " + date(-2) + " 11:00:00  0:30:00  this side  "
                "The router does not answer\r\n";
    EXPECT_EQ(clipboard(), expected);

    // The pointer over the outage tells its period.
    HWND tooltip = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findTooltip, reinterpret_cast<LPARAM>(&tooltip));
    ASSERT_NE(tooltip, nullptr);
    std::wstring told;
    RECT client;
    GetClientRect(window(), &client);
    for (int y = 0; y < client.bottom && told.find(L"router") == std::wstring::npos; y += 4)
        for (int x = 0; x < client.right && told.find(L"router") == std::wstring::npos; x += 4) {
            SendMessageW(window(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
            wchar_t text[160] = L"";
            TOOLINFOW tool = {};
            tool.cbSize = sizeof tool;
            tool.hwnd = window();
            tool.uId = 1;
            tool.lpszText = text;
            SendMessageW(tooltip, TTM_GETTEXTW, 160, reinterpret_cast<LPARAM>(&tool));
            told = text;
        }
    EXPECT_NE(told.find(L"\nBroken: The router does not answer (this side)"), std::wstring::npos);
    EXPECT_NE(told.find(L"10:30"), std::wstring::npos) << "from";
    EXPECT_NE(told.find(L"11:00"), std::wstring::npos) << "to";

    RECT placed;
    GetWindowRect(window(), &placed);
    key(VK_ESCAPE);
    EXPECT_EQ(window(), nullptr) << "Esc closes it";
    EXPECT_NE(config().find("history_h_position=" + std::to_string(placed.left)), std::string::npos) << config();
}

TEST_F(HistoryWindowTest, PagesBackAWeekThroughTheSetAsideFileAndForwardAgain)
{
    const int64_t tenDaysAgo = midnight(-10);
    writeWholeFile(folder + "\\connection-log.1.csv",
                   std::string(kThreeColumnLogHeader) + "# a note a spreadsheet left\r\n" +
                       row(tenDaysAgo + 6 * kHour, "Connected", -1).substr(0, 36) + "\r\n" +
                       row(tenDaysAgo + 18 * kHour, "Broken", 43200).substr(0, 38) + "\r\n" +
                       row(tenDaysAgo + 24 * kHour, "Connected", 21600).substr(0, 41) + "\r\n");
    writeWholeFile(folder + "\\connection-log.csv", seededLog());
    open();
    ASSERT_NE(window(), nullptr);
    const std::string thisWeek = title();
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window(), 1201))) << "Previous: the set-aside file goes further back";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window(), 1202))) << "Next: nothing after today";

    key(VK_PRIOR);
    EXPECT_NE(title(), thisWeek);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window(), 1201))) << "nothing earlier";
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window(), 1202)));
    key(VK_PRIOR);  // no further
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    key('C');
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    const std::string copied = clipboard();
    EXPECT_NE(copied.find(date(-13) + "  uptime -"), std::string::npos) << copied;
    EXPECT_NE(copied.find(date(-10) + "  uptime 66.6 %  outages 1  down 6:00:00  longest 6:00:00"), std::string::npos)
        << "watched 06:00 to 24:00, the last 6 hours down\n"
        << copied;
    EXPECT_NE(copied.find(date(-7) + "  uptime 100.0 %"), std::string::npos) << copied;
    EXPECT_NE(copied.find("Week  uptime 93.3 %  outages 1"), std::string::npos) << "90 hours watched, 6 down\n" << copied;

    SendDlgItemMessageW(window(), 1202, BM_CLICK, 0, 0);  // Next
    pumpMessages();
    EXPECT_EQ(title(), thisWeek);

    // A change while it is open: its row is drawn at once.
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Connected, kLinkStateFirst);
    SendMessageA(g_app.mainWindow, WM_LINKSTATE, Broken, linkStateFlags(false, ProviderDown));
    SendDlgItemMessageW(window(), 1203, BM_CLICK, 0, 0);
    pumpMessages();
    const std::string summary = clipboard();
    const size_t today = summary.find(date(0) + "  uptime ");
    ASSERT_NE(today, std::string::npos) << summary;
    EXPECT_NE(summary.substr(today, summary.find('\n', today) - today).find("  outages 1  "), std::string::npos)
        << "today's outage, begun now\n" << summary;

    // Moved to a display at 125 %: the place the system suggests, the layout a quarter as large again.
    // (At 150 % the window would be wider than this 1024-pixel test screen, and the system holds a
    // window within the screen's width.)
    RECT client, suggested = {40, 30, 1000, 600};
    GetClientRect(window(), &client);
    const LONG width96 = client.right;
    SendMessageW(window(), kDpiChangedMessage, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&suggested));
    GetClientRect(window(), &client);
    EXPECT_EQ(client.right, MulDiv(width96, 120, 96));
    RECT placed;
    GetWindowRect(window(), &placed);
    EXPECT_EQ(placed.left, 40);
    EXPECT_EQ(placed.top, 30);
}

} // namespace
