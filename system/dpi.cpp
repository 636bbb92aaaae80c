#include "system/dpi.h"

#include "core/system_library.h"

namespace {

struct DpiFunctions {
    UINT(WINAPI* dpiForWindow)(HWND);
    BOOL(WINAPI* adjustForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT);
    int(WINAPI* metricForDpi)(int, UINT);
};

// From user32 (Windows 10); null where missing.
const DpiFunctions& dpiFunctions()
{
    static DpiFunctions f;
    static bool looked = false;
    if (!looked) {
        looked = true;
        findSystemFunction(f.dpiForWindow, L"user32.dll", "GetDpiForWindow");
        findSystemFunction(f.adjustForDpi, L"user32.dll", "AdjustWindowRectExForDpi");
        findSystemFunction(f.metricForDpi, L"user32.dll", "GetSystemMetricsForDpi");
    }
    return f;
}

UINT systemDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

} // namespace

UINT windowDpi(HWND window)
{
    const DpiFunctions& f = dpiFunctions();
    const UINT dpi = f.dpiForWindow != nullptr && window != nullptr ? f.dpiForWindow(window) : 0;
    return dpi != 0 ? dpi : systemDpi();
}

void adjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi)
{
    const DpiFunctions& f = dpiFunctions();
    if (f.adjustForDpi == nullptr || !f.adjustForDpi(&rect, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

int systemMetricForDpi(int metric, UINT dpi)
{
    const DpiFunctions& f = dpiFunctions();
    return f.metricForDpi != nullptr ? f.metricForDpi(metric, dpi) : GetSystemMetrics(metric);
}

UINT taskbarDpi()
{
    const DpiFunctions& f = dpiFunctions();
    const HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    return f.dpiForWindow != nullptr && taskbar != nullptr ? f.dpiForWindow(taskbar) : 0;
}
