// Looks at a running Lintora from outside, as another program on the same
// Wine desktop can: finds its windows, reads their texts, posts commands.
//   lintora_peek main                 found=0|1 visible=0|1 class=... title=...
//   lintora_peek status               found=0|1 visible=0|1 x=.. y=.. ok=... text=...
//   lintora_peek command ID           posts WM_COMMAND ID to the main window
//   lintora_peek remove-icon UID      deletes the notification icon UID of the main window
//   lintora_peek taskbar-created      sends "TaskbarCreated" to the main window
//   lintora_peek resume               tells the main window the machine resumed from sleep
//   lintora_peek suspend              and that it is going to sleep
//   lintora_peek window CAPTION       visible=0|1 (a dialog window with that caption)
//   lintora_peek control CAPTION ID   "X Y", the middle of a control of that window
//   lintora_peek choose-file CAPTION PATH
//                                     puts PATH (any characters) in the name box of that
//                                     open-file dialog and presses Open
//   lintora_peek hold-file PATH readers|spreadsheet|nobody SECONDS
//                                     keeps PATH open for reading that long, letting
//                                     readers and writers, readers only (as spreadsheets
//                                     do), or nobody open it meanwhile
//   lintora_peek resources            threads=N handles=N gdi=N user=N of the running Lintora
//   lintora_peek watch                prints "MS TEXT" (milliseconds since the Unix epoch) each
//                                     time the status text or the visibility changes, until killed
//                                     (a line break in the text, here and in status, as \n)
//   lintora_peek boxes CAPTION        count=N text=... (message boxes with that caption)
//   lintora_peek dismiss CAPTION      presses OK on every such message box
//   lintora_peek history              found=0|1 visible=0|1 x=.. y=.. w=.. h=.. title=... (the History window)
//   lintora_peek clipboard            the clipboard's text
//   lintora_peek tooltips             the text of each tooltip on screen, a line each
//   lintora_peek menus                "X Y W H" for each popup menu on screen, the
//                                     deepest open submenu first; nothing when none
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND findMainWindow() { return FindWindowA("Lintora?", "Lintora?"); }

int printMain()
{
    const HWND main = findMainWindow();
    char cls[64] = "", title[64] = "";
    if (main) {
        GetClassNameA(main, cls, sizeof cls);
        GetWindowTextA(main, title, sizeof title);
    }
    std::printf("found=%d visible=%d class=%s title=%s\n", main != nullptr, main && IsWindowVisible(main), cls,
                title);
    return 0;
}

// The status text on one line: its line break written as the two characters \n.
void readStatusText(HWND status, char (&text)[256])
{
    char raw[128] = "";
    GetDlgItemTextA(status, 1000, raw, sizeof raw);
    size_t n = 0;
    for (const char* c = raw; *c != '\0' && n + 2 < sizeof text; ++c) {
        if (*c == '\r')
            continue;
        if (*c == '\n')
            text[n++] = '\\';
        text[n++] = *c == '\n' ? 'n' : *c;
    }
    text[n] = '\0';
}

int printStatus()
{
    const HWND status = FindWindowA("#32770", "Lintora?");
    char text[256] = "", ok[32] = "";
    RECT rect = {};
    if (status) {
        readStatusText(status, text);
        GetDlgItemTextA(status, IDOK, ok, sizeof ok);
        GetWindowRect(status, &rect);
    }
    std::printf("found=%d visible=%d x=%ld y=%ld ok=%s text=%s\n", status != nullptr,
                status && IsWindowVisible(status), rect.left, rect.top, ok, text);
    return 0;
}

int printHistory()
{
    const HWND history = FindWindowW(L"LintoraHistory", nullptr);
    char title[256] = "";
    RECT rect = {};
    if (history) {
        GetWindowTextA(history, title, sizeof title);
        GetWindowRect(history, &rect);
    }
    std::printf("found=%d visible=%d x=%ld y=%ld w=%ld h=%ld title=%s\n", history != nullptr,
                history && IsWindowVisible(history), rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, title);
    return 0;
}

// The text of every tooltip on screen (the notification area's, over an
// icon the pointer rests on), a line each, its line breaks as \n. The tool
// is asked in the tooltip's own process: the record and the text buffer are
// made there, and read back.
BOOL CALLBACK printTooltip(HWND window, LPARAM)
{
    wchar_t name[32] = L"";
    GetClassNameW(window, name, 32);
    if (lstrcmpiW(name, L"tooltips_class32") != 0 || !IsWindowVisible(window))
        return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    char* remote = process != nullptr ? static_cast<char*>(VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT,
                                                                          PAGE_READWRITE))
                                      : nullptr;
    wchar_t text[512] = L"";
    if (remote != nullptr) {
        TOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.lpszText = reinterpret_cast<LPWSTR>(remote + 1024);
        WriteProcessMemory(process, remote, &tool, sizeof tool, nullptr);
        WriteProcessMemory(process, remote + 1024, text, sizeof text, nullptr);
        if (SendMessageW(window, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(remote)))
            ReadProcessMemory(process, remote + 1024, text, sizeof text - sizeof(wchar_t), nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    if (process != nullptr)
        CloseHandle(process);
    char utf8[2048];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    for (const char* c = utf8; *c != '\0'; ++c)
        std::fputs(*c == '\n' ? "\\n" : std::string(1, *c).c_str(), stdout);
    std::fputs("\n", stdout);
    return TRUE;
}

// The clipboard's text as it stands, with its line ends.
int printClipboard()
{
    if (!OpenClipboard(nullptr))
        return 1;
    if (const HANDLE data = GetClipboardData(CF_TEXT)) {
        std::fputs(static_cast<const char*>(GlobalLock(data)), stdout);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return 0;
}

struct BoxSearch {
    const char* caption;
    int count;
    HWND first;
};

BOOL CALLBACK collectBox(HWND window, LPARAM context)
{
    BoxSearch& search = *reinterpret_cast<BoxSearch*>(context);
    char cls[32], title[256];
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(cls, "#32770") == 0 && std::strcmp(title, search.caption) == 0 && IsWindowVisible(window)) {
        if (search.count++ == 0)
            search.first = window;
    }
    return TRUE;
}

BOOL CALLBACK findStaticText(HWND child, LPARAM context)
{
    char cls[32];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    char* text = reinterpret_cast<char*>(context);
    if (GetWindowTextA(child, text, 256) > 0)
        return FALSE;
    return TRUE;
}

BoxSearch findBoxes(const char* caption)
{
    BoxSearch search = {caption, 0, nullptr};
    EnumWindows(collectBox, reinterpret_cast<LPARAM>(&search));
    return search;
}

int printBoxes(const char* caption)
{
    const BoxSearch search = findBoxes(caption);
    char text[256] = "";
    if (search.first)
        EnumChildWindows(search.first, findStaticText, reinterpret_cast<LPARAM>(text));
    std::printf("count=%d text=%s\n", search.count, text);
    return 0;
}

int dismissBoxes(const char* caption)
{
    int dismissed = 0;
    for (BoxSearch search = findBoxes(caption); search.first && dismissed < 100; search = findBoxes(caption)) {
        PostMessageA(search.first, WM_COMMAND, IDOK, 0);
        ++dismissed;
        for (int i = 0; i < 50 && IsWindow(search.first) && IsWindowVisible(search.first); ++i)
            Sleep(100);
    }
    std::printf("dismissed=%d\n", dismissed);
    return 0;
}

int removeIcon(UINT id)
{
    NOTIFYICONDATAA record = {};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = findMainWindow();
    record.uID = id;
    std::printf("removed=%d\n", Shell_NotifyIconA(NIM_DELETE, &record) ? 1 : 0);
    return 0;
}

BOOL CALLBACK printMenuWindow(HWND window, LPARAM)
{
    char cls[16];
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32768") == 0 && IsWindowVisible(window)) {
        RECT rect;
        GetWindowRect(window, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    }
    return TRUE;
}

int printControl(const char* caption, int id)
{
    const BoxSearch search = findBoxes(caption);
    const HWND control = search.first ? GetDlgItem(search.first, id) : nullptr;
    if (control == nullptr)
        return 1;
    RECT rect;
    GetWindowRect(control, &rect);
    std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    return 0;
}

// Argument n (0: the program) from the wide command line, so that no code
// page spoils a path; empty when there is none.
std::wstring wideArgument(int n)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring argument = arguments != nullptr && n < count ? arguments[n] : L"";
    LocalFree(arguments);
    return argument;
}

int chooseFile(const char* caption)
{
    const std::wstring path = wideArgument(3);
    const HWND dialog = findBoxes(caption).first;
    if (path.empty() || dialog == nullptr)
        return 1;
    // The name box: a combo box (cmb13) in explorer-style dialogs, an edit (edt1) in others.
    SetDlgItemTextW(dialog, 1148, path.c_str());
    SetDlgItemTextW(dialog, 1152, path.c_str());
    return PostMessageA(dialog, WM_COMMAND, IDOK, 0) ? 0 : 1;
}

// As a spreadsheet showing the file would, or as a program that locks it.
int holdFile(const char* sharing, int seconds)
{
    const DWORD share = std::strcmp(sharing, "readers") == 0       ? FILE_SHARE_READ | FILE_SHARE_WRITE
                        : std::strcmp(sharing, "spreadsheet") == 0 ? FILE_SHARE_READ
                                                                   : 0;
    const HANDLE file = CreateFileW(wideArgument(2).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    std::printf("held=%d\n", file != INVALID_HANDLE_VALUE);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    CloseHandle(file);
    return 0;
}

DWORD lintoraProcessId()
{
    DWORD pid = 0;
    if (const HWND main = findMainWindow())
        GetWindowThreadProcessId(main, &pid);
    return pid;
}

int countThreads(DWORD pid)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid)
            ++count;
    CloseHandle(snapshot);
    return count;
}

int printResources()
{
    const DWORD pid = lintoraProcessId();
    if (pid == 0)
        return 1;
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    DWORD handles = 0;
    if (process)
        GetProcessHandleCount(process, &handles);
    const DWORD gdi = process ? GetGuiResources(process, GR_GDIOBJECTS) : 0;
    const DWORD user = process ? GetGuiResources(process, GR_USEROBJECTS) : 0;
    if (process)
        CloseHandle(process);
    std::printf("threads=%d handles=%lu gdi=%lu user=%lu\n", countThreads(pid), handles, gdi, user);
    return 0;
}

long long unixMilliseconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>(ticks / 10000 - 11644473600000ULL);
}

int watchStatus()
{
    char last[300] = "-";
    for (;;) {
        const HWND status = FindWindowA("#32770", "Lintora?");
        char now[300] = "none";
        if (status) {
            char text[256] = "";
            readStatusText(status, text);
            std::snprintf(now, sizeof now, "%s %s", IsWindowVisible(status) ? "shown" : "hidden", text);
        }
        if (std::strcmp(now, last) != 0) {
            std::printf("%lld %s\n", unixMilliseconds(), now);
            std::fflush(stdout);
            std::memcpy(last, now, sizeof last);
        }
        Sleep(10);
    }
}

int printMenus()
{
    EnumWindows(printMenuWindow, 0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* verb = argc > 1 ? argv[1] : "";
    int result = 2;
    if (std::strcmp(verb, "main") == 0)
        result = printMain();
    else if (std::strcmp(verb, "status") == 0)
        result = printStatus();
    else if (std::strcmp(verb, "command") == 0 && argc > 2)
        result = PostMessageA(findMainWindow(), WM_COMMAND, std::atoi(argv[2]), 0) ? 0 : 1;
    else if (std::strcmp(verb, "remove-icon") == 0 && argc > 2)
        result = removeIcon(static_cast<UINT>(std::atoi(argv[2])));
    else if (std::strcmp(verb, "taskbar-created") == 0)
        result = PostMessageA(findMainWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0) ? 0 : 1;
    else if (std::strcmp(verb, "resume") == 0)
        result = PostMessageA(findMainWindow(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0) ? 0 : 1;
    else if (std::strcmp(verb, "suspend") == 0)
        result = PostMessageA(findMainWindow(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0) ? 0 : 1;
    else if (std::strcmp(verb, "window") == 0 && argc > 2)
        result = std::printf("visible=%d\n", findBoxes(argv[2]).count > 0) < 0;
    else if (std::strcmp(verb, "control") == 0 && argc > 3)
        result = printControl(argv[2], std::atoi(argv[3]));
    else if (std::strcmp(verb, "choose-file") == 0 && argc > 3)
        result = chooseFile(argv[2]);
    else if (std::strcmp(verb, "hold-file") == 0 && argc > 4)
        result = holdFile(argv[3], std::atoi(argv[4]));
    else if (std::strcmp(verb, "resources") == 0)
        result = printResources();
    else if (std::strcmp(verb, "watch") == 0)
        result = watchStatus();
    else if (std::strcmp(verb, "history") == 0)
        result = printHistory();
    else if (std::strcmp(verb, "menus") == 0)
        result = printMenus();
    else if (std::strcmp(verb, "clipboard") == 0)
        result = printClipboard();
    else if (std::strcmp(verb, "tooltips") == 0)
        result = EnumWindows(printTooltip, 0) ? 0 : 1;
    else if (std::strcmp(verb, "boxes") == 0 && argc > 2)
        result = printBoxes(argv[2]);
    else if (std::strcmp(verb, "dismiss") == 0 && argc > 2)
        result = dismissBoxes(argv[2]);
    else
        std::fprintf(stderr, "usage: see the comment at the top of lintora_peek.cpp\n");
    std::fflush(stdout);
    return result;
}
