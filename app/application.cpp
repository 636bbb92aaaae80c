#include "app/application.h"

#include <commctrl.h>

#include "core/app_state.h"
#include "core/system_library.h"
#include "core/text.h"
#include "history/connection_log.h"
#include "monitor/monitor_thread.h"
#include "settings/config_file.h"
#include "tray/history_window.h"
#include "tray/main_window.h"
#include "tray/status_window.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

namespace {

const char kProductName[] = "Lintora";
const char kDisplayTitle[] = "Lintora?";
const wchar_t kDisplayTitleW[] = L"Lintora?";

void showAlreadyRunningMessage()
{
    char text[kTextBufferSize];
    copyText(text, "Another instance of \"");
    appendText(text, kDisplayTitle);
    appendText(text, "\" application is already running.");
    MessageBoxA(nullptr, text, "Already running", MB_ICONERROR);
}

bool registerMainWindowClass()
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = g_app.instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
    windowClass.lpszClassName = kDisplayTitleW;
    windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    return RegisterClassExW(&windowClass) != 0;
}

// Never shown: the notification icon is the program's only presence.
HWND createMainWindow()
{
    return CreateWindowExW(0, kDisplayTitleW, kDisplayTitleW, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 544, 375, nullptr, nullptr, g_app.instance, nullptr);
}

// The icon shows Broken until the first probe has said otherwise. A last
// run that ended unseen gets its row first.
void startMonitor()
{
    ULONGLONG endedAt = 0;
    if (logRunEndedUnseen(endedAt))
        g_app.notWatchingSince = endedAt;
    SetTimer(g_app.mainWindow, kLastKnownTimer, kLastKnownEveryMs, nullptr);
    showTrayIcon(Broken);
    g_app.monitorWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CreateThread(nullptr, 0, monitorLoop, nullptr, 0, nullptr);
}

int runMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        if (handleHistoryWindowMessage(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

bool isAnotherInstanceRunning(const char* productName)
{
    char name[kTextBufferSize];
    copyText(name, "Global\\Brenvik ");
    appendText(name, productName);
    appendText(name, ".exe");
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr)
        return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return true;
    }
    return false;  // held open until the process ends
}

int runApplication(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    restrictDllSearchToSystem();
    setStartValues(g_app);
    if (isAnotherInstanceRunning(kProductName)) {
        showAlreadyRunningMessage();
        return 0;
    }
    g_app.upSoundPath[0] = '\0';
    g_app.downSoundPath[0] = '\0';
    g_app.instance = instance;
    if (!registerMainWindowClass())
        return 0;
    g_app.mainWindow = createMainWindow();
    buildConfigPath();
    loadSettings(openStatusWindow);
    buildTrayMenu();
    InitCommonControls();
    startMonitor();
    return runMessageLoop();
}
