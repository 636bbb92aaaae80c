#include "core/system_library.h"

#include "core/app_state.h"
#include "core/text.h"

namespace {

// Not in older headers: the flag of SetDefaultDllDirectories for the system folder.
enum : DWORD { kSearchSystemFolder = 0x00000800 };

} // namespace

void restrictDllSearchToSystem()
{
    // Both came with later versions or updates: looked up, not imported, so that XP still starts.
    BOOL(WINAPI * setDllDirectory)(LPCWSTR);
    BOOL(WINAPI * setDefault)(DWORD);
    findSystemFunction(setDllDirectory, L"kernel32.dll", "SetDllDirectoryW");
    findSystemFunction(setDefault, L"kernel32.dll", "SetDefaultDllDirectories");
    if (setDllDirectory != nullptr)
        setDllDirectory(L"");  // the current folder is no longer searched
    if (setDefault != nullptr)
        setDefault(kSearchSystemFolder);
}

HMODULE systemLibrary(const wchar_t* dllName)
{
    wchar_t path[kTextBufferSize];
    const UINT length = GetSystemDirectoryW(path, kTextBufferSize);
    if (length == 0 || length >= kTextBufferSize || !appendText(path, L"\\") || !appendText(path, dllName))
        return nullptr;
    // A full path, and the DLL's own imports looked for beside it: in the system folder.
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC systemProcedure(const wchar_t* dllName, const char* functionName)
{
    // Loaded already: by the import table, or by an earlier look here (from the system folder).
    HMODULE module = GetModuleHandleW(dllName);
    if (module == nullptr)
        module = systemLibrary(dllName);
    return module != nullptr ? GetProcAddress(module, functionName) : nullptr;
}
