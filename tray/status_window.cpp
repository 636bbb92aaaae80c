#include "tray/status_window.h"

#include "core/app_state.h"
#include "core/messages.h"
#include "core/system_library.h"
#include "core/text.h"
#include "history/history_text.h"
#include "res/resource.h"
#include "settings/config_file.h"
#include "system/dpi.h"
#include "tray/countdown.h"
#include "tray/window_place.h"

namespace {

enum : UINT_PTR { kCountdownTimerId = 1 };

// The template's layout, in dialog units: the window's client area, the
// message's place (one line) and the button's.
enum : int {
    kClientWidth = 145,
    kClientHeight = 58,
    kTextLeft = 7,
    kTextTop = 11,
    kTextWidth = 131,
    kTextLineHeight = 8,
    kButtonLeft = 47,
    kButtonTop = 30,
    kButtonWidth = 50,
    kButtonHeight = 14,
};
enum : UINT { kCountdownTickMs = 1000 };

void setOkButtonText(HWND window)
{
    char text[kOkButtonTextSize];
    formatOkButtonText(text, g_app.countdownTimer != 0, g_app.countdownRemaining);
    wchar_t wide[kOkButtonTextSize];
    widenAsciiText(wide, text);
    SetDlgItemTextW(window, IDOK, wide);
}

void startCountdown(HWND window)
{
    if (g_app.hideSeconds <= 0)
        return;
    g_app.countdownTimer = SetTimer(window, kCountdownTimerId, kCountdownTickMs, nullptr);
    g_app.countdownRemaining = g_app.hideSeconds;
    setOkButtonText(window);
}

void stopCountdown(HWND window)
{
    if (g_app.countdownTimer != 0) {
        KillTimer(window, g_app.countdownTimer);
        g_app.countdownTimer = 0;
    }
}

void onStatusShown(HWND window)
{
    SetFocus(window);
    BringWindowToTop(window);
    SetActiveWindow(window);
    placeWindow(window, g_app.statusX, g_app.statusY);
    startCountdown(window);
}

void onStatusHidden(HWND window)
{
    stopCountdown(window);
    setOkButtonText(window);
    saveStatusWindowPosition(window);
}

void onCountdownTick(HWND window)
{
    if (g_app.countdownRemaining <= 0)
        return;
    const bool finished = countdownTick(g_app.countdownRemaining);
    setOkButtonText(window);
    if (finished)
        ShowWindow(window, SW_HIDE);
}

void onStatusCommand(HWND window, WPARAM wParam)
{
    const WORD id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL)
        ShowWindow(window, SW_HIDE);
}

int larger(int a, int b)
{
    return a > b ? a : b;
}

// The display's scale when the window was made (its dialog units are of that
// scale) and now, as DPI; and the font made for a later scale, if any. The
// user interface thread's alone.
struct StatusScale {
    int madeDpi, dpi;
    HFONT font;
};
StatusScale g_scale = {96, 96, nullptr};

RECT dialogUnitsToPixels(HWND window, int left, int top, int width, int height)
{
    RECT rect = {left, top, left + width, top + height};
    MapDialogRect(window, &rect);
    rect.left = MulDiv(rect.left, g_scale.dpi, g_scale.madeDpi);
    rect.top = MulDiv(rect.top, g_scale.dpi, g_scale.madeDpi);
    rect.right = MulDiv(rect.right, g_scale.dpi, g_scale.madeDpi);
    rect.bottom = MulDiv(rect.bottom, g_scale.dpi, g_scale.madeDpi);
    return rect;
}

// The message's size in pixels, in the control's own font.
SIZE measureMessage(HWND text)
{
    wchar_t message[256];
    GetWindowTextW(text, message, 256);
    const HDC dc = GetDC(text);
    const HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(text, WM_GETFONT, 0, 0)));
    RECT measured = {0, 0, 0, 0};
    DrawTextW(dc, message, -1, &measured, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, font);
    ReleaseDC(text, dc);
    const SIZE size = {measured.right, measured.bottom};
    return size;
}

// The window grows by what a message of more lines, or wider than the
// template's one line, needs, and is the template's size again for one that
// fits; its top left corner stays where it is.
void fitWindowToMessage(HWND window)
{
    const HWND text = GetDlgItem(window, IDC_STATUS_TEXT);
    const SIZE message = measureMessage(text);
    RECT client = dialogUnitsToPixels(window, 0, 0, kClientWidth, kClientHeight);
    RECT line = dialogUnitsToPixels(window, kTextLeft, kTextTop, kTextWidth, kTextLineHeight);
    RECT button = dialogUnitsToPixels(window, kButtonLeft, kButtonTop, kButtonWidth, kButtonHeight);
    const int wider = larger(0, message.cx - (line.right - line.left));
    const int taller = larger(0, message.cy - (line.bottom - line.top));
    client.right += wider;
    client.bottom += taller;
    line.right += wider;
    line.bottom += taller;
    OffsetRect(&button, wider / 2, taller);
    MoveWindow(text, line.left, line.top, line.right - line.left, line.bottom - line.top, TRUE);
    MoveWindow(GetDlgItem(window, IDOK), button.left, button.top, button.right - button.left,
               button.bottom - button.top, TRUE);
    adjustWindowRectForDpi(client, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                           static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), static_cast<UINT>(g_scale.dpi));
    SetWindowPos(window, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window moved to a display of another scale, or the scale changed: its
// text in a font of that scale, and its size to match; it stays where it was
// put. The system's own scaling of dialogs is turned off when the window is
// made, so that it is not done twice.
void onStatusDpiChanged(HWND window, int dpi)
{
    if (dpi <= 0 || dpi == g_scale.dpi)
        return;
    LOGFONTA face = {};
    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof face, &face);
    face.lfHeight = MulDiv(face.lfHeight, dpi, g_scale.madeDpi);
    face.lfWidth = 0;
    const HFONT font = CreateFontIndirectA(&face);
    if (font == nullptr)
        return;
    SendDlgItemMessageA(window, IDC_STATUS_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendDlgItemMessageA(window, IDOK, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (g_scale.font != nullptr)
        DeleteObject(g_scale.font);
    g_scale.font = font;
    g_scale.dpi = dpi;
    fitWindowToMessage(window);
}

// Windows 10 1703 and later scale dialogs themselves; this window does it.
void turnOffSystemDialogScaling(HWND window)
{
    static BOOL(WINAPI * setBehavior)(HWND, int, int);
    static bool looked = false;
    if (!looked)
        findSystemFunction(setBehavior, L"user32.dll", "SetDialogDpiChangeBehavior");
    looked = true;
    const int disableAll = 1;  // DDC_DISABLE_ALL
    if (setBehavior != nullptr)
        setBehavior(window, disableAll, disableAll);
}

} // namespace

void openStatusWindow()
{
    closeStatusWindow();
    g_app.statusWindow = CreateDialogParamW(g_app.instance, MAKEINTRESOURCEW(IDD_STATUS), g_app.mainWindow,
                                            statusDialogProc, 0);
    // The dialog is made at the scale of the monitor it is on, not the one at logon.
    g_scale.madeDpi = g_scale.dpi = static_cast<int>(windowDpi(g_app.statusWindow));
    turnOffSystemDialogScaling(g_app.statusWindow);
    SetWindowTextW(g_app.statusWindow, L"Lintora?");
}

void closeStatusWindow()
{
    if (g_app.statusWindow == nullptr)
        return;
    DestroyWindow(g_app.statusWindow);
    g_app.statusWindow = nullptr;
    if (g_scale.font != nullptr)
        DeleteObject(g_scale.font);  // after the window that used it
    g_scale.font = nullptr;
    g_app.countdownTimer = 0;  // the timer died with its window
}

void setStatusMessage(const char* text)
{
    if (g_app.statusWindow == nullptr)
        return;
    wchar_t wide[kTipSize];
    widenAsciiText(wide, text);
    SetDlgItemTextW(g_app.statusWindow, IDC_STATUS_TEXT, wide);
    fitWindowToMessage(g_app.statusWindow);
}

void showStatusMessage(const char* text)
{
    if (g_app.statusWindow == nullptr)
        return;
    setStatusMessage(text);
    ShowWindow(g_app.statusWindow, SW_SHOW);
    SetForegroundWindow(g_app.statusWindow);
}

INT_PTR CALLBACK statusDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam)
            onStatusShown(window);
        else
            onStatusHidden(window);
        return TRUE;
    case WM_TIMER:
        onCountdownTick(window);
        return TRUE;
    case WM_COMMAND:
        onStatusCommand(window, wParam);
        return TRUE;
    case kDpiChangedMessage:
        onStatusDpiChanged(window, HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

void saveStatusWindowPosition(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    g_app.statusX = rect.left;
    g_app.statusY = rect.top;
    writePositionSettings("messagebox_h_position", "messagebox_v_position", rect.left, rect.top);
}
