#include "web/web_proxy.h"

#include <windows.h>
#include <winhttp.h>

#include "core/system_library.h"

namespace {

const wchar_t kPageHost[] = L"www.msftconnecttest.com";
const wchar_t kPagePath[] = L"/connecttest.txt";
const wchar_t kPageAddress[] = L"http://www.msftconnecttest.com/connecttest.txt";

// The functions of winhttp.dll used, in the order of kWinHttpNames.
struct WinHttp {
    BOOL(WINAPI* userProxy)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
    HINTERNET(WINAPI* open)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
    BOOL(WINAPI* proxyForAddress)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO*);
    BOOL(WINAPI* setTimeouts)(HINTERNET, int, int, int, int);
    HINTERNET(WINAPI* connect)(HINTERNET, LPCWSTR, INTERNET_PORT, DWORD);
    HINTERNET(WINAPI* openRequest)(HINTERNET, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR*, DWORD);
    BOOL(WINAPI* setOption)(HINTERNET, DWORD, LPVOID, DWORD);
    BOOL(WINAPI* send)(HINTERNET, LPCWSTR, DWORD, LPVOID, DWORD, DWORD, DWORD_PTR);
    BOOL(WINAPI* receive)(HINTERNET, LPVOID);
    BOOL(WINAPI* queryHeaders)(HINTERNET, DWORD, LPCWSTR, LPVOID, LPDWORD, LPDWORD);
    BOOL(WINAPI* queryAuthSchemes)(HINTERNET, LPDWORD, LPDWORD, LPDWORD);
    BOOL(WINAPI* setCredentials)(HINTERNET, DWORD, DWORD, LPCWSTR, LPCWSTR, LPVOID);
    BOOL(WINAPI* read)(HINTERNET, LPVOID, DWORD, LPDWORD);
    BOOL(WINAPI* close)(HINTERNET);
};

const char* const kWinHttpNames[] = {
    "WinHttpGetIEProxyConfigForCurrentUser", "WinHttpOpen", "WinHttpGetProxyForUrl", "WinHttpSetTimeouts",
    "WinHttpConnect", "WinHttpOpenRequest", "WinHttpSetOption", "WinHttpSendRequest", "WinHttpReceiveResponse",
    "WinHttpQueryHeaders", "WinHttpQueryAuthSchemes", "WinHttpSetCredentials", "WinHttpReadData",
    "WinHttpCloseHandle",
};
enum : unsigned { kWinHttpFunctions = sizeof kWinHttpNames / sizeof kWinHttpNames[0] };
static_assert(kWinHttpFunctions * sizeof(void*) == sizeof(WinHttp), "a name for each function");

union WinHttpFunctions {
    WinHttp call;
    FARPROC found[kWinHttpFunctions];
};

// Found on first use; all or none.
WinHttpFunctions g_winHttp;
bool g_winHttpLooked = false;

bool findWinHttp()
{
    findSystemFunctions(L"winhttp.dll", kWinHttpNames, g_winHttp.found, kWinHttpFunctions, g_winHttpLooked);
    for (FARPROC function : g_winHttp.found)
        if (function == nullptr)
            return false;
    return true;
}

const WinHttp& winHttp()
{
    return g_winHttp.call;
}

// The proxy that the user's script or discovery names for the page's
// address, in found (its texts the caller's to free): false where neither is
// set or could be read. A script's "DIRECT" leaves found without a proxy.
bool proxyFromScript(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& user, WINHTTP_PROXY_INFO& found)
{
    if (!user.fAutoDetect && user.lpszAutoConfigUrl == nullptr)
        return false;
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.dwFlags = (user.fAutoDetect ? WINHTTP_AUTOPROXY_AUTO_DETECT : 0) |
                      (user.lpszAutoConfigUrl != nullptr ? WINHTTP_AUTOPROXY_CONFIG_URL : 0);
    options.dwAutoDetectFlags = user.fAutoDetect ? WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A : 0;
    options.lpszAutoConfigUrl = user.lpszAutoConfigUrl;
    options.fAutoLogonIfChallenged = TRUE;
    const HINTERNET session =
        winHttp().open(L"Lintora", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session != nullptr)  // the script's download, as the check itself
        winHttp().setTimeouts(session, kWebCheckWaitMs, kWebCheckWaitMs, kWebCheckWaitMs, kWebCheckWaitMs);
    const bool named = session != nullptr && winHttp().proxyForAddress(session, kPageAddress, &options, &found);
    if (session != nullptr)
        winHttp().close(session);
    return named;
}

// The status of the answer, 0 where there was none.
DWORD sendRequest(HINTERNET request)
{
    DWORD status = 0, size = sizeof status;
    if (!winHttp().send(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !winHttp().receive(request, nullptr) ||
        !winHttp().queryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return 0;
    return status;
}

// The user's own sign-in, where the proxy takes one that needs no password
// typed (Negotiate, NTLM), as browsers give it.
bool offerOwnCredentials(HINTERNET request)
{
    DWORD schemes = 0, first = 0, target = 0;
    if (!winHttp().queryAuthSchemes(request, &schemes, &first, &target))
        return false;
    const DWORD scheme = (schemes & WINHTTP_AUTH_SCHEME_NEGOTIATE) ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                         : (schemes & WINHTTP_AUTH_SCHEME_NTLM)    ? WINHTTP_AUTH_SCHEME_NTLM
                                                                   : 0;
    return scheme != 0 && winHttp().setCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr,
                                                   nullptr);
}

ProxyAnswer readAnswer(HINTERNET request, DWORD status)
{
    static char body[kMaxWebAnswerBytes];  // the monitor thread's alone
    DWORD length = 0, read = 0;
    while (length < sizeof body && winHttp().read(request, body + length, sizeof body - length, &read) && read != 0)
        length += read;
    return judgeProxyReply(status, body, length);
}

ProxyAnswer fetchPage(HINTERNET session)
{
    ProxyAnswer answer = ProxyAnswer::Unreachable;
    const HINTERNET connection = winHttp().connect(session, kPageHost, INTERNET_DEFAULT_HTTP_PORT, 0);
    const HINTERNET request = connection != nullptr
                                  ? winHttp().openRequest(connection, L"GET", kPagePath, nullptr, WINHTTP_NO_REFERER,
                                                          WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                  : nullptr;
    if (request != nullptr) {
        DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW, noRedirects = WINHTTP_DISABLE_REDIRECTS;
        winHttp().setOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof logon);
        winHttp().setOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
        DWORD status = sendRequest(request);
        if (status == HTTP_STATUS_PROXY_AUTH_REQ && offerOwnCredentials(request))
            status = sendRequest(request);
        if (status != 0)
            answer = readAnswer(request, status);
        winHttp().close(request);
    }
    if (connection != nullptr)
        winHttp().close(connection);
    return answer;
}

} // namespace

ProxyAnswer fetchThroughProxy(uint32_t connectWaitMs)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user = {};
    if (!findWinHttp() || !winHttp().userProxy(&user))
        return ProxyAnswer::NoProxy;
    WINHTTP_PROXY_INFO scripted = {};
    const bool fromScript = proxyFromScript(user, scripted);
    const wchar_t* proxy = fromScript ? scripted.lpszProxy : user.lpszProxy;
    const wchar_t* bypass = fromScript ? scripted.lpszProxyBypass : user.lpszProxyBypass;
    ProxyAnswer answer = ProxyAnswer::NoProxy;
    // The session's own proxy: the one every version of WinHTTP honours.
    const HINTERNET session =
        proxy != nullptr ? winHttp().open(L"Lintora", WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy,
                                          bypass != nullptr ? bypass : WINHTTP_NO_PROXY_BYPASS, 0)
                         : nullptr;
    if (session != nullptr) {
        winHttp().setTimeouts(session, kWebCheckWaitMs, connectWaitMs, kWebCheckWaitMs, kWebCheckWaitMs);
        answer = fetchPage(session);
        winHttp().close(session);
    }
    GlobalFree(scripted.lpszProxy);
    GlobalFree(scripted.lpszProxyBypass);
    GlobalFree(user.lpszAutoConfigUrl);
    GlobalFree(user.lpszProxy);
    GlobalFree(user.lpszProxyBypass);
    return answer;
}
