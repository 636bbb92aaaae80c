#include "system/message_filter.h"

#include "core/system_library.h"

namespace {

enum : DWORD { kMessageFilterAllow = 1, kMessageFilterAdd = 1 };  // MSGFLT_ALLOW, MSGFLT_ADD

} // namespace

MessageFilterFunctions findMessageFilterFunctions()
{
    MessageFilterFunctions functions = {};
    findSystemFunction(functions.changeForWindow, L"user32.dll", "ChangeWindowMessageFilterEx");
    findSystemFunction(functions.changeForProcess, L"user32.dll", "ChangeWindowMessageFilter");
    return functions;
}

void letMessageThrough(HWND window, UINT message, const MessageFilterFunctions& functions)
{
    if (functions.changeForWindow != nullptr)
        functions.changeForWindow(window, message, kMessageFilterAllow, nullptr);
    else if (functions.changeForProcess != nullptr)
        functions.changeForProcess(message, kMessageFilterAdd);
}
