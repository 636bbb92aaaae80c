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
// What the browser is sent to when a sign-in page is in the way: the portal
// then shows its page.
extern const char kSignInPageAddress[];

enum : std::size_t { kMaxWebAnswerBytes = 2048 };
enum : uint32_t { kWebCheckWaitMs = 5000, kWebCheckSpacingMs = 3600000 };

enum class WebAnswer {
    None,      // no answer at all (port 80 blocked, out of time, no name): no opinion
    Expected,  // status 200 and the body "Microsoft Connect Test": the internet answered
    Other,     // a redirect, a login page, another body: a sign-in page is in the way
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

// When a probe that said Connected is followed by the web check: after a
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
