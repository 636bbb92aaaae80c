// Where the program starts: here, without the C runtime's start-up code. None
// of it is needed (no arguments, standard streams or exit handlers; the C
// functions used need no set-up), and leaving it out makes the release
// 10 KiB smaller.
#include <windows.h>

#include "app/application.h"

namespace {

typedef void (*Constructor)();

} // namespace

// The linker's list of constructors of globals: a count or -1, the
// constructors, then 0. The product defines no such global; any one added
// later is still run, last listed first, as the runtime would.
extern "C" Constructor __CTOR_LIST__[];

extern "C" void WINAPI startLintora()
{
    int count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr)
        ++count;
    for (; count > 0; --count)
        __CTOR_LIST__[count]();
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess(static_cast<UINT>(runApplication(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), show)));
}
