// The status window from its real dialog template, shown, counted down and
// hidden through its own dialog procedure.
#include <gtest/gtest.h>

#include "core/messages.h"

#include "res/resource.h"
#include "tray/status_window.h"
#include "tray/tray_icon.h"
#include "win_test_support.h"

namespace {

class StatusWindowTest : public ::testing::Test, public TrayTestBase {
protected:
    void SetUp() override
    {
        setUpTray();
        openStatusWindow();
        ASSERT_NE(g_app.statusWindow, nullptr);
    }
    void TearDown() override { tearDownTray(); }

    HWND window() { return g_app.statusWindow; }
    std::string itemText(int id)
    {
        char text[128] = "";
        GetDlgItemTextA(window(), id, text, sizeof text);
        return text;
    }
    RECT rect()
    {
        RECT r;
        GetWindowRect(window(), &r);
        return r;
    }
    void tick() { SendMessageA(window(), WM_TIMER, 1, 0); }
};

TEST_F(StatusWindowTest, CreatedHiddenFromTheTemplateAndOwnedByTheMainWindow)
{
    char caption[64];
    GetWindowTextA(window(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Lintora?");
    char cls[16];
    GetClassNameA(window(), cls, sizeof cls);
    EXPECT_STREQ(cls, "#32770");
    EXPECT_FALSE(IsWindowVisible(window()));
    EXPECT_EQ(GetWindow(window(), GW_OWNER), g_app.mainWindow);
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window(), GWL_STYLE));
    EXPECT_EQ(style & 0x80C808C2u, 0x80C808C2u);
    EXPECT_EQ(itemText(IDOK), "OK");
    EXPECT_EQ(itemText(IDC_STATUS_TEXT), "Here goes the message");
    const DWORD buttonStyle = static_cast<DWORD>(GetWindowLongA(GetDlgItem(window(), IDOK), GWL_STYLE));
    EXPECT_EQ(buttonStyle & 0x50010001u, 0x50010001u);
    const DWORD textStyle = static_cast<DWORD>(GetWindowLongA(GetDlgItem(window(), IDC_STATUS_TEXT), GWL_STYLE));
    EXPECT_EQ(textStyle & 0x50020001u, 0x50020001u);
}

// A display of twice the scale: the text's font and the window double, its
// top left corner stays; back at the first scale it is as it was.
TEST_F(StatusWindowTest, AnotherScaleScalesFontAndSizeInPlace)
{
    showStatusMessage("Internet connection is broken.\nThe router does not answer");
    RECT before, client;
    GetWindowRect(window(), &before);
    GetClientRect(window(), &client);
    const auto fontHeight = [&] {
        LOGFONTA face = {};
        GetObjectA(reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(window(), IDC_STATUS_TEXT, WM_GETFONT, 0, 0)),
                   sizeof face, &face);
        return face.lfHeight;
    };
    const LONG height = fontHeight();
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    SendMessageA(window(), kDpiChangedMessage, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&before));
    RECT after, doubled;
    GetWindowRect(window(), &after);
    GetClientRect(window(), &doubled);
    EXPECT_EQ(fontHeight(), 2 * height);
    // The dialog font is TrueType: its lines do not grow exactly twice as tall.
    EXPECT_NEAR(doubled.right, 2 * client.right, client.right / 5);
    EXPECT_NEAR(doubled.bottom, 2 * client.bottom, client.bottom / 5);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);

    SendMessageA(window(), kDpiChangedMessage, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&before));
    RECT back;
    GetWindowRect(window(), &back);
    EXPECT_EQ(fontHeight(), height);
    EXPECT_EQ(back.right - back.left, before.right - before.left);
    EXPECT_EQ(back.bottom - back.top, before.bottom - before.top);
}

TEST_F(StatusWindowTest, OpeningAgainReplacesTheWindow)
{
    const HWND first = window();
    openStatusWindow();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(window()));
}

TEST_F(StatusWindowTest, ShownWithTheMessageAndNoCountdownByDefault)
{
    showStatusMessage("Internet connection is broken.");
    EXPECT_TRUE(IsWindowVisible(window()));
    EXPECT_EQ(itemText(IDC_STATUS_TEXT), "Internet connection is broken.");
    EXPECT_EQ(itemText(IDOK), "OK");
    EXPECT_EQ(g_app.countdownTimer, 0u);
    EXPECT_FALSE(fileExists(configPath)) << "showing writes nothing";
}

TEST_F(StatusWindowTest, CountdownHidesOnTheTenthTickAndSavesThePosition)
{
    g_app.hideSeconds = 10;
    showStatusMessage("Internet connection is established.");
    EXPECT_NE(g_app.countdownTimer, 0u);
    EXPECT_EQ(itemText(IDOK), "OK[10]");
    for (int left = 9; left >= 1; --left) {
        tick();
        EXPECT_EQ(itemText(IDOK), "OK[" + std::to_string(left) + "]");
        EXPECT_TRUE(IsWindowVisible(window()));
    }
    tick();
    EXPECT_FALSE(IsWindowVisible(window()));
    EXPECT_EQ(itemText(IDOK), "OK");
    EXPECT_EQ(g_app.countdownTimer, 0u);
    const RECT r = rect();
    EXPECT_EQ(g_app.statusX, r.left);
    EXPECT_EQ(g_app.statusY, r.top);
    EXPECT_EQ(config(), "[config]\r\nmessagebox_h_position=" + std::to_string(r.left) +
                            "\r\nping_time_interval=60\r\nmessagebox_v_position=" + std::to_string(r.top) + "\r\n");
    tick();
    EXPECT_EQ(itemText(IDOK), "OK") << "a stray tick after the end does nothing";
}

TEST_F(StatusWindowTest, SecondMessageWhileShownNeitherMovesNorRestarts)
{
    g_app.hideSeconds = 10;
    showStatusMessage("Internet connection is broken.");
    tick();
    tick();
    const RECT before = rect();
    g_app.statusX = 40;  // a new remembered place is not jumped to while shown
    g_app.statusY = 40;
    showStatusMessage("Internet connection is established.");
    EXPECT_EQ(itemText(IDC_STATUS_TEXT), "Internet connection is established.");
    EXPECT_EQ(itemText(IDOK), "OK[8]");
    EXPECT_EQ(g_app.countdownRemaining, 8);
    EXPECT_EQ(rect().left, before.left);
    EXPECT_EQ(rect().top, before.top);
}

TEST_F(StatusWindowTest, OkAndCloseBoxHideAndStopTheCountdown)
{
    g_app.hideSeconds = 20;
    showStatusMessage("Internet connection is broken.");
    SendMessageA(window(), WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(IsWindowVisible(window()));
    EXPECT_EQ(g_app.countdownTimer, 0u);
    EXPECT_EQ(itemText(IDOK), "OK");

    showStatusMessage("Internet connection is established.");
    EXPECT_EQ(itemText(IDOK), "OK[20]") << "the next showing starts from the full time";
    SendMessageA(window(), WM_CLOSE, 0, 0);  // the dialog manager posts IDCANCEL for it
    pumpMessages();
    EXPECT_FALSE(IsWindowVisible(window()));
    EXPECT_EQ(g_app.countdownTimer, 0u);

    SendMessageA(window(), WM_COMMAND, 1000, 0);  // other ids do nothing
    EXPECT_FALSE(IsWindowVisible(window()));
}

TEST_F(StatusWindowTest, ChangedHideTimeAppliesAtTheNextShowing)
{
    g_app.hideSeconds = 10;
    showStatusMessage("Internet connection is broken.");
    g_app.hideSeconds = 0;
    tick();
    EXPECT_EQ(itemText(IDOK), "OK[9]") << "the running countdown goes on";
    SendMessageA(window(), WM_COMMAND, IDOK, 0);
    showStatusMessage("Internet connection is established.");
    EXPECT_EQ(itemText(IDOK), "OK");
    EXPECT_EQ(g_app.countdownTimer, 0u);
}

TEST_F(StatusWindowTest, RememberedPositionOnAMonitorIsUsed)
{
    g_app.statusX = 37;
    g_app.statusY = 53;
    showStatusMessage("Internet connection is broken.");
    EXPECT_EQ(rect().left, 37);
    EXPECT_EQ(rect().top, 53);
}

// The History's rule too: a place is remembered unless both numbers are 0,
// and it is brought whole onto the monitor nearest it.
TEST_F(StatusWindowTest, APlaceAtAScreensEdgeIsKeptAndOneOnNoMonitorComesWholeOntoTheNearest)
{
    const RECT centred = rect();
    g_app.statusX = 0;
    g_app.statusY = 0;
    showStatusMessage("Internet connection is broken.");
    EXPECT_EQ(rect().left, centred.left) << "none remembered: centred";
    EXPECT_EQ(rect().top, centred.top);
    SendMessageA(window(), WM_COMMAND, IDOK, 0);

    g_app.statusX = 0;  // the left edge of the screen
    g_app.statusY = 200;
    showStatusMessage("Internet connection is broken.");
    EXPECT_EQ(rect().left, 0);
    EXPECT_EQ(rect().top, 200);
    SendMessageA(window(), WM_COMMAND, IDOK, 0);

    g_app.statusX = -5000;  // a screen that is no longer there
    g_app.statusY = -5000;
    showStatusMessage("Internet connection is broken.");
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window(), MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_EQ(rect().left, monitor.rcWork.left);
    EXPECT_EQ(rect().top, monitor.rcWork.top);
}

TEST_F(StatusWindowTest, NothingHappensWhileMessagesAreOff)
{
    closeStatusWindow();
    showStatusMessage("Internet connection is broken.");
    EXPECT_EQ(g_app.statusWindow, nullptr);
    EXPECT_FALSE(fileExists(configPath));
}

TEST_F(StatusWindowTest, WindowIconsFollowTheState)
{
    setWindowIcons(Connected);
    const LRESULT small = SendMessageA(window(), WM_GETICON, ICON_SMALL, 0);
    EXPECT_NE(small, 0);
    EXPECT_EQ(reinterpret_cast<HICON>(small), LoadIconA(g_app.instance, MAKEINTRESOURCEA(IDI_CONNECTED)));
    EXPECT_NE(SendMessageA(g_app.mainWindow, WM_GETICON, ICON_BIG, 0), 0);
    setWindowIcons(Broken);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window(), WM_GETICON, ICON_SMALL, 0)),
              LoadIconA(g_app.instance, MAKEINTRESOURCEA(IDI_BROKEN)));
}

} // namespace
