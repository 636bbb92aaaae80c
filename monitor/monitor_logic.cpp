#include "monitor/monitor_logic.h"

namespace {

uint32_t clockNow(const MonitorHooks& hooks)
{
    return hooks.clockMs != nullptr ? hooks.clockMs(hooks.context) : 0;
}

// Whether that long has passed since the moment; never without a clock.
bool hasPassed(const MonitorHooks& hooks, uint32_t sinceMs, uint32_t milliseconds)
{
    return hooks.clockMs != nullptr && clockNow(hooks) - sinceMs >= milliseconds;
}

// Takes note of a suspend or resume since the last look; true when there
// was one.
bool noticePowerChange(const MonitorHooks& hooks, MonitorState& state)
{
    if (hooks.powerChanges == nullptr)
        return false;
    const uint32_t changes = hooks.powerChanges(hooks.context);
    if (changes == state.powerChangesSeen)
        return false;
    state.powerChangesSeen = changes;
    state.resumeGrace = true;
    state.reportAfterSleep = true;
    state.resumedAtMs = clockNow(hooks);
    return true;
}

// Without a findings hook: a local address, nothing else known.
ProbeFindings findingsOf(const MonitorHooks& hooks)
{
    if (hooks.findings != nullptr)
        return hooks.findings(hooks.context);
    ProbeFindings known = {};
    known.localAddress = true;
    return known;
}

// The answer the web check gave alongside the probe, or else asked now.
WebAnswer webAnswer(const MonitorHooks& hooks, LinkState probeAnswer, const ProbeFindings& found)
{
    if (found.alongside.webAsked)
        return found.alongside.web;
    return hooks.checkWeb != nullptr ? hooks.checkWeb(probeAnswer, hooks.context) : WebAnswer::None;
}

bool signInShown(const MonitorState& state)
{
    return state.shown == Broken && state.cause == SignInPage;
}

// A sign-in page answered the web check; or, while one is shown, the check
// had no opinion (a slow portal, a reset): the page is still in the way,
// unless that was the third such answer in a row since the last with an
// opinion (see judgeDirectProbe for a change of network).
bool signInPageInTheWay(const MonitorHooks& hooks, LinkState probeAnswer, const ProbeFindings& found,
                        MonitorState& state)
{
    const WebAnswer answer = webAnswer(hooks, probeAnswer, found);
    if (answer != WebAnswer::None) {
        state.webNoOpinions = 0;
        return answer == WebAnswer::Other;
    }
    if (!signInShown(state) || state.webNoOpinions >= kNoOpinionsInRow)
        return false;
    return ++state.webNoOpinions < kNoOpinionsInRow;
}

// The same router as the one learned: the same address, and where the
// system names both, the same link-layer address (another network's router
// often has the same address).
bool sameGateway(const ProbeFindings& found, const MonitorState& state)
{
    return found.gateway == state.gateway &&
           (found.gatewayLink == 0 || state.gatewayLink == 0 || found.gatewayLink == state.gatewayLink);
}

void noteGateway(const MonitorHooks& hooks, const ProbeFindings& found, GatewayEcho echo, MonitorState& state)
{
    state.gateway = found.gateway;
    state.gatewayLink = found.gatewayLink;
    state.gatewayEcho = echo;
    state.gatewayLearnedAtMs = clockNow(hooks);
}

// While the hosts answer: up to three echo requests to a gateway not known
// yet, or learned an hour ago, stopping at the first answer. Nothing is sent
// to one already known.
void learnGateway(const MonitorHooks& hooks, const ProbeFindings& found, MonitorState& state)
{
    if (sameGateway(found, state) && state.gatewayEcho != GatewayEcho::Unlearned &&
        !hasPassed(hooks, state.gatewayLearnedAtMs, kGatewayRelearnMs)) {
        if (state.gatewayLink == 0)
            state.gatewayLink = found.gatewayLink;
        return;
    }
    noteGateway(hooks, found, GatewayEcho::Unlearned, state);
    if (found.gateway == 0 || hooks.askGateway == nullptr)
        return;
    const bool answered = hooks.askGateway(found.gateway, kGatewayLearningRequests, hooks.context);
    state.gatewayEcho = answered ? GatewayEcho::Answers : GatewayEcho::Silent;
}

// Whether the gateway answered that many requests, asked alongside the
// probe where it was, else now.
bool gatewayAnswers(const MonitorHooks& hooks, const ProbeFindings& found, uint32_t requests)
{
    const AlongsideAnswers& alongside = found.alongside;
    if (alongside.gateway == found.gateway && (alongside.gatewayAnswered || alongside.gatewayRequests >= requests))
        return alongside.gatewayAnswered;
    return hooks.askGateway(found.gateway, requests, hooks.context);
}

// Where the hosts' silence comes from, with a local address: the gateway is
// asked, and only its answer names a place. An answer is the provider's
// break, and teaches that the gateway answers echo. Silence is the router's
// only from one known to answer; from one not learned yet, or known not to
// answer, it proves nothing.
BreakCause causeOfSilence(const MonitorHooks& hooks, const ProbeFindings& found, MonitorState& state)
{
    if (hooks.askGateway == nullptr)
        return ProviderDown;
    if (found.gateway == 0)
        return InternetSilent;
    const bool known = sameGateway(found, state) && state.gatewayEcho != GatewayEcho::Unlearned;
    const bool silent = known && state.gatewayEcho == GatewayEcho::Silent;
    if (gatewayAnswers(hooks, found, silent ? kSilentGatewayRequests : kGatewayRequests)) {
        noteGateway(hooks, found, GatewayEcho::Answers, state);
        return ProviderDown;
    }
    return known && !silent ? RouterSilent : InternetSilent;
}

void leaveProxy(MonitorState& state)
{
    state.viaProxy = false;
    state.proxyNoOpinions = 0;
}

enum class ProxyRoad {
    Decided,  // the proxy's answer is the verdict
    Held,     // no opinion: the state shown stands
    Direct,   // the direct probe decides
};

// What the proxy's answer shows. No opinion holds the state that the proxy
// showed twice; the third in a row, like a proxy not reached, leaves the
// proxy for the direct probe.
ProxyRoad judgeThroughProxy(ProxyAnswer answer, MonitorState& state, Verdict& verdict)
{
    switch (answer) {
    case ProxyAnswer::Reached:
        verdict = {Connected, ThroughProxy};
        break;
    case ProxyAnswer::Cut:
        verdict = {Broken, ProxyCut};
        break;
    case ProxyAnswer::SignIn:
        verdict = {Broken, SignInPage};
        break;
    case ProxyAnswer::SignInAsked:
        verdict = {Broken, ProxySignIn};
        break;
    case ProxyAnswer::NoOpinion:
        if (state.viaProxy && ++state.proxyNoOpinions < kNoOpinionsInRow) {
            verdict = {state.shown, state.cause};
            return ProxyRoad::Held;
        }
        leaveProxy(state);
        return ProxyRoad::Direct;
    default:
        leaveProxy(state);
        return ProxyRoad::Direct;
    }
    state.viaProxy = true;
    state.proxyNoOpinions = 0;
    return ProxyRoad::Decided;
}

Verdict judgeDirectProbe(const MonitorHooks& hooks, LinkState answer, MonitorState& state, bool askProxy)
{
    const ProbeFindings found = findingsOf(hooks);
    if (found.networkChanged) {
        // Another network: its router is learned anew, and a sign-in page
        // shown on the one before holds nothing here.
        state.gatewayEcho = GatewayEcho::Unlearned;
        state.webNoOpinions = kNoOpinionsInRow;
    }
    if (answer != Connected) {
        state.namesFailedInRow = 0;
        if (!found.localAddress) {
            leaveProxy(state);
            return {Broken, NoNetwork};
        }
        Verdict throughProxy;
        if (askProxy && hooks.checkProxy != nullptr &&
            judgeThroughProxy(hooks.checkProxy(false, hooks.context), state, throughProxy) != ProxyRoad::Direct)
            return throughProxy;
        leaveProxy(state);
        const BreakCause cause = causeOfSilence(hooks, found, state);
        if (cause != RouterSilent && signInPageInTheWay(hooks, answer, found, state))
            return {Broken, SignInPage};
        return {Broken, cause};
    }
    leaveProxy(state);
    learnGateway(hooks, found, state);
    state.namesFailedInRow = found.namesFailed ? state.namesFailedInRow + 1 : 0;
    if (found.webCheckDue && signInPageInTheWay(hooks, answer, found, state))
        return {Broken, SignInPage};
    if (state.namesFailedInRow >= kNameFailuresForBroken)
        return {Broken, NamesUnanswered};
    return {Connected, NoCause};
}

// What the next probe may ask alongside its handshake.
AlongsidePlan alongsidePlan(const MonitorHooks& hooks, const MonitorState& state)
{
    AlongsidePlan plan = {};
    if (hooks.askGateway != nullptr) {
        plan.learnedGateway = state.gatewayEcho != GatewayEcho::Unlearned ? state.gateway : 0;
        plan.learnedRequests = state.gatewayEcho == GatewayEcho::Silent ? kSilentGatewayRequests : kGatewayRequests;
        plan.otherRequests = kGatewayRequests;
    }
    plan.web = hooks.checkWeb != nullptr;
    return plan;
}

LinkState probeDirectly(const MonitorHooks& hooks, HostGenerator& generator, MonitorState& state)
{
    state.directProbeAtMs = clockNow(hooks);
    if (hooks.planAlongside != nullptr)
        hooks.planAlongside(alongsidePlan(hooks, state), hooks.context);
    return hooks.probe(pickProbeHost(generator), hooks.context);
}

bool graceOver(const MonitorHooks& hooks, const MonitorState& state)
{
    return hasPassed(hooks, state.resumedAtMs, kResumeGraceMs);
}

void report(const MonitorHooks& hooks, MonitorState& state, const Verdict& verdict, bool first)
{
    hooks.report(verdict.state, verdict.cause, first, hooks.context);
    state.shown = verdict.state;
    state.cause = verdict.cause;
    state.nextCause = NoCause;
    state.reportAfterSleep = false;
}

// Whether a verdict that differs from what is shown is reported now: a
// change of state always; a change of where the break is once the probe
// before agreed, or at once for no network.
bool changeStands(const Verdict& verdict, MonitorState& state)
{
    if (verdict.state != state.shown || verdict.cause == NoNetwork)
        return true;
    const bool agreed = state.nextCause == verdict.cause;
    state.nextCause = verdict.cause;
    return agreed;
}

// The check through the proxy alone, while it carries the check and the
// hosts are not due a direct probe: true with its verdict; false where the
// hosts are to be probed directly, and then askProxyAgain says whether the
// direct probe's failure may ask the proxy again (only where the local
// network changed under it).
bool judgedThroughProxyAlone(const MonitorHooks& hooks, MonitorState& state, Verdict& verdict, bool& askProxyAgain)
{
    askProxyAgain = true;
    if (!state.viaProxy || hooks.checkProxy == nullptr ||
        hasPassed(hooks, state.directProbeAtMs, kDirectProbeThroughProxyMs))
        return false;
    const ProxyAnswer answer = hooks.checkProxy(true, hooks.context);
    askProxyAgain = answer == ProxyAnswer::Unasked;
    return judgeThroughProxy(answer, state, verdict) != ProxyRoad::Direct;
}

} // namespace

uint32_t pauseBeforeNextProbe(const MonitorState& state, uint32_t pingIntervalMs)
{
    if (state.shown == Broken)
        return kBrokenRetryMs;
    return state.viaProxy && pingIntervalMs > kProxyCheckMs ? static_cast<uint32_t>(kProxyCheckMs) : pingIntervalMs;
}

Verdict judgeProbe(const MonitorHooks& hooks, LinkState answer, MonitorState& state)
{
    return judgeDirectProbe(hooks, answer, state, true);
}

MonitorState monitorFirstProbe(const MonitorHooks& hooks, HostGenerator& generator)
{
    MonitorState state = {};
    if (hooks.powerChanges != nullptr)
        state.powerChangesSeen = hooks.powerChanges(hooks.context);
    const LinkState answer = probeDirectly(hooks, generator, state);
    const Verdict verdict = judgeProbe(hooks, answer, state);
    report(hooks, state, verdict, true);
    return state;
}

MonitorState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, MonitorState state)
{
    // A network still waking, or a name that went unanswered, brings the next
    // probe within 5 s: nearer, never farther than the interval.
    const bool soon = state.resumeGrace || state.namesFailedInRow > 0;
    const uint32_t regular = pauseBeforeNextProbe(state, hooks.pingIntervalMs);
    const uint32_t pause = soon && regular > kBrokenRetryMs ? static_cast<uint32_t>(kBrokenRetryMs) : regular;
    hooks.sleep(pause, hooks.context);
    noticePowerChange(hooks, state);  // a resume cut the wait short: probe now
    Verdict verdict;
    bool askProxy;
    if (!judgedThroughProxyAlone(hooks, state, verdict, askProxy)) {
        const LinkState answer = probeDirectly(hooks, generator, state);
        if (noticePowerChange(hooks, state))
            return state;  // the machine slept or woke during the probe: its answer means nothing
        if (state.resumeGrace && graceOver(hooks, state))
            state.resumeGrace = false;
        if (answer == Broken && state.resumeGrace)
            return state;  // nothing more is asked of a network still waking
        verdict = judgeDirectProbe(hooks, answer, state, askProxy);
    } else if (state.resumeGrace && graceOver(hooks, state)) {
        state.resumeGrace = false;
    }
    if (noticePowerChange(hooks, state))
        return state;  // or while the gateway, the web or the proxy were asked
    if (verdict.state == Broken && state.resumeGrace)
        return state;
    const bool same = verdict.state == state.shown && verdict.cause == state.cause;
    if (same && !state.reportAfterSleep)
        state.nextCause = NoCause;
    else if (state.reportAfterSleep || changeStands(verdict, state))
        report(hooks, state, verdict, false);
    return state;
}
