#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/monitor_logic.h"

namespace {

TEST(ProbeHosts, FirstChoicesOfEveryRun)
{
    HostGenerator generator;
    const unsigned expected[] = {2, 2, 1, 1, 2, 1, 0, 0};
    for (unsigned index : expected)
        EXPECT_EQ(nextProbeHostIndex(generator), index);
}

TEST(ProbeHosts, GeneratorWrapsIn32BitsAndStaysInTable)
{
    HostGenerator generator;
    generator.state = 0xFFFFFFFF;
    // 0xFFFFFFFF * 214013 + 2531011 mod 2^32 = 2316998 -> output 35 -> index 2
    EXPECT_EQ(nextProbeHostIndex(generator), 2u);
    EXPECT_EQ(generator.state, 2316998u);
    int seen[kProbeHostCount] = {};
    for (int i = 0; i < 3000; ++i)
        ++seen[nextProbeHostIndex(generator)];
    for (int count : seen)
        EXPECT_GT(count, 800) << "every host gets its share";
}

TEST(ProbeHosts, PickReturnsTableEntries)
{
    HostGenerator generator;
    EXPECT_STREQ(pickProbeHost(generator), kProbeHosts[2]);
    EXPECT_STREQ(pickProbeHost(generator), kProbeHosts[2]);
    EXPECT_STREQ(pickProbeHost(generator), kProbeHosts[1]);
}

// A scripted world: the probe answers from a list, and the monitor's sleeps
// and reports are recorded in one timeline.
struct Script {
    std::vector<LinkState> answers;
    size_t next = 0;
    std::vector<std::string> events;
    bool withCauses = false;  // reports name where the break is
};

LinkState scriptedProbe(const char* host, void* context)
{
    Script& s = *static_cast<Script*>(context);
    s.events.push_back(std::string("probe ") + host);
    return s.answers.at(s.next++);
}

void recordSleep(uint32_t ms, void* context)
{
    static_cast<Script*>(context)->events.push_back("sleep " + std::to_string(ms));
}

void recordReport(LinkState state, BreakCause cause, bool first, void* context)
{
    Script& s = *static_cast<Script*>(context);
    std::string event = std::string(first ? "first " : "change ") + (state == Connected ? "Connected" : "Broken");
    if (s.withCauses && cause != NoCause)
        event += std::string(" (") + breakCauseName(cause) + ")";
    s.events.push_back(event);
}

MonitorHooks scriptedHooks(Script& script, uint32_t intervalMs = 60000)
{
    MonitorHooks hooks;
    hooks.probe = scriptedProbe;
    hooks.sleep = recordSleep;
    hooks.report = recordReport;
    hooks.context = &script;
    hooks.pingIntervalMs = intervalMs;
    return hooks;
}

std::vector<std::string> run(std::vector<LinkState> answers, uint32_t intervalMs = 60000)
{
    Script script;
    script.answers = std::move(answers);
    const MonitorHooks hooks = scriptedHooks(script, intervalMs);
    HostGenerator generator;
    MonitorState state = monitorFirstProbe(hooks, generator);
    while (script.next < script.answers.size())
        state = monitorPass(hooks, generator, state);
    // Host names are checked elsewhere; keep the timeline readable.
    for (std::string& e : script.events)
        if (e.rfind("probe ", 0) == 0)
            e = "probe";
    return script.events;
}

using Events = std::vector<std::string>;

TEST(MonitorLoop, StartBrokenRetriesEveryFiveSecondsWithoutReports)
{
    EXPECT_EQ(run({Broken, Broken, Broken}),
              (Events{"probe", "first Broken", "sleep 5000", "probe", "sleep 5000", "probe"}));
}

TEST(MonitorLoop, StartConnectedReportsFirstThenWaitsTheInterval)
{
    EXPECT_EQ(run({Connected, Connected}, 2000),
              (Events{"probe", "first Connected", "sleep 2000", "probe"}));
}

TEST(MonitorLoop, EachChangeReportedOnceAndPauseFollowsTheState)
{
    EXPECT_EQ(run({Connected, Broken, Broken, Connected, Connected, Broken}, 30000),
              (Events{"probe", "first Connected",
                      "sleep 30000", "probe", "change Broken",
                      "sleep 5000", "probe",
                      "sleep 5000", "probe", "change Connected",
                      "sleep 30000", "probe",
                      "sleep 30000", "probe", "change Broken"}));
}

TEST(MonitorLoop, EveryProbePicksItsHostAnew)
{
    Script script;
    script.answers = {Broken, Broken, Broken, Broken};
    const MonitorHooks hooks = scriptedHooks(script);
    HostGenerator generator;
    MonitorState state = monitorFirstProbe(hooks, generator);
    for (int i = 0; i < 3; ++i)
        state = monitorPass(hooks, generator, state);
    std::vector<std::string> hosts;
    for (const std::string& e : script.events)
        if (e.rfind("probe ", 0) == 0)
            hosts.push_back(e.substr(6));
    EXPECT_EQ(hosts, (std::vector<std::string>{kProbeHosts[2], kProbeHosts[2], kProbeHosts[1], kProbeHosts[1]}));
}

// Resumes from sleep: the script says at which probe the machine resumes
// (during the wait before it, or during the probe itself); each probe takes
// one second of the clock, each wait its length.
struct ResumeScript : Script {
    std::vector<int> resumeBeforeProbe, resumeDuringProbe;  // probe numbers, from 0
    std::vector<int> resumeInSleep;                         // or sleep numbers, from 0
    int sleeps = 0;
    uint32_t resumes = 0, clock = 0, probeMs = 1000;
};

LinkState probeWithResumes(const char* host, void* context)
{
    ResumeScript& s = *static_cast<ResumeScript*>(context);
    const int n = static_cast<int>(s.next);
    for (int r : s.resumeDuringProbe)
        if (r == n)
            ++s.resumes;
    s.clock += s.probeMs;
    return scriptedProbe(host, context);
}

void waitWithResumes(uint32_t ms, void* context)
{
    ResumeScript& s = *static_cast<ResumeScript*>(context);
    recordSleep(ms, context);
    const int sleep = s.sleeps++;
    bool resumed = false;
    for (int r : s.resumeBeforeProbe)
        resumed = resumed || r == static_cast<int>(s.next);
    for (int r : s.resumeInSleep)
        resumed = resumed || r == sleep;
    if (resumed) {
        ++s.resumes;
        s.events.back() += " (resumed)";
        return;  // the wait is cut short
    }
    s.clock += ms;
}


uint32_t powerChanges(void* context) { return static_cast<ResumeScript*>(context)->resumes; }
uint32_t clockMs(void* context) { return static_cast<ResumeScript*>(context)->clock; }

// Where the break is: what each probe found, and the gateway's and the web
// check's answers in the order they are asked.
struct CauseScript : ResumeScript {
    std::vector<ProbeFindings> found;  // by probe
    std::vector<bool> gateway;
    std::vector<WebAnswer> web;
    std::vector<ProxyAnswer> proxy;
    size_t gatewayAsked = 0, webAsked = 0, proxyAsked = 0;
    std::vector<int> resumeWhileGatewayAsked;  // by the number of the asking, from 0
};

ProbeFindings scriptedFindings(void* context)
{
    const CauseScript& s = *static_cast<CauseScript*>(context);
    return s.found.at(s.next - 1);
}

bool scriptedGateway(uint32_t, uint32_t requests, void* context)
{
    CauseScript& s = *static_cast<CauseScript*>(context);
    s.events.push_back("gateway " + std::to_string(requests));
    for (int r : s.resumeWhileGatewayAsked)
        if (r == static_cast<int>(s.gatewayAsked))
            ++s.resumes;
    return s.gateway.at(s.gatewayAsked++);
}

void recordPlan(const AlongsidePlan& plan, void* context)
{
    CauseScript& s = *static_cast<CauseScript*>(context);
    s.events.push_back("plan " + (plan.learnedGateway != 0 ? std::to_string(plan.learnedRequests) : std::string("-")) +
                       "/" + std::to_string(plan.otherRequests) + (plan.web ? " web" : ""));
}

WebAnswer scriptedWeb(LinkState, void* context)
{
    CauseScript& s = *static_cast<CauseScript*>(context);
    s.events.push_back("web");
    return s.web.at(s.webAsked++);
}

ProxyAnswer scriptedProxy(bool alone, void* context)
{
    CauseScript& s = *static_cast<CauseScript*>(context);
    s.events.push_back(alone ? "proxy alone" : "proxy");
    return s.proxy.at(s.proxyAsked++);
}

Events runScript(CauseScript& script, const MonitorHooks& hooks)
{
    HostGenerator generator;
    MonitorState state = monitorFirstProbe(hooks, generator);
    while (script.next < script.answers.size() || script.proxyAsked < script.proxy.size())
        state = monitorPass(hooks, generator, state);
    EXPECT_EQ(script.gatewayAsked, script.gateway.size()) << "every scripted gateway answer asked for";
    EXPECT_EQ(script.webAsked, script.web.size()) << "every scripted web answer asked for";
    EXPECT_EQ(script.proxyAsked, script.proxy.size()) << "every scripted proxy answer asked for";
    Events events;
    for (const std::string& e : script.events)
        events.push_back(e.rfind("probe ", 0) == 0 ? "probe" : e);
    return events;
}

Events runWithResumes(CauseScript script)
{
    MonitorHooks hooks = scriptedHooks(script);
    hooks.probe = probeWithResumes;
    hooks.sleep = waitWithResumes;
    hooks.powerChanges = powerChanges;
    hooks.clockMs = clockMs;
    if (!script.found.empty())
        hooks.findings = scriptedFindings;
    return runScript(script, hooks);
}

Events runWithCauses(CauseScript script, uint32_t intervalMs = 60000)
{
    script.withCauses = true;
    MonitorHooks hooks = scriptedHooks(script, intervalMs);
    hooks.findings = scriptedFindings;
    hooks.askGateway = scriptedGateway;
    hooks.checkWeb = scriptedWeb;
    return runScript(script, hooks);
}

TEST(MonitorResume, BrokenWaitsThirtySecondsWhileTheNetworkComesBack)
{
    CauseScript script;
    script.answers = {Connected, Broken, Broken, Broken, Connected, Connected};
    script.resumeBeforeProbe = {1};
    EXPECT_EQ(runWithResumes(script),
              (Events{"probe", "first Connected", "sleep 60000 (resumed)", "probe", "sleep 5000", "probe",
                      "sleep 5000", "probe", "sleep 5000", "probe", "change Connected", "sleep 5000", "probe"}))
        << "no Broken reported, a new try every 5 s for the 30 s, and the first verdict after the sleep "
           "reported though nothing changed";
}

TEST(MonitorResume, BrokenIsReportedOnceThirtySecondsPassWithoutAnAnswer)
{
    CauseScript script;
    script.answers = {Connected, Broken, Broken, Broken, Broken, Broken, Broken, Broken, Connected};
    script.resumeBeforeProbe = {1};
    // Probes at 1, 7, 13, 19, 25 s after the resume say Broken and wait; the one at 31 s reports it.
    EXPECT_EQ(runWithResumes(script),
              (Events{"probe", "first Connected", "sleep 60000 (resumed)", "probe", "sleep 5000", "probe",
                      "sleep 5000", "probe", "sleep 5000", "probe", "sleep 5000", "probe", "sleep 5000", "probe",
                      "change Broken", "sleep 5000", "probe", "sleep 5000", "probe", "change Connected"}));
}

TEST(MonitorResume, TheGraceEndsExactlyThirtySecondsAfterTheResumeAcrossTheClocksWrap)
{
    CauseScript script;
    script.answers = {Connected, Broken, Broken, Broken, Broken, Broken, Broken, Broken};
    script.resumeBeforeProbe = {1};
    script.probeMs = 0;  // probes at 0, 5, .. 25 s after the resume hold back; the one at 30 s reports
    script.clock = 0xFFFFFFFFu - 12000;
    EXPECT_EQ(runWithResumes(script),
              (Events{"probe", "first Connected", "sleep 60000 (resumed)", "probe", "sleep 5000", "probe",
                      "sleep 5000", "probe", "sleep 5000", "probe", "sleep 5000", "probe", "sleep 5000", "probe",
                      "sleep 5000", "probe", "change Broken"}));
}

TEST(MonitorResume, AProbeDuringWhichTheMachineSleptOrWokeIsDroppedAndRepeatedSoon)
{
    CauseScript script;
    script.answers = {Connected, Broken, Connected};
    script.resumeDuringProbe = {1};
    EXPECT_EQ(runWithResumes(script),
              (Events{"probe", "first Connected", "sleep 60000", "probe", "sleep 5000", "probe", "change Connected"}))
        << "the Broken of the spanning probe is never reported";
    script.answers = {Broken, Connected, Broken};
    EXPECT_EQ(runWithResumes(script), (Events{"probe", "first Broken", "sleep 5000", "probe", "sleep 5000", "probe"}))
        << "nor its Connected";
}

TEST(MonitorResume, ConnectedIsReportedAsAlways)
{
    CauseScript script;
    script.answers = {Broken, Connected};
    script.resumeBeforeProbe = {1};
    EXPECT_EQ(runWithResumes(script),
              (Events{"probe", "first Broken", "sleep 5000 (resumed)", "probe", "change Connected"}));
}

TEST(MonitorResume, SleepsCountedBeforeTheStartAreNoResume)
{
    CauseScript script;
    script.resumes = 3;  // the machine had slept before the program started
    script.answers = {Connected, Broken};
    EXPECT_EQ(runWithResumes(script), (Events{"probe", "first Connected", "sleep 60000", "probe", "change Broken"}));
}

ProbeFindings findings(bool local, uint32_t gateway, bool namesFailed = false, bool webDue = false,
                       bool changed = false)
{
    ProbeFindings found = {};
    found.localAddress = local;
    found.gateway = gateway;
    found.namesFailed = namesFailed;
    found.webCheckDue = webDue;
    found.networkChanged = changed;
    return found;
}
const ProbeFindings kHome = findings(true, 0x0101A8C0);
const ProbeFindings kHomeWebDue = findings(true, 0x0101A8C0, false, true);
const ProbeFindings kNoNames = findings(true, 0x0101A8C0, true);
const ProbeFindings kOtherRouter = findings(true, 0x0201A8C0);
const ProbeFindings kNewNetwork = findings(true, 0x0101A8C0, false, false, true);
const ProbeFindings kTunnel = findings(true, 0);
const ProbeFindings kOffline = findings(false, 0);

TEST(MonitorResume, NamesFailingTwiceDuringTheGraceShowNothing)
{
    CauseScript script;
    script.answers = {Connected, Connected, Connected, Connected};
    script.found = {kHome, kNoNames, kNoNames, kHome};
    script.resumeBeforeProbe = {1};
    EXPECT_EQ(runWithResumes(script), (Events{"probe", "first Connected", "sleep 60000 (resumed)", "probe",
                                              "change Connected", "sleep 5000", "probe", "sleep 5000", "probe"}));
}

TEST(MonitorCause, TheGatewayIsLearnedOnceWhileConnectedAndOneSilentToEchoGetsOneRequestAtBroken)
{
    CauseScript script;
    script.answers = {Connected, Connected, Broken, Broken, Connected, Connected, Broken};
    script.found = {kHome, kHome, kHome, kHome, kOtherRouter, kOtherRouter, kOtherRouter};
    script.gateway = {false, false, false, true, true};
    script.web = {WebAnswer::Expected, WebAnswer::None, WebAnswer::Expected};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 3", "first Connected",  // up to three, stopping at an answer
                      "sleep 60000", "probe",  // known: nothing sent
                      "sleep 60000", "probe", "gateway 1", "web", "change Broken (internet)",
                      "sleep 5000", "probe", "gateway 1", "web",
                      "sleep 5000", "probe", "gateway 3", "change Connected",  // another router: learned
                      "sleep 60000", "probe",
                      "sleep 60000", "probe", "gateway 2", "web", "change Broken (provider)"}));
}

TEST(MonitorCause, AGatewayNotLearnedIsAskedTwiceItsSilenceTheInternetItsAnswerTheProvider)
{
    CauseScript script;
    script.answers = {Broken, Broken, Broken, Broken, Broken};
    script.found = {kHome, kHome, kHome, kHome, kNewNetwork};
    script.gateway = {false, true, true, false, false};
    script.web = {WebAnswer::None, WebAnswer::None, WebAnswer::None, WebAnswer::None};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 2", "web", "first Broken (internet)",
                      "sleep 5000", "probe", "gateway 2", "web",  // learned; the provider waits for one more
                      "sleep 5000", "probe", "gateway 2", "web", "change Broken (provider)",
                      "sleep 5000", "probe", "gateway 2",  // a known gateway silent: the router, not yet
                      "sleep 5000", "probe", "gateway 2", "web"}))  // a new network forgets it
        << "a Broken probe asks the gateway and the web, a silent router's no web";
}

TEST(MonitorCause, OneEchoLostMovesNothingTwoProbesThatAgreeDoAndNoNetworkAtOnce)
{
    CauseScript script;
    script.answers = {Connected, Broken, Broken, Broken, Broken, Broken, Broken};
    script.found = {kHome, kHome, kHome, kHome, kHome, kHome, kOffline};
    script.gateway = {true, true, false, true, false, false};
    script.web = {WebAnswer::Expected, WebAnswer::Expected};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 3", "first Connected",
                      "sleep 60000", "probe", "gateway 2", "web", "change Broken (provider)",  // at once
                      "sleep 5000", "probe", "gateway 2",
                      "sleep 5000", "probe", "gateway 2", "web",
                      "sleep 5000", "probe", "gateway 2",
                      "sleep 5000", "probe", "gateway 2", "change Broken (router)",
                      "sleep 5000", "probe", "change Broken (no network)"}));
}

TEST(MonitorCause, ARouteWithNoNextHopIsTheInternetWithNoRouterAsked)
{
    CauseScript script;
    script.answers = {Connected, Broken};
    script.found = {kTunnel, kTunnel};
    script.web = {WebAnswer::Expected};
    EXPECT_EQ(runWithCauses(script), (Events{"probe", "first Connected", "sleep 60000", "probe", "web",
                                             "change Broken (internet)"}));
}

TEST(MonitorCause, ASignInPageFoundAtBrokenAndHeldWhileTheWebCheckHasNoOpinion)
{
    CauseScript script;
    script.answers = {Connected, Broken, Broken, Connected, Connected};
    script.found = {kHomeWebDue, kHome, kHome, kHomeWebDue, kHomeWebDue};
    script.gateway = {true, true, true};
    script.web = {WebAnswer::Expected, WebAnswer::Other, WebAnswer::None, WebAnswer::None, WebAnswer::Expected};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 3", "web", "first Connected",
                      "sleep 60000", "probe", "gateway 2", "web", "change Broken (sign-in page)",
                      "sleep 5000", "probe", "gateway 2", "web",  // a stalled portal: still in the way
                      "sleep 5000", "probe", "web",               // the hosts answer, the portal stalls
                      "sleep 5000", "probe", "web", "change Connected"}));
}

TEST(MonitorCause, NamesUnansweredTwiceInARowWhileTheHostsAnswerIsBroken)
{
    CauseScript script;
    script.answers = {Connected, Connected, Connected, Connected, Connected, Connected, Connected};
    script.found = {kTunnel, kNoNames, kNoNames, kNoNames, kHome, kNoNames, kHome};
    script.gateway = {true};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "first Connected",
                      "sleep 60000", "probe", "gateway 3",  // the first failure: the next probe comes soon
                      "sleep 5000", "probe", "change Broken (names)",
                      "sleep 5000", "probe",
                      "sleep 5000", "probe", "change Connected",
                      "sleep 60000", "probe",             // one failure alone shows nothing
                      "sleep 5000", "probe"}));
}

TEST(MonitorCause, ANameUnansweredNeverPutsTheNextProbeFartherThanTheInterval)
{
    CauseScript script;
    script.answers = {Connected, Connected, Connected};
    script.found = {kTunnel, kTunnel, kTunnel};
    script.found[1].namesFailed = true;
    EXPECT_EQ(runWithCauses(script, 1000),
              (Events{"probe", "first Connected", "sleep 1000", "probe", "sleep 1000", "probe"}));
}

TEST(MonitorCause, NamesFailingWithTheHostsSilentCountForNothing)
{
    CauseScript script;
    script.answers = {Broken, Connected, Connected};
    script.found = {kNoNames, kNoNames, kHome};
    script.gateway = {true};
    script.web = {WebAnswer::Expected};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 2", "web", "first Broken (provider)", "sleep 5000", "probe",
                      "change Connected", "sleep 5000", "probe"}));
}

Events runWithProxy(CauseScript script)
{
    script.withCauses = true;
    MonitorHooks hooks = scriptedHooks(script);
    hooks.findings = scriptedFindings;
    hooks.askGateway = scriptedGateway;
    hooks.checkWeb = scriptedWeb;
    hooks.checkProxy = scriptedProxy;
    return runScript(script, hooks);
}

TEST(MonitorProxy, AnOfficeWhereOnlyTheProxyGoesOutIsWatchedThroughItAloneEvery15Seconds)
{
    CauseScript script;
    script.answers = {Broken};
    script.found = {kHome};
    script.proxy = {ProxyAnswer::Reached, ProxyAnswer::Reached, ProxyAnswer::Cut, ProxyAnswer::Cut,
                    ProxyAnswer::NoOpinion, ProxyAnswer::Reached, ProxyAnswer::NoOpinion};
    EXPECT_EQ(runWithProxy(script),
              (Events{"probe", "proxy", "first Connected (through proxy)",
                      "sleep 15000", "proxy alone",
                      "sleep 15000", "proxy alone", "change Broken (proxy)",
                      "sleep 5000", "proxy alone", "sleep 5000", "proxy alone",  // a 403 once holds it
                      "sleep 5000", "proxy alone", "change Connected (through proxy)",
                      "sleep 15000", "proxy alone"}));
}

TEST(MonitorProxy, AProxyNotReachedLeavesTheCauseToTheProbeAndIsNotAskedTwice)
{
    CauseScript script;
    script.answers = {Broken, Broken, Broken};
    script.found = {kHome, kHome, kHome};
    script.gateway = {true, true};
    script.web = {WebAnswer::None, WebAnswer::None};
    script.proxy = {ProxyAnswer::Reached, ProxyAnswer::Unreachable, ProxyAnswer::NoOpinion};
    EXPECT_EQ(runWithProxy(script),
              (Events{"probe", "proxy", "first Connected (through proxy)",
                      "sleep 15000", "proxy alone", "probe", "gateway 2", "web", "change Broken (provider)",
                      "sleep 5000", "probe", "proxy", "gateway 2", "web"}));  // a 403 is no answer
}

TEST(MonitorProxy, EveryAnswerThroughTheProxyIsAVerdictOrHoldsForTwoChecksAtMost)
{
    CauseScript script;
    script.answers = {Broken, Broken, Broken};
    script.found = {kHome, kHome, kHome};
    script.gateway = {true, true};
    script.web = {WebAnswer::None, WebAnswer::None};
    script.proxy = {ProxyAnswer::SignInAsked, ProxyAnswer::SignIn, ProxyAnswer::SignIn, ProxyAnswer::Cut,
                    ProxyAnswer::Cut, ProxyAnswer::NoOpinion, ProxyAnswer::NoOpinion, ProxyAnswer::NoOpinion,
                    ProxyAnswer::NoOpinion};
    EXPECT_EQ(runWithProxy(script),
              (Events{"probe", "proxy", "first Broken (proxy sign-in)",        // a 407 not met
                      "sleep 5000", "proxy alone",                             // a redirect: once ...
                      "sleep 5000", "proxy alone", "change Broken (sign-in page)",  // ... and again
                      "sleep 5000", "proxy alone", "sleep 5000", "proxy alone", "change Broken (proxy)",  // a 500
                      "sleep 5000", "proxy alone", "sleep 5000", "proxy alone",  // no opinion holds it twice,
                      "sleep 5000", "proxy alone", "probe", "gateway 2", "web",  // the third leaves the proxy
                      "sleep 5000", "probe", "proxy", "gateway 2", "web", "change Broken (provider)"}))
        << "no answer through the proxy freezes the state shown";
}

// A clock that each sleep and probe moves, and every hook.
Events runWithClock(CauseScript& script, uint32_t intervalMs = 60000)
{
    script.withCauses = true;
    MonitorHooks hooks = scriptedHooks(script, intervalMs);
    hooks.probe = probeWithResumes;
    hooks.sleep = waitWithResumes;
    hooks.powerChanges = powerChanges;
    hooks.clockMs = clockMs;
    hooks.findings = scriptedFindings;
    hooks.askGateway = scriptedGateway;
    hooks.checkWeb = scriptedWeb;
    if (!script.proxy.empty())
        hooks.checkProxy = scriptedProxy;
    return runScript(script, hooks);
}

TEST(MonitorProxy, TheHostsAreProbedDirectlyEveryTenMinutesAndTheDirectRoadTakesOver)
{
    CauseScript script;
    script.probeMs = 0;
    script.answers = {Broken, Broken, Connected};
    script.found = {kHome, kHome, kHome};
    script.gateway = {true};
    script.proxy = std::vector<ProxyAnswer>(80, ProxyAnswer::Reached);
    const Events events = runWithClock(script);
    Events expected = {"probe", "proxy", "first Connected (through proxy)"};
    for (int i = 0; i < 39; ++i)
        expected.insert(expected.end(), {"sleep 15000", "proxy alone"});
    // 10 minutes after the last direct probe: the hosts are asked, and stay silent.
    expected.insert(expected.end(), {"sleep 15000", "probe", "proxy"});
    for (int i = 0; i < 39; ++i)
        expected.insert(expected.end(), {"sleep 15000", "proxy alone"});
    // They answer: the direct road again, with nothing about the proxy.
    expected.insert(expected.end(), {"sleep 15000", "probe", "gateway 3", "change Connected"});
    EXPECT_EQ(events, expected);
}

TEST(MonitorProxy, AfterAResumeTheGraceEndsWhileTheProxyCarriesTheCheck)
{
    CauseScript script;
    script.probeMs = 0;
    script.answers = {Broken};
    script.found = {kHome};
    script.resumeInSleep = {0};
    script.proxy = {ProxyAnswer::Reached, ProxyAnswer::Cut, ProxyAnswer::Cut, ProxyAnswer::Cut,
                    ProxyAnswer::Cut, ProxyAnswer::Cut, ProxyAnswer::Cut, ProxyAnswer::Cut};
    // The pass after the resume: the proxy's Broken is held for 30 s, then shown.
    EXPECT_EQ(runWithClock(script),
              (Events{"probe", "proxy", "first Connected (through proxy)", "sleep 15000 (resumed)", "proxy alone",
                      "sleep 5000", "proxy alone", "sleep 5000", "proxy alone", "sleep 5000", "proxy alone",
                      "sleep 5000", "proxy alone", "sleep 5000", "proxy alone", "sleep 5000", "proxy alone",
                      "change Broken (proxy)"}));
}

TEST(MonitorProxy, NothingGoesToTheProxyWhileTheHostsAnswerOrWithoutANetwork)
{
    CauseScript script;
    ProbeFindings cableOut = {};
    script.answers = {Connected, Broken, Broken, Connected};
    script.found = {kHomeWebDue, cableOut, kHome, kHome};
    script.gateway = {true, true};
    script.web = {WebAnswer::Expected, WebAnswer::None};
    script.proxy = {ProxyAnswer::NoProxy};
    EXPECT_EQ(runWithProxy(script),
              (Events{"probe", "gateway 3", "web", "first Connected",
                      "sleep 60000", "probe", "change Broken (no network)",
                      "sleep 5000", "probe", "proxy", "gateway 2", "web",  // no proxy set: as ever
                      "sleep 5000", "probe", "change Connected"}));
}

TEST(MonitorCause, ASignInPageIsHeldByNoOpinionTwiceAtMostAndNotOnAnotherNetwork)
{
    CauseScript script;
    script.answers = std::vector<LinkState>(9, Broken);
    script.found = {kHome, kHome, kHome, kHome, kHome, kHome, kHome, kNewNetwork, kHome};
    script.gateway = std::vector<bool>(9, true);
    script.web = {WebAnswer::Other, WebAnswer::None, WebAnswer::None, WebAnswer::None, WebAnswer::None,
                  WebAnswer::Other, WebAnswer::Other, WebAnswer::None, WebAnswer::None};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 2", "web", "first Broken (sign-in page)",
                      "sleep 5000", "probe", "gateway 2", "web", "sleep 5000", "probe", "gateway 2", "web",
                      "sleep 5000", "probe", "gateway 2", "web",  // the third no longer holds it
                      "sleep 5000", "probe", "gateway 2", "web", "change Broken (provider)",
                      "sleep 5000", "probe", "gateway 2", "web",
                      "sleep 5000", "probe", "gateway 2", "web", "change Broken (sign-in page)",
                      "sleep 5000", "probe", "gateway 2", "web",  // another network: nothing held
                      "sleep 5000", "probe", "gateway 2", "web", "change Broken (provider)"}));
}

TEST(MonitorCause, ARouterLearnedSilentThatAnswersAtBrokenIsTheProviderAndLearnedAnew)
{
    CauseScript script;
    script.answers = {Connected, Broken, Connected, Broken};
    script.found = {kHome, kHome, kHome, kHome};
    script.gateway = {false, true, false};
    script.web = {WebAnswer::Expected};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 3", "first Connected",  // three lost: learned silent
                      "sleep 60000", "probe", "gateway 1", "web", "change Broken (provider)",
                      "sleep 5000", "probe", "change Connected",  // known to answer now: nothing sent
                      "sleep 60000", "probe", "gateway 2", "change Broken (router)"}));
}

TEST(MonitorCause, ARouterIsLearnedAgainHourlyOnAnotherNetworkAndByItsLinkLayerAddress)
{
    CauseScript script;
    script.probeMs = 0;
    ProbeFindings linkA = kHome, linkB = kHome, linkUnknown = kHome;
    linkA.gatewayLink = 0x0000A1B2C3D4E5F6;
    linkB.gatewayLink = 0x0000A1B2C3D4E5F7;
    script.found = {linkA, linkA, linkUnknown, linkB, kNewNetwork};
    for (int i = 0; i < 60; ++i)
        script.found.push_back(kHome);
    script.answers = std::vector<LinkState>(script.found.size(), Connected);
    script.gateway = std::vector<bool>(4, true);
    Events expected = {"probe", "gateway 3", "first Connected", "sleep 60000", "probe", "sleep 60000", "probe",
                       "sleep 60000", "probe", "gateway 3",   // another router at the same address
                       "sleep 60000", "probe", "gateway 3"};  // another network, the same router address
    for (int i = 0; i < 59; ++i)
        expected.insert(expected.end(), {"sleep 60000", "probe"});
    expected.insert(expected.end(), {"sleep 60000", "probe", "gateway 3"});  // an hour after it was learned
    EXPECT_EQ(runWithClock(script), expected);
}

TEST(MonitorCause, TheRouterAndTheWebAskedAlongsideTheProbeAreNotAskedAgain)
{
    CauseScript script;
    ProbeFindings asked = kHome, askedAnotherRouter = kHome;
    asked.alongside = {kHome.gateway, 2, true, true, WebAnswer::Expected};
    askedAnotherRouter.alongside = {kOtherRouter.gateway, 2, true, true, WebAnswer::None};
    script.answers = {Broken, Broken, Connected, Connected};
    script.found = {asked, askedAnotherRouter, kHome, kHome};
    script.gateway = {false};
    MonitorHooks hooks = scriptedHooks(script);
    script.withCauses = true;
    hooks.findings = scriptedFindings;
    hooks.askGateway = scriptedGateway;
    hooks.checkWeb = scriptedWeb;
    hooks.planAlongside = recordPlan;
    EXPECT_EQ(runScript(script, hooks),
              (Events{"plan -/2 web", "probe", "first Broken (provider)",
                      "sleep 5000", "plan 2/2 web", "probe", "gateway 2",  // asked of another router: asked now
                      "sleep 5000", "plan 2/2 web", "probe", "change Connected",
                      "sleep 60000", "plan 2/2 web", "probe"}));
}

TEST(MonitorCause, AfterABrokenTheNamesCountFromNought)
{
    CauseScript script;
    script.answers = {Connected, Connected, Broken, Connected, Connected};
    script.found = {kHome, kNoNames, kHome, kNoNames, kHome};
    script.gateway = {true, true};
    script.web = {WebAnswer::Expected};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 3", "first Connected", "sleep 60000", "probe",
                      "sleep 5000", "probe", "gateway 2", "web", "change Broken (provider)",
                      "sleep 5000", "probe", "change Connected",  // one failure since the Broken
                      "sleep 5000", "probe"}));
}

TEST(MonitorCause, AfterAReportedChangeTheNextCauseStartsOver)
{
    CauseScript script;
    script.answers = std::vector<LinkState>(5, Broken);
    script.found = {kHome, kTunnel, kOffline, kTunnel, kTunnel};
    script.gateway = {true};
    script.web = std::vector<WebAnswer>(4, WebAnswer::None);
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 2", "web", "first Broken (provider)",
                      "sleep 5000", "probe", "web",
                      "sleep 5000", "probe", "change Broken (no network)",
                      "sleep 5000", "probe", "web",  // the internet once, since no network was shown
                      "sleep 5000", "probe", "web", "change Broken (internet)"}));
}

TEST(MonitorResume, AResumeWhileTheRouterIsAskedDropsTheVerdict)
{
    CauseScript script;
    script.answers = {Connected, Broken, Connected};
    script.found = {kHome, kHome, kHome};
    script.gateway = {true, true};
    script.resumeWhileGatewayAsked = {1};
    script.web = {WebAnswer::None};
    EXPECT_EQ(runWithClock(script), (Events{"probe", "gateway 3", "first Connected",
                                            "sleep 60000", "probe", "gateway 2", "web",  // dropped
                                            "sleep 5000", "probe", "change Connected"}));
}

TEST(MonitorResume, TheCauseShownBeforeASleepIsLoggedAtTheFirstVerdictAfterTheGrace)
{
    CauseScript script;
    script.probeMs = 0;
    script.answers = std::vector<LinkState>(8, Broken);
    script.found = std::vector<ProbeFindings>(8, kHome);
    script.resumeBeforeProbe = {1};
    script.gateway = {true, true};
    script.web = {WebAnswer::None, WebAnswer::None};
    Events expected = {"probe", "gateway 2", "web", "first Broken (provider)", "sleep 5000 (resumed)", "probe"};
    for (int i = 0; i < 6; ++i)
        expected.insert(expected.end(), {"sleep 5000", "probe"});
    expected.insert(expected.end(), {"gateway 2", "web", "change Broken (provider)"});
    EXPECT_EQ(runWithClock(script), expected);
}

TEST(MonitorLoop, PauseBeforeNextProbe)
{
    MonitorState state = {};
    state.shown = Broken;
    EXPECT_EQ(pauseBeforeNextProbe(state, 1000), 5000u);
    state.shown = Connected;
    EXPECT_EQ(pauseBeforeNextProbe(state, 1000), 1000u);
    EXPECT_EQ(pauseBeforeNextProbe(state, 86400000), 86400000u);
    state.viaProxy = true;
    EXPECT_EQ(pauseBeforeNextProbe(state, 60000), 15000u) << "the proxy's way out watched every 15 s";
    EXPECT_EQ(pauseBeforeNextProbe(state, 5000), 5000u);
}

TEST(BreakCauses, EveryCauseHasItsTextsAndNoneReadsPastThem)
{
    for (int cause = NoNetwork; cause < kBreakCauses; ++cause) {
        EXPECT_STRNE(breakCauseText(static_cast<BreakCause>(cause)), "");
        EXPECT_STRNE(breakCauseName(static_cast<BreakCause>(cause)), "");
    }
    EXPECT_STREQ(breakCauseText(InternetSilent), "The internet does not answer");
    EXPECT_STREQ(breakCauseName(InternetSilent), "internet");
    EXPECT_STREQ(breakCauseText(kBreakCauses), "");
    EXPECT_STREQ(breakCauseName(static_cast<BreakCause>(200)), "");
}

} // namespace
