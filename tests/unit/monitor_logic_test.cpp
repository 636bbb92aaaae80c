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
    for (int r : s.resumeBeforeProbe)
        if (r == static_cast<int>(s.next)) {
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
    return s.gateway.at(s.gatewayAsked++);
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

//                                local gateway     names  web due changed
const ProbeFindings kHome = {true, 0x0101A8C0, false, false, false};
const ProbeFindings kHomeWebDue = {true, 0x0101A8C0, false, true, false};
const ProbeFindings kNoNames = {true, 0x0101A8C0, true, false, false};
const ProbeFindings kOtherRouter = {true, 0x0201A8C0, false, false, false};
const ProbeFindings kNewNetwork = {true, 0x0101A8C0, false, false, true};
const ProbeFindings kTunnel = {true, 0, false, false, false};
const ProbeFindings kOffline = {false, 0, false, false, false};

TEST(MonitorResume, NamesFailingTwiceDuringTheGraceShowNothing)
{
    CauseScript script;
    script.answers = {Connected, Connected, Connected, Connected};
    script.found = {kHome, kNoNames, kNoNames, kHome};
    script.resumeBeforeProbe = {1};
    EXPECT_EQ(runWithResumes(script), (Events{"probe", "first Connected", "sleep 60000 (resumed)", "probe",
                                              "change Connected", "sleep 5000", "probe", "sleep 5000", "probe"}));
}

TEST(MonitorCause, TheGatewayIsLearnedOnceWhileConnectedAndOneSilentToEchoIsNeverAsked)
{
    CauseScript script;
    script.answers = {Connected, Connected, Broken, Broken, Connected, Connected, Broken};
    script.found = {kHome, kHome, kHome, kHome, kOtherRouter, kOtherRouter, kOtherRouter};
    script.gateway = {false, true, true};
    script.web = {WebAnswer::Expected, WebAnswer::None, WebAnswer::Expected};
    EXPECT_EQ(runWithCauses(script),
              (Events{"probe", "gateway 1", "first Connected",
                      "sleep 60000", "probe",  // known: nothing sent
                      "sleep 60000", "probe", "web", "change Broken (internet)",
                      "sleep 5000", "probe", "web",
                      "sleep 5000", "probe", "gateway 1", "change Connected",  // another router: learned
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
              (Events{"probe", "gateway 1", "first Connected",
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
              (Events{"probe", "gateway 1", "web", "first Connected",
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
                      "sleep 60000", "probe", "gateway 1",  // the first failure: the next probe comes soon
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

TEST(MonitorProxy, AnOfficeWhereOnlyTheProxyGoesOutIsWatchedThroughItAlone)
{
    CauseScript script;
    script.answers = {Broken};
    script.found = {kHome};
    script.proxy = {ProxyAnswer::Reached, ProxyAnswer::Reached, ProxyAnswer::Cut, ProxyAnswer::Cut,
                    ProxyAnswer::NoOpinion, ProxyAnswer::Reached, ProxyAnswer::NoOpinion};
    EXPECT_EQ(runWithProxy(script),
              (Events{"probe", "proxy", "first Connected (through proxy)",
                      "sleep 60000", "proxy alone",
                      "sleep 60000", "proxy alone", "change Broken (proxy)",
                      "sleep 5000", "proxy alone", "sleep 5000", "proxy alone",  // a 407 meanwhile tells nothing
                      "sleep 5000", "proxy alone", "change Connected (through proxy)",
                      "sleep 60000", "proxy alone"}));
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
                      "sleep 60000", "proxy alone", "probe", "gateway 2", "web", "change Broken (provider)",
                      "sleep 5000", "probe", "proxy", "gateway 2", "web"}));  // a 407 is no answer
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
              (Events{"probe", "gateway 1", "web", "first Connected",
                      "sleep 60000", "probe", "change Broken (no network)",
                      "sleep 5000", "probe", "proxy", "gateway 2", "web",  // no proxy set: as ever
                      "sleep 5000", "probe", "change Connected"}));
}

TEST(MonitorLoop, PauseBeforeNextProbe)
{
    EXPECT_EQ(pauseBeforeNextProbe(Broken, 1000), 5000u);
    EXPECT_EQ(pauseBeforeNextProbe(Connected, 1000), 1000u);
    EXPECT_EQ(pauseBeforeNextProbe(Connected, 86400000), 86400000u);
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
