#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "probe/probe_timing.h"

namespace {

// A scripted network: each request is answered after its delay (or never),
// the handshake ends after its delay (or never); the clock moves only as the
// probe waits. What the probe did is written down with the time, from its start.
struct World {
    uint32_t start = 0xFFFFF000u;  // the clock wraps during the probe
    uint32_t clock = start;
    std::vector<int> replyAfterMs;  // by request; -1: never
    int handshakeAfterMs = -1;      // -1: never ends by itself
    bool handshakeSucceeds = false;
    bool sendsFail = false, handshakeFailsAtOnce = false;
    std::vector<uint32_t> repliesAt;
    uint32_t handshakeEndsAt = 0;
    bool handshakeRunning = false;
    std::vector<std::string> log;

    uint32_t elapsed() const { return clock - start; }
    void note(const std::string& what) { log.push_back(what + " " + std::to_string(elapsed())); }
};

bool sendRequest(void* context)
{
    World& w = *static_cast<World*>(context);
    const size_t n = w.log.size();
    w.note("send");
    int sent = 0;
    for (size_t i = 0; i < n; ++i)
        sent += w.log[i].rfind("send", 0) == 0;
    if (w.sendsFail)
        return false;
    const int delay = sent < static_cast<int>(w.replyAfterMs.size()) ? w.replyAfterMs[sent] : -1;
    if (delay >= 0)
        w.repliesAt.push_back(w.clock + static_cast<uint32_t>(delay));
    return true;
}

bool startHandshake(void* context)
{
    World& w = *static_cast<World*>(context);
    w.note("handshake");
    if (w.handshakeFailsAtOnce)
        return false;
    w.handshakeRunning = w.handshakeAfterMs >= 0;
    w.handshakeEndsAt = w.clock + static_cast<uint32_t>(w.handshakeAfterMs);
    return true;
}

ProbeEvent waitFor(uint32_t ms, void* context)
{
    World& w = *static_cast<World*>(context);
    uint32_t soonest = ms;
    ProbeEvent event = ProbeEvent::Nothing;
    size_t reply = w.repliesAt.size();
    for (size_t i = 0; i < w.repliesAt.size(); ++i)
        if (w.repliesAt[i] - w.clock <= soonest) {
            soonest = w.repliesAt[i] - w.clock;
            event = ProbeEvent::Reply;
            reply = i;
        }
    if (w.handshakeRunning && w.handshakeEndsAt - w.clock < soonest) {
        soonest = w.handshakeEndsAt - w.clock;
        event = w.handshakeSucceeds ? ProbeEvent::HandshakeSucceeded : ProbeEvent::HandshakeFailed;
        reply = w.repliesAt.size();
        w.handshakeRunning = false;
    }
    if (reply < w.repliesAt.size())
        w.repliesAt.erase(w.repliesAt.begin() + static_cast<long>(reply));
    w.clock += soonest;
    return event;
}

uint32_t clockOf(void* context) { return static_cast<World*>(context)->clock; }

// The verdict and the time it came, then what was done when.
std::string probe(World& w)
{
    const ProbeIo io = {sendRequest, startHandshake, waitFor, clockOf, &w};
    const bool connected = exchangeEchoes(io);
    std::string story = std::string(connected ? "Connected " : "Broken ") + std::to_string(w.elapsed()) + ":";
    for (const std::string& step : w.log)
        story += " " + step;
    return story;
}

TEST(ProbeTiming, AnAnsweringNetworkGetsFourRoundsBackToBack)
{
    World w;
    w.replyAfterMs = {20, 20, 20, 20};
    EXPECT_EQ(probe(w), "Connected 80: send 0 send 20 send 40 send 60");
}

TEST(ProbeTiming, NoAnswerIsBrokenSevenSecondsOnWithTheHandshakeTriedAfterTwoRequests)
{
    World w;
    w.handshakeAfterMs = 5000;  // SYNs vanish: the try runs out its 5 s
    EXPECT_EQ(probe(w), "Broken 7000: send 0 send 1000 handshake 2000 send 2000 send 3000");
    World refused;
    refused.handshakeAfterMs = 1;
    EXPECT_EQ(probe(refused), "Broken 7000: send 0 send 1000 handshake 2000 send 2000 send 3000")
        << "the requests stay open for their replies";
    World tooLate;
    tooLate.replyAfterMs = {-1, -1, -1, 4100};  // the last request's reply, 7.1 s into the probe
    EXPECT_EQ(probe(tooLate), "Broken 7000: send 0 send 1000 handshake 2000 send 2000 send 3000");
}

TEST(ProbeTiming, AnyAnswerCountsAndEndsTheWaitAtOnce)
{
    World late;
    late.replyAfterMs = {4500, -1, -1, -1};  // the first request, answered late
    EXPECT_EQ(probe(late), "Connected 4500: send 0 send 1000 handshake 2000 send 2000 send 3000");
    World latest;
    latest.replyAfterMs = {-1, -1, -1, 3990};  // the last request, just before the verdict
    EXPECT_EQ(probe(latest), "Connected 6990: send 0 send 1000 handshake 2000 send 2000 send 3000");
    World last;
    last.replyAfterMs = {-1, -1, -1, 10};
    EXPECT_EQ(probe(last), "Connected 3010: send 0 send 1000 handshake 2000 send 2000 send 3000");
    World lossy;
    lossy.replyAfterMs = {30, -1, 30, 30};  // an answer, then a lost request, then back to back
    EXPECT_EQ(probe(lossy), "Connected 1090: send 0 send 30 send 1030 send 1060");
}

TEST(ProbeTiming, AHandshakeThatSucceedsDecidesWhenEchoIsDropped)
{
    World w;
    w.handshakeAfterMs = 30;
    w.handshakeSucceeds = true;
    EXPECT_EQ(probe(w), "Connected 2030: send 0 send 1000 handshake 2000 send 2000");
    for (int after : {2500, 3999, 4990}) {  // past the last request, while its replies are still awaited
        World slow;
        slow.handshakeAfterMs = after;
        slow.handshakeSucceeds = true;
        EXPECT_EQ(probe(slow), "Connected " + std::to_string(2000 + after) +
                                   ": send 0 send 1000 handshake 2000 send 2000 send 3000")
            << "a handshake that succeeds " << after << " ms after it starts";
    }
}

TEST(ProbeTiming, WithoutARouteNothingIsWaitedFor)
{
    World w;
    w.sendsFail = true;
    w.handshakeFailsAtOnce = true;
    EXPECT_EQ(probe(w), "Broken 0: send 0 send 0 handshake 0 send 0 send 0");
}

} // namespace
