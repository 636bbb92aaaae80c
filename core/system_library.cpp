#include "core/system_library.h"

#include "core/app_state.h"
#include "core/text.h"

namespace {

// Not in older headers: the flag of SetDefaultDllDirectories for the system folder.
enum : DWORD { kSearchSystemFolder = 0x00000800 };

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryFunction)(LPCWSTR);

void* kernelFunction(const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
}

} // namespace

void restrictDllSearchToSystem()
{
    // Both came with later versions or updates: looked up, not imported, so that XP still starts.
    const SetDllDirectoryFunction setDllDirectory =
        reinterpret_cast<SetDllDirectoryFunction>(kernelFunction("SetDllDirectoryW"));
    if (setDllDirectory != nullptr)
        setDllDirectory(L"");  // the current folder is no longer searched
    const SetDefaultDllDirectoriesFunction setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(kernelFunction("SetDefaultDllDirectories"));
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

void findSystemFunctions(const wchar_t* dllName, const char* const names[], FARPROC found[], unsigned count,
                         bool& looked)
{
    if (looked)
        return;
    looked = true;
    const HMODULE module = systemLibrary(dllName);
    for (unsigned i = 0; module != nullptr && i < count; ++i)
        found[i] = GetProcAddress(module, names[i]);
}

void* systemFunction(const wchar_t* dllName, const char* functionName)
{
    const HMODULE module = systemLibrary(dllName);
    return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, functionName)) : nullptr;
}
