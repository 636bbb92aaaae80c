#include "tray/user_guide.h"

#include <shellapi.h>

#include "core/text.h"
#include "res/resource.h"

namespace {

#ifndef LINTORA_GUIDE_HOST
#define LINTORA_GUIDE_HOST ""
#endif
// Empty: the guide stored in the program.
const char kGuideHost[] = LINTORA_GUIDE_HOST;

bool writeAll(const wchar_t* path, const void* bytes, DWORD size)
{
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    return CloseHandle(file) && whole;
}

} // namespace

bool writeUserGuide(wchar_t (&path)[kTextBufferSize])
{
    const HRSRC found = FindResourceA(g_app.instance, MAKEINTRESOURCEA(IDR_USER_GUIDE), MAKEINTRESOURCEA(10));  // RT_RCDATA
    const HGLOBAL loaded = found != nullptr ? LoadResource(g_app.instance, found) : nullptr;
    const void* page = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD length = GetTempPathW(kTextBufferSize, path);
    if (page == nullptr || length == 0 || length >= kTextBufferSize || !appendText(path, L"Lintora user guide.html"))
        return false;
    return writeAll(path, page, SizeofResource(g_app.instance, found));
}

void openUserGuide()
{
    if (kGuideHost[0] != '\0') {
        char address[kTextBufferSize];
        copyText(address, "http://");
        appendText(address, kGuideHost);
        appendText(address, "/lintora/user_guide.php");
        ShellExecuteA(nullptr, "open", address, "", "", SW_SHOWNORMAL);
        return;
    }
    wchar_t path[kTextBufferSize];
    if (writeUserGuide(path))
        ShellExecuteW(nullptr, L"open", path, L"", L"", SW_SHOWNORMAL);
    else
        MessageBoxA(g_app.mainWindow, "The user guide could not be written to the temporary folder.", "Lintora?",
                    MB_OK | MB_ICONERROR);
}
