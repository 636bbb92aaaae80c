// DLLs that Windows does not protect as known DLLs (winmm for sounds,
// iphlpapi for the ICMP service, winhttp for the proxy) are loaded from the
// system folder only, when first needed: a file of the same name beside the
// program, say in a Downloads folder, is never run. The import table names
// known DLLs alone.
#pragma once

#include <windows.h>

// Keeps DLLs that are loaded by name later (by the system's own code too) to
// the system folder, where the system can (Windows 8, and 7 with its update),
// and takes the current folder out of the search everywhere else.
void restrictDllSearchToSystem();

// A DLL of the system folder, by its full path; null where it is missing.
HMODULE systemLibrary(const wchar_t* dllName);

// The one way a function is looked up that not every Windows has (a later
// version's, or one of a DLL the program does not import): from the DLL the
// program has loaded already (kernel32, user32, shell32, comctl32), else from
// the one in the system folder, loaded by its full path. Null where either
// is missing. Each caller looks its functions up once and keeps them.
FARPROC systemProcedure(const wchar_t* dllName, const char* functionName);

template <typename Function> void findSystemFunction(Function& function, const wchar_t* dllName, const char* name)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(systemProcedure(dllName, name)));
}
