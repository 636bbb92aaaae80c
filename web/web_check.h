// The web check: whether the internet itself answers, or a sign-in page (a
// hotel's, a train's) stands in the way. Windows' own indicator fetches the
// same page over plain HTTP. Echo replies and handshakes prove only that
// something answered; this page proves that the internet did.
// Portable: no <windows.h>; the monitor thread supplies the socket.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/link_state.h"

// The one request sent, whole: HTTP/1.1, the connection closed after the answer.
extern const char kWebCheckHost[];
extern const char kWebCheckRequest[];

enum : std::size_t { kMaxWebAnswerBytes = 2048 };
// While Broken, a portal's port 80 answers at once; a dead uplink's never
// does, and is given 2 s, not 5, so that the outage shows sooner.
enum : uint32_t { kWebCheckWaitMs = 5000, kBrokenWebConnectMs = 2000, kWebCheckSpacingMs = 3600000 };

// Only what is understood is judged: a server's error, a proxy's, or an
// answer cut short says nothing of a sign-in page.
enum class WebAnswer {
    // No answer (port 80 blocked, out of time, no name), a status other than
    // those below (4xx, 5xx), a status 200 whose headers do not end within
    // the bytes read, or a body cut off while it still reads as the page: no
    // opinion.
    None,
    // Status 200 and the body "Microsoft Connect Test" (also sent in chunks):
    // the internet answered.
    Expected,
    // Status 200 with another body, a redirect (301, 302, 303, 307, 308), or
    // 511, these from the status line alone: a sign-in page is in the way.
    Other,
};

// The bytes of one answer as they arrive, at most kMaxWebAnswerBytes of them.
struct WebAnswerReader {
    char bytes[kMaxWebAnswerBytes];
    std::size_t length;
    bool overflowed;
};

void addWebAnswerBytes(WebAnswerReader& reader, const char* bytes, std::size_t length);
// True once the answer read so far is complete enough to judge without waiting for more.
bool webAnswerComplete(const WebAnswerReader& reader);
// closed: the server ended the connection (else the time ran out or the read failed).
WebAnswer judgeWebAnswer(const WebAnswerReader& reader, bool closed);

// The web check sent through the proxy that the user's system names for its
// address, where the hosts do not answer directly (an office whose firewall
// lets only its proxy out).
enum class ProxyAnswer {
    NoProxy,      // none is set for the address: nothing was sent
    Reached,      // status 200 and the page: the internet answered through it
    Cut,          // 500 to 504: the proxy answers, its way out does not (a
                  // stock proxy says 500 "Unable to connect")
    SignIn,       // a redirect, 511, or status 200 with another page: a sign-in
                  // page stands in the way, as on the direct road
    SignInAsked,  // 407 that the user's own Windows sign-in does not meet
    NoOpinion,    // any other status (403, 404, ...)
    Unreachable,  // the proxy was not reached, or gave no whole answer
    Unasked,      // the local network changed or is gone: the direct probe decides
};

// The answer a proxy gave, the body read whole (at most kMaxWebAnswerBytes).
// A 407 is judged after the user's own sign-in was offered.
ProxyAnswer judgeProxyReply(unsigned status, const char* body, std::size_t length);

// Whether a proxy as the user's settings name it ("host:port", "http://host:port",
// or per scheme, "http=host:port;https=...") runs on this computer: localhost,
// 127.0.0.0/8 or ::1. Debugging proxies and security agents do; their errors
// say nothing of where a break is.
bool proxyOnThisComputer(const wchar_t* proxyList);

// What a proxy's answer counts for: one on this computer names no cause,
// so that only its success counts; its other answers leave the verdict to
// the direct probe, as one not reached does.
ProxyAnswer proxyAnswerThatCounts(ProxyAnswer answer, bool onThisComputer);

// When a probe that said Connected is followed by the web check (one that
// said Broken is, where the gateway does not name the break): after a
// change to Connected, after a local network change or a resume, while a
// sign-in page is shown (every probe, so that signing in shows soon), and at
// most once an hour otherwise.
struct WebCheckSchedule {
    bool checkedBefore;
    uint32_t lastCheckMs;
};
bool webCheckDue(const WebCheckSchedule& schedule, LinkState shown, bool signInShown, bool networkChanged,
                 uint32_t nowMs);
void noteWebCheck(WebCheckSchedule& schedule, uint32_t nowMs);
