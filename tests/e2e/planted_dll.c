/* A DLL planted beside a program under the name of a system DLL that is not
   a known DLL (winmm.dll, iphlpapi.dll): when anything loads it, it leaves
   "NAME.loaded" beside itself, and so gives itself away. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t mark[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameW(self, mark, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatW(mark, L".loaded");
            CloseHandle(CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
        }
    }
    return TRUE;
}
