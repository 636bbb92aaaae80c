#include "system/start_with_windows.h"

#include "core/app_state.h"
#include "core/text.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"Lintora";

enum : DWORD { kCommandSize = kTextBufferSize + 2 };

// This executable's full path in double quotes; false when it cannot be had.
bool quotedProgramPath(wchar_t (&command)[kCommandSize])
{
    wchar_t path[kTextBufferSize];
    const DWORD length = GetModuleFileNameW(nullptr, path, kTextBufferSize);
    if (length == 0 || length >= kTextBufferSize)
        return false;
    copyText(command, L"\"");
    appendText(command, path);
    return appendText(command, L"\"");
}

} // namespace

bool isStartingWithWindows()
{
    wchar_t expected[kCommandSize];
    HKEY key;
    if (!quotedProgramPath(expected) || RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    wchar_t stored[kCommandSize] = L"";
    DWORD type = 0;
    DWORD size = sizeof stored - sizeof stored[0];  // room for a NUL the data may lack
    const bool found = RegQueryValueExW(key, kValueName, nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) ==
                       ERROR_SUCCESS;
    RegCloseKey(key);
    return found && type == REG_SZ && lstrcmpiW(stored, expected) == 0;
}

void setStartingWithWindows(bool start)
{
    wchar_t command[kCommandSize];
    HKEY key;
    if (!quotedProgramPath(command) ||
        RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (start)
        RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                       static_cast<DWORD>((lstrlenW(command) + 1) * sizeof command[0]));
    else
        RegDeleteValueW(key, kValueName);
    RegCloseKey(key);
}
