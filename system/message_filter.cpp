#include "system/message_filter.h"

namespace {

enum : DWORD { kMessageFilterAllow = 1, kMessageFilterAdd = 1 };  // MSGFLT_ALLOW, MSGFLT_ADD

} // namespace

MessageFilterFunctions findMessageFilterFunctions()
{
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    MessageFilterFunctions functions = {};
    if (user32 == nullptr)
        return functions;
    functions.changeForWindow = reinterpret_cast<decltype(functions.changeForWindow)>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    functions.changeForProcess = reinterpret_cast<decltype(functions.changeForProcess)>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    return functions;
}

void letMessageThrough(HWND window, UINT message, const MessageFilterFunctions& functions)
{
    if (functions.changeForWindow != nullptr)
        functions.changeForWindow(window, message, kMessageFilterAllow, nullptr);
    else if (functions.changeForProcess != nullptr)
        functions.changeForProcess(message, kMessageFilterAdd);
}
