// DLLs that Windows does not protect as known DLLs (winmm for sounds,
// iphlpapi for the ICMP service) are loaded from the system folder only,
// when first needed: a file of the same name beside the program, say in a
// Downloads folder, is never run. The import table names known DLLs alone.
#pragma once

#include <windows.h>

// Keeps DLLs that are loaded by name later (by the system's own code too) to
// the system folder, where the system can (Windows 8, and 7 with its update),
// and takes the current folder out of the search everywhere else.
void restrictDllSearchToSystem();

// A DLL of the system folder, by its full path; null where it is missing.
HMODULE systemLibrary(const wchar_t* dllName);

// The named functions of a DLL in the system folder, looked up once into
// `found` (each null where missing): `looked` says whether that was done.
void findSystemFunctions(const wchar_t* dllName, const char* const names[], FARPROC found[], unsigned count,
                         bool& looked);

// A function of a DLL in the system folder; null when either is missing.
void* systemFunction(const wchar_t* dllName, const char* functionName);
