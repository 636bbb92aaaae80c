#include "probe/probe_timing.h"

#include "probe/echo_reply.h"

namespace {

enum class Handshake { NotStarted, Running, Failed, Succeeded };

struct Exchange {
    const ProbeIo& io;
    uint32_t verdictDueMs;  // when the probe decides at the latest
    bool answered;
    Handshake handshake;
    uint32_t handshakeEndMs;
    uint32_t repliesDueMs;  // when the last request sent is out of time
};

uint32_t now(const Exchange& x)
{
    return x.io.clockMs(x.io.context);
}

// Milliseconds from now to a moment; 0 once it has passed (the clock may wrap).
uint32_t until(const Exchange& x, uint32_t momentMs)
{
    const uint32_t left = momentMs - now(x);
    return left > 0x80000000u ? 0 : left;
}

// That long from now, but no later than the verdict.
uint32_t byTheVerdict(const Exchange& x, uint32_t milliseconds)
{
    return until(x, x.verdictDueMs) < milliseconds ? x.verdictDueMs : now(x) + milliseconds;
}

void startHandshake(Exchange& x)
{
    x.handshakeEndMs = byTheVerdict(x, kHandshakeWindowMs);
    x.handshake = x.io.startHandshake(x.io.context) ? Handshake::Running : Handshake::Failed;
}

// Waits until the moment, or less when something happens; true when a reply
// came. A handshake that runs out of time has failed.
bool waitUntil(Exchange& x, uint32_t momentMs)
{
    uint32_t wait = until(x, momentMs);
    if (x.handshake == Handshake::Running && until(x, x.handshakeEndMs) < wait)
        wait = until(x, x.handshakeEndMs);
    const ProbeEvent event = x.io.wait(wait, x.io.context);
    if (x.handshake == Handshake::Running) {
        if (event == ProbeEvent::HandshakeSucceeded)
            x.handshake = Handshake::Succeeded;
        else if (event == ProbeEvent::HandshakeFailed || until(x, x.handshakeEndMs) == 0)
            x.handshake = Handshake::Failed;
    }
    if (event == ProbeEvent::Reply)
        x.answered = true;
    return event == ProbeEvent::Reply;
}

// One request and its round: over at the first reply, or 1 s after it left.
void runRound(Exchange& x)
{
    if (!x.io.sendRequest(x.io.context))
        return;
    const uint32_t sentMs = now(x);
    x.repliesDueMs = byTheVerdict(x, kReplyWindowMs);
    while (until(x, sentMs + kRequestSpacingMs) > 0 && x.handshake != Handshake::Succeeded)
        if (waitUntil(x, sentMs + kRequestSpacingMs))
            return;
}

} // namespace

bool exchangeEchoes(const ProbeIo& io)
{
    Exchange x = {io, 0, false, Handshake::NotStarted, 0, 0};
    x.verdictDueMs = now(x) + kVerdictWithinMs;
    x.repliesDueMs = now(x);
    for (int round = 0; round < kMaxEchoRequestsPerProbe && x.handshake != Handshake::Succeeded; ++round) {
        runRound(x);
        if (round == 1 && !x.answered)
            startHandshake(x);
    }
    if (x.answered || x.handshake == Handshake::Succeeded)
        return true;
    // The late replies, and the handshake.
    while ((until(x, x.repliesDueMs) > 0 || x.handshake == Handshake::Running) && x.handshake != Handshake::Succeeded)
        if (waitUntil(x, until(x, x.repliesDueMs) > 0 ? x.repliesDueMs : x.handshakeEndMs))
            return true;
    return x.handshake == Handshake::Succeeded;
}
