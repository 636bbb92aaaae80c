#include "win_test_support.h"

#include <cstdio>
#include <cstring>

std::string makeScratchFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static unsigned counter;
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%slintora-test-%lu-%u", temp, GetCurrentProcessId(), ++counter);
    CreateDirectoryA(folder, nullptr);
    return folder;
}

namespace {

// Wide, so that folders named in any script go too.
void removeFolderTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeFolderTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

void removeScratchFolder(const std::string& folder)
{
    removeFolderTree(std::wstring(folder.begin(), folder.end()));
}

std::string readWholeFile(const std::string& path)
{
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            bytes.append(chunk, n);
        std::fclose(file);
    }
    return bytes;
}

void writeWholeFile(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void resetAppState(const std::string& configPath)
{
    setStartValues(g_app);
    g_app.instance = GetModuleHandleA(nullptr);
    MultiByteToWideChar(CP_ACP, 0, configPath.c_str(), -1, g_app.configPath, kTextBufferSize);
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

#include "tray/main_window.h"
#include "tray/status_window.h"

void TrayTestBase::setUpTray()
{
    folder = makeScratchFolder();
    configPath = folder + "\\config.ini";
    resetAppState(configPath);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = g_app.instance;
    windowClass.lpszClassName = L"LintoraTestMain";
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    g_app.mainWindow = CreateWindowExW(0, L"LintoraTestMain", L"LintoraTestMain", WS_OVERLAPPEDWINDOW,
                                       CW_USEDEFAULT, CW_USEDEFAULT, 544, 375, nullptr, nullptr,
                                       g_app.instance, nullptr);
}

void TrayTestBase::tearDownTray()
{
    closeStatusWindow();
    if (g_app.trayMenu)
        DestroyMenu(g_app.trayMenu);
    DestroyWindow(g_app.mainWindow);
    pumpMessages();
    MSG quit;
    while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    removeScratchFolder(folder);
}
