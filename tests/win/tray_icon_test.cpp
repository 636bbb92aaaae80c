// The notification icon as the shell is asked for it: every call recorded by
// a stand-in for Shell_NotifyIconW, which can refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"
#include "win_test_support.h"

namespace {

struct Call {
    DWORD message;
    UINT id;
    bool withGuid;
    GUID guid;
    DWORD size;
    std::wstring tip;
};

std::vector<Call> g_calls;
int g_refusals;          // NIM_ADDs still to refuse
bool g_refuseGuid;       // refuse every NIM_ADD that carries a GUID

BOOL WINAPI recordNotifyIcon(DWORD message, PNOTIFYICONDATAW record)
{
    const bool withGuid = (record->uFlags & NIF_GUID) != 0;
    g_calls.push_back({message, record->uID, withGuid, record->guidItem, record->cbSize,
                       (record->uFlags & NIF_TIP) ? record->szTip : L""});
    if (message != NIM_ADD)
        return TRUE;
    if (g_refuseGuid && withGuid)
        return FALSE;
    if (g_refusals > 0) {
        --g_refusals;
        return FALSE;
    }
    return TRUE;
}

class TrayIconTest : public ::testing::Test, public TrayTestBase {
protected:
    void SetUp() override
    {
        setUpTray();
        g_calls.clear();
        g_refusals = 0;
        g_refuseGuid = false;
        g_notifyIcon = recordNotifyIcon;
    }
    void TearDown() override
    {
        g_notifyIcon = Shell_NotifyIconW;
        tearDownTray();
    }
    void state(LinkState s, LPARAM flags = 0) { SendMessageA(g_app.mainWindow, WM_LINKSTATE, s, flags); }
    void retryTick() { SendMessageA(g_app.mainWindow, WM_TIMER, kTrayIconRetryTimer, 0); }
    std::vector<Call> adds()
    {
        std::vector<Call> found;
        for (const Call& c : g_calls)
            if (c.message == NIM_ADD)
                found.push_back(c);
        return found;
    }
};

TEST_F(TrayIconTest, AChangeOfStateIsOneModifyInPlaceUnderTheOneGuid)
{
    showTrayIcon(Broken);
    state(Connected, kLinkStateFirst);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].message, DWORD(NIM_ADD));
    EXPECT_EQ(g_calls[0].size, DWORD(NOTIFYICONDATAW_V3_SIZE));
    EXPECT_EQ(g_calls[1].message, DWORD(NIM_MODIFY)) << "no removal, no flicker";
    for (const Call& c : g_calls) {
        EXPECT_TRUE(c.withGuid);
        EXPECT_TRUE(IsEqualGUID(c.guid, g_calls[0].guid)) << "one identity, whichever state";
        EXPECT_EQ(c.id, UINT(kTrayIconId));
    }
    EXPECT_EQ(g_calls[1].tip.rfind(L"Internet connection is established.\nsince ", 0), 0u);
    const GUID none = {};
    EXPECT_FALSE(IsEqualGUID(g_calls[0].guid, none));
    SendMessageA(g_app.mainWindow, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(g_calls.back().message, DWORD(NIM_ADD)) << "a new task bar holds no icon: added";
}

// Where only the proxy goes out, the tip's second line says so, until the
// hosts answer directly again.
TEST_F(TrayIconTest, ConnectedThroughTheProxySaysSoOnTheTipsSecondLine)
{
    showTrayIcon(Broken);
    state(Connected, linkStateFlags(true, ThroughProxy));
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.back().tip.rfind(L"Internet connection is established.\nthrough the proxy, since ", 0), 0u)
        << std::string(g_calls.back().tip.begin(), g_calls.back().tip.end());
    state(Connected, linkStateFlags(false, NoCause));
    EXPECT_EQ(g_calls.back().tip.rfind(L"Internet connection is established.\nsince ", 0), 0u);
}

TEST_F(TrayIconTest, ARefusedGuidIsDeletedByItsGuidAndOfferedOnceMore)
{
    g_refusals = 1;  // the icon a killed run left under the GUID
    showTrayIcon(Broken);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].message, DWORD(NIM_ADD));
    EXPECT_EQ(g_calls[1].message, DWORD(NIM_DELETE));
    EXPECT_EQ(g_calls[2].message, DWORD(NIM_ADD));
    for (const Call& c : g_calls)
        EXPECT_TRUE(c.withGuid && IsEqualGUID(c.guid, g_calls[0].guid));
}

TEST_F(TrayIconTest, AGuidRefusedTwiceIsGivenUpForOneIdForBothStates)
{
    g_refuseGuid = true;
    showTrayIcon(Broken);
    ASSERT_EQ(adds().size(), 3u) << "with the GUID twice, a delete between, then without";
    EXPECT_FALSE(adds()[2].withGuid);
    EXPECT_EQ(adds()[2].id, UINT(kTrayIconId));
    state(Connected, kLinkStateFirst);
    EXPECT_EQ(g_calls.back().message, DWORD(NIM_MODIFY));
    EXPECT_FALSE(g_calls.back().withGuid) << "given up for good";
    EXPECT_EQ(g_calls.back().id, UINT(kTrayIconId)) << "the same ID for the other state";
}

DWORD g_now;
DWORD WINAPI fakeClock()
{
    return g_now;
}

// A timer tick for the main window within that long.
bool timerWithin(DWORD milliseconds)
{
    Sleep(milliseconds);
    MSG message;
    return PeekMessageA(&message, g_app.mainWindow, WM_TIMER, WM_TIMER, PM_REMOVE) != 0;
}

TEST_F(TrayIconTest, AShellNotReadyIsOfferedTheIconEveryTwoSecondsThenEveryThirtyUntilItTakesIt)
{
    g_iconClock = fakeClock;
    g_now = 1000;
    g_refusals = 1000;
    showTrayIcon(Broken);
    ASSERT_EQ(adds().size(), 3u) << "with the GUID, again after a delete, without";
    EXPECT_TRUE(timerWithin(2500)) << "every 2 s at first";
    g_now += 118000;
    retryTick();
    EXPECT_EQ(adds().size(), 6u);
    EXPECT_TRUE(timerWithin(2500)) << "still within the 2 minutes";
    g_now += 2000;
    retryTick();
    EXPECT_FALSE(timerWithin(2500)) << "after 2 minutes, every 30 s";
    g_now += 3600000;
    retryTick();
    EXPECT_EQ(adds().size(), 12u) << "never given up";
    g_refusals = 0;
    retryTick();
    EXPECT_TRUE(adds().back().withGuid) << "the shell was not ready: the GUID kept";
    EXPECT_FALSE(timerWithin(2500)) << "no more tries once the icon was taken";
    retryTick();  // a tick already queued when the timer was killed
    EXPECT_EQ(adds().size(), 13u) << "the icon is there: not added twice";
    g_iconClock = GetTickCount;
}

TEST_F(TrayIconTest, AStateChangeAfterExitBeganChangesNothing)
{
    buildTrayMenu();
    showTrayIcon(Broken);
    state(Connected, kLinkStateFirst);
    g_calls.clear();
    SendMessageA(g_app.mainWindow, WM_COMMAND, IDM_EXIT, 0);
    const std::string log = readWholeFile(folder + "\\connection-log.csv");
    EXPECT_NE(log.find(",Not watching,0,exit\r\n"), std::string::npos);
    const size_t removals = g_calls.size();
    state(Broken);
    SendMessageA(g_app.mainWindow, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(g_calls.size(), removals) << "no icon after Exit";
    EXPECT_EQ(g_app.shownState, Connected);
    EXPECT_EQ(readWholeFile(folder + "\\connection-log.csv"), log) << "no row after Exit's";
}

// A Polish date format: the tip keeps its letters, whatever the code page.
TEST_F(TrayIconTest, TheTipsDateInAPolishLocaleStaysIntact)
{
    SYSTEMTIME october = {};
    october.wYear = 2025;
    october.wMonth = 10;
    october.wDay = 5;
    october.wHour = 12;
    FILETIME began;
    SystemTimeToFileTime(&october, &began);
    g_app.shownState = Connected;
    g_app.shownSince = (ULONGLONG(began.dwHighDateTime) << 32) | began.dwLowDateTime;
    wchar_t tip[kTipSize];
    formatStateTip(tip, Connected, MAKELCID(MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT), SORT_DEFAULT));
    const std::wstring text = tip;
    EXPECT_EQ(text.rfind(L"Internet connection is established.\nsince 5 pa\u017a ", 0), 0u)
        << "the tip has " << text.size() << " characters";
    showTrayIcon(Connected);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_NE(g_calls.back().tip.find(L"since "), std::wstring::npos);
}

} // namespace

// The 8-bit images carry short palettes: Windows must read them as they are.
// Each pixel drawn from the resource is its palette colour, or untouched
// where the mask makes it transparent.
TEST(IconImages, EightBitImagesDrawTheColoursOfTheirShortPalettes)
{
    int checked = 0;
    for (WORD id = 1; id < 64; ++id) {
        const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_ICON));
        if (found == nullptr)
            continue;
        const BYTE* image = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
        const BITMAPINFOHEADER& header = *reinterpret_cast<const BITMAPINFOHEADER*>(image);
        if (header.biSize != sizeof header || header.biBitCount != 8)
            continue;
        ASSERT_LT(header.biClrUsed, 256u) << "icon image " << id << " keeps a full palette";
        const int size = header.biWidth, stride = (size + 3) & ~3, maskStride = ((size + 31) / 32) * 4;
        const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(image + sizeof header);
        const BYTE* pixels = image + sizeof header + 4 * header.biClrUsed;
        const BYTE* mask = pixels + stride * size;
        const HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), SizeofResource(nullptr, found), TRUE,
                                                    0x00030000, size, size, 0);
        ASSERT_NE(icon, nullptr) << "icon image " << id;
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // bottom-up, as the image
        void* bits = nullptr;
        const HDC dc = CreateCompatibleDC(nullptr);
        const HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HGDIOBJ old = SelectObject(dc, target);
        const DWORD background = 0x00123456;
        std::fill_n(static_cast<DWORD*>(bits), size * size, background);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        int wrong = 0;
        for (int row = 0; row < size; ++row)
            for (int column = 0; column < size; ++column) {
                const bool transparent = (mask[row * maskStride + column / 8] >> (7 - column % 8)) & 1;
                const RGBQUAD& colour = palette[pixels[row * stride + column]];
                const DWORD expected = transparent ? background
                                                   : DWORD(colour.rgbRed) << 16 | colour.rgbGreen << 8 | colour.rgbBlue;
                wrong += (static_cast<DWORD*>(bits)[row * size + column] & 0xFFFFFF) != expected;
            }
        EXPECT_EQ(wrong, 0) << "icon image " << id << ", " << size << " px, " << header.biClrUsed << " colours";
        SelectObject(dc, old);
        DeleteObject(target);
        DeleteDC(dc);
        DestroyIcon(icon);
        ++checked;
    }
    EXPECT_EQ(checked, 6) << "three 8-bit images in each of the two icons";
}
