#include "web/web_proxy.h"

#include <windows.h>
#include <winhttp.h>

#include "core/system_library.h"

namespace {

const wchar_t kPageHost[] = L"www.msftconnecttest.com";
const wchar_t kPagePath[] = L"/connecttest.txt";
const wchar_t kPageAddress[] = L"http://www.msftconnecttest.com/connecttest.txt";

enum : DWORD {
    // The proxy found is trusted this long on one network; then it is found anew.
    kProxyFoundForMs = 600000,
    // Discovery and scripts take no longer: no step of a probe may.
    kDiscoveryLimitMs = 5000,
};

// The functions of winhttp.dll used.
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
    // From Windows 8 on: discovery and scripts that can be given up after a limit.
    WINHTTP_STATUS_CALLBACK(WINAPI* setCallback)(HINTERNET, WINHTTP_STATUS_CALLBACK, DWORD, DWORD_PTR);
    DWORD(WINAPI* createResolver)(HINTERNET, HINTERNET*);
    DWORD(WINAPI* proxyForAddressLater)(HINTERNET, PCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, DWORD_PTR);
    DWORD(WINAPI* resolverResult)(HINTERNET, WINHTTP_PROXY_RESULT*);
    VOID(WINAPI* freeResult)(WINHTTP_PROXY_RESULT*);
};

// Found on first use.
WinHttp g_winHttp;
bool g_winHttpLooked = false;

// All but the Windows 8 functions, which may be missing.
bool findWinHttp()
{
    WinHttp& f = g_winHttp;
    if (!g_winHttpLooked) {
        g_winHttpLooked = true;
        const wchar_t* const dll = L"winhttp.dll";
        findSystemFunction(f.userProxy, dll, "WinHttpGetIEProxyConfigForCurrentUser");
        findSystemFunction(f.open, dll, "WinHttpOpen");
        findSystemFunction(f.proxyForAddress, dll, "WinHttpGetProxyForUrl");
        findSystemFunction(f.setTimeouts, dll, "WinHttpSetTimeouts");
        findSystemFunction(f.connect, dll, "WinHttpConnect");
        findSystemFunction(f.openRequest, dll, "WinHttpOpenRequest");
        findSystemFunction(f.setOption, dll, "WinHttpSetOption");
        findSystemFunction(f.send, dll, "WinHttpSendRequest");
        findSystemFunction(f.receive, dll, "WinHttpReceiveResponse");
        findSystemFunction(f.queryHeaders, dll, "WinHttpQueryHeaders");
        findSystemFunction(f.queryAuthSchemes, dll, "WinHttpQueryAuthSchemes");
        findSystemFunction(f.setCredentials, dll, "WinHttpSetCredentials");
        findSystemFunction(f.read, dll, "WinHttpReadData");
        findSystemFunction(f.close, dll, "WinHttpCloseHandle");
        findSystemFunction(f.setCallback, dll, "WinHttpSetStatusCallback");
        findSystemFunction(f.createResolver, dll, "WinHttpCreateProxyResolver");
        findSystemFunction(f.proxyForAddressLater, dll, "WinHttpGetProxyForUrlEx");
        findSystemFunction(f.resolverResult, dll, "WinHttpGetProxyResult");
        findSystemFunction(f.freeResult, dll, "WinHttpFreeProxyResult");
    }
    return f.userProxy != nullptr && f.open != nullptr && f.proxyForAddress != nullptr && f.setTimeouts != nullptr &&
           f.connect != nullptr && f.openRequest != nullptr && f.setOption != nullptr && f.send != nullptr &&
           f.receive != nullptr && f.queryHeaders != nullptr && f.queryAuthSchemes != nullptr &&
           f.setCredentials != nullptr && f.read != nullptr && f.close != nullptr;
}

const WinHttp& winHttp()
{
    return g_winHttp;
}

bool canDiscoverWithLimit()
{
    const WinHttp& f = g_winHttp;
    return f.setCallback != nullptr && f.createResolver != nullptr && f.proxyForAddressLater != nullptr &&
           f.resolverResult != nullptr && f.freeResult != nullptr;
}

// The user's settings, read anew at each check (a registry read), and a
// number that changes with them.
struct UserProxy {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config;
    uint32_t fingerprint;
};

uint32_t addToFingerprint(uint32_t hash, const wchar_t* text)
{
    for (; text != nullptr && *text != 0; ++text)
        hash = (hash ^ static_cast<uint32_t>(*text)) * 16777619u;
    return (hash ^ 0xFFu) * 16777619u;
}

bool readUserProxy(UserProxy& user)
{
    user = UserProxy();
    if (!winHttp().userProxy(&user.config))
        return false;
    uint32_t hash = user.config.fAutoDetect ? 2166136261u : 2166136261u ^ 1u;
    hash = addToFingerprint(hash, user.config.lpszAutoConfigUrl);
    hash = addToFingerprint(hash, user.config.lpszProxy);
    user.fingerprint = addToFingerprint(hash, user.config.lpszProxyBypass);
    return true;
}

void freeUserProxy(UserProxy& user)
{
    GlobalFree(user.config.lpszAutoConfigUrl);
    GlobalFree(user.config.lpszProxy);
    GlobalFree(user.config.lpszProxyBypass);
}

bool wantsDiscovery(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& user)
{
    return user.fAutoDetect || user.lpszAutoConfigUrl != nullptr;
}

WINHTTP_AUTOPROXY_OPTIONS discoveryOptions(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& user)
{
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.dwFlags = (user.fAutoDetect ? WINHTTP_AUTOPROXY_AUTO_DETECT : 0) |
                      (user.lpszAutoConfigUrl != nullptr ? WINHTTP_AUTOPROXY_CONFIG_URL : 0);
    options.dwAutoDetectFlags = user.fAutoDetect ? WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A : 0;
    options.lpszAutoConfigUrl = user.lpszAutoConfigUrl;
    // The script's server may ask for the user's sign-in, as browsers give it.
    options.fAutoLogonIfChallenged = TRUE;
    return options;
}

// The proxy named for the page, as "host:port", or "" for DIRECT.
typedef wchar_t ProxyName[260];

// Discovery or a script, asked without waiting (Windows 8 and later) so that
// it can be given up after 5 s. The callback runs on a thread of WinHTTP's:
// it touches only `finished`, and only for the discovery it was asked for.
struct Discovery {
    bool running;
    uint32_t network, fingerprint;
    DWORD startMs;
    HINTERNET session, resolver;
    HANDLE done;
    volatile LONG generation;  // of the discovery under way
    volatile LONG finished;    // its generation, once its answer (or failure) is in
    volatile LONG succeeded;
};
Discovery g_discovery;

void CALLBACK onDiscoveryStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD)
{
    if (status != WINHTTP_CALLBACK_STATUS_GETPROXYFORURL_COMPLETE && status != WINHTTP_CALLBACK_STATUS_REQUEST_ERROR)
        return;
    if (static_cast<LONG>(context) != InterlockedCompareExchange(&g_discovery.generation, 0, 0))
        return;  // a discovery given up: its answer comes too late
    InterlockedExchange(&g_discovery.succeeded, status == WINHTTP_CALLBACK_STATUS_GETPROXYFORURL_COMPLETE);
    InterlockedExchange(&g_discovery.finished, static_cast<LONG>(context));
    SetEvent(g_discovery.done);
}

void endDiscovery()
{
    Discovery& d = g_discovery;
    InterlockedIncrement(&d.generation);  // whatever still comes belongs to no one
    if (d.resolver != nullptr)
        winHttp().close(d.resolver);
    if (d.session != nullptr)
        winHttp().close(d.session);
    d.resolver = d.session = nullptr;
    d.running = false;
}

// Starts discovery for this network, where it can be given up after 5 s.
bool startDiscovery(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& user, uint32_t network, uint32_t fingerprint)
{
    Discovery& d = g_discovery;
    endDiscovery();
    if (!canDiscoverWithLimit())
        return false;
    if (d.done == nullptr)
        d.done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    d.session = winHttp().open(L"Lintora", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (d.done == nullptr || d.session == nullptr || winHttp().createResolver(d.session, &d.resolver) != NO_ERROR) {
        endDiscovery();
        return false;
    }
    ResetEvent(d.done);
    winHttp().setCallback(d.resolver, onDiscoveryStatus,
                          WINHTTP_CALLBACK_FLAG_REQUEST_ERROR | WINHTTP_CALLBACK_FLAG_GETPROXYFORURL_COMPLETE, 0);
    WINHTTP_AUTOPROXY_OPTIONS options = discoveryOptions(user);
    const LONG generation = InterlockedIncrement(&d.generation);
    if (winHttp().proxyForAddressLater(d.resolver, kPageAddress, &options, static_cast<DWORD_PTR>(generation)) !=
        ERROR_IO_PENDING) {
        endDiscovery();
        return false;
    }
    d.running = true;
    d.network = network;
    d.fingerprint = fingerprint;
    d.startMs = GetTickCount();
    return true;
}

// The discovery's answer, waited for until 5 s after it began: false where
// it found nothing in time (then the user's fixed proxy serves).
bool discoveryAnswer(ProxyName& proxy)
{
    Discovery& d = g_discovery;
    const DWORD elapsed = GetTickCount() - d.startMs;
    WaitForSingleObject(d.done, elapsed < kDiscoveryLimitMs ? kDiscoveryLimitMs - elapsed : 0);
    bool found = false;
    WINHTTP_PROXY_RESULT result = {};
    if (InterlockedCompareExchange(&d.finished, 0, 0) == d.generation && d.succeeded &&
        winHttp().resolverResult(d.resolver, &result) == NO_ERROR) {
        found = true;
        proxy[0] = 0;
        if (result.cEntries > 0 && result.pEntries[0].fProxy && result.pEntries[0].pwszProxy != nullptr)
            wsprintfW(proxy, L"%.250s:%u", result.pEntries[0].pwszProxy,
                      static_cast<unsigned>(result.pEntries[0].ProxyPort));
        winHttp().freeResult(&result);
    }
    endDiscovery();
    return found;
}

// Without the later functions: a script is asked directly, its download
// bounded as the check is; discovery, which nothing bounds there, is not
// made (a fixed proxy still serves).
bool scriptAnswer(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& user, ProxyName& proxy)
{
    if (user.lpszAutoConfigUrl == nullptr)
        return false;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG scriptOnly = user;
    scriptOnly.fAutoDetect = FALSE;
    WINHTTP_AUTOPROXY_OPTIONS options = discoveryOptions(scriptOnly);
    WINHTTP_PROXY_INFO found = {};
    const HINTERNET session =
        winHttp().open(L"Lintora", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session != nullptr)
        winHttp().setTimeouts(session, kDiscoveryLimitMs, kDiscoveryLimitMs, kDiscoveryLimitMs, kDiscoveryLimitMs);
    const bool named = session != nullptr && winHttp().proxyForAddress(session, kPageAddress, &options, &found);
    if (session != nullptr)
        winHttp().close(session);
    if (named)
        lstrcpynW(proxy, found.lpszProxy != nullptr ? found.lpszProxy : L"", sizeof proxy / sizeof proxy[0]);
    GlobalFree(found.lpszProxy);
    GlobalFree(found.lpszProxyBypass);
    return named;
}

// The proxy found for one network and one form of the user's settings: a
// session through it, kept with its connection (kept alive, and signed in
// once where the proxy asks), until the network or the settings change or
// 10 minutes pass.
struct FoundProxy {
    bool known;
    uint32_t network, fingerprint;
    DWORD foundAtMs;
    bool onThisComputer;
    HINTERNET session, connection;  // null: no proxy for the page
};
FoundProxy g_proxy;

void forgetProxy()
{
    FoundProxy& p = g_proxy;
    if (p.connection != nullptr)
        winHttp().close(p.connection);
    if (p.session != nullptr)
        winHttp().close(p.session);
    p = FoundProxy();
}

bool proxyDue(const UserProxy& user, uint32_t network)
{
    const FoundProxy& p = g_proxy;
    return !p.known || p.network != network || p.fingerprint != user.fingerprint ||
           GetTickCount() - p.foundAtMs >= kProxyFoundForMs;
}

// Finds the proxy for the page: by discovery or script where the user has
// them (the one started alongside the probe where it was), else the fixed one.
void findProxy(const UserProxy& user, uint32_t network)
{
    forgetProxy();
    ProxyName scripted = L"";
    bool fromScript = false;
    if (wantsDiscovery(user.config)) {
        const Discovery& d = g_discovery;
        if (!(d.running && d.network == network && d.fingerprint == user.fingerprint))
            startDiscovery(user.config, network, user.fingerprint);
        fromScript = g_discovery.running ? discoveryAnswer(scripted) : scriptAnswer(user.config, scripted);
    }
    const wchar_t* proxy = fromScript ? scripted : user.config.lpszProxy;
    const wchar_t* bypass = fromScript ? nullptr : user.config.lpszProxyBypass;
    FoundProxy& p = g_proxy;
    p.known = true;
    p.network = network;
    p.fingerprint = user.fingerprint;
    p.foundAtMs = GetTickCount();
    if (proxy == nullptr || proxy[0] == 0)
        return;
    p.onThisComputer = proxyOnThisComputer(proxy);
    // The session's own proxy: the one every version of WinHTTP honours.
    p.session = winHttp().open(L"Lintora", WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy,
                               bypass != nullptr ? bypass : WINHTTP_NO_PROXY_BYPASS, 0);
    p.connection = p.session != nullptr ? winHttp().connect(p.session, kPageHost, INTERNET_DEFAULT_HTTP_PORT, 0)
                                        : nullptr;
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

// One request for the page on the kept connection. The user's credentials
// go where the system's default policy lets them (MEDIUM: to a proxy, never
// to any server on the internet); redirects are not followed.
ProxyAnswer fetchPage(HINTERNET connection)
{
    ProxyAnswer answer = ProxyAnswer::Unreachable;
    const HINTERNET request = winHttp().openRequest(connection, L"GET", kPagePath, nullptr, WINHTTP_NO_REFERER,
                                                    WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    if (request == nullptr)
        return answer;
    DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_MEDIUM, noRedirects = WINHTTP_DISABLE_REDIRECTS;
    winHttp().setOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof logon);
    winHttp().setOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
    DWORD status = sendRequest(request);
    if (status == HTTP_STATUS_PROXY_AUTH_REQ && offerOwnCredentials(request))
        status = sendRequest(request);
    if (status != 0)
        answer = readAnswer(request, status);
    winHttp().close(request);
    return answer;
}

} // namespace

void prepareProxy(uint32_t network)
{
    UserProxy user;
    if (!findWinHttp() || !readUserProxy(user))
        return;
    const Discovery& d = g_discovery;
    const bool started = d.running && d.network == network && d.fingerprint == user.fingerprint;
    if (proxyDue(user, network) && wantsDiscovery(user.config) && !started)
        startDiscovery(user.config, network, user.fingerprint);
    freeUserProxy(user);
}

ProxyAnswer fetchThroughProxy(uint32_t network, uint32_t connectWaitMs)
{
    UserProxy user;
    if (!findWinHttp() || !readUserProxy(user))
        return ProxyAnswer::NoProxy;
    if (proxyDue(user, network))
        findProxy(user, network);
    freeUserProxy(user);
    const FoundProxy& p = g_proxy;
    if (p.session == nullptr)
        return ProxyAnswer::NoProxy;
    winHttp().setTimeouts(p.session, kWebCheckWaitMs, connectWaitMs, kWebCheckWaitMs, kWebCheckWaitMs);
    const ProxyAnswer answer = p.connection != nullptr ? fetchPage(p.connection) : ProxyAnswer::Unreachable;
    return proxyAnswerThatCounts(answer, p.onThisComputer);
}
