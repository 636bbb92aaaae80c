#include "monitor/monitor_logic.h"

namespace {

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
    state.resumedAtMs = hooks.clockMs(hooks.context);
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

WebAnswer webAnswer(const MonitorHooks& hooks, LinkState probeAnswer)
{
    return hooks.checkWeb != nullptr ? hooks.checkWeb(probeAnswer, hooks.context) : WebAnswer::None;
}

bool signInShown(const MonitorState& state)
{
    return state.shown == Broken && state.cause == SignInPage;
}

// A sign-in page answered the web check; or, while one is shown, the check
// had no opinion (a slow portal, a reset): the page is still in the way.
bool signInPageInTheWay(const MonitorHooks& hooks, LinkState probeAnswer, const MonitorState& state)
{
    const WebAnswer answer = webAnswer(hooks, probeAnswer);
    return answer == WebAnswer::Other || (answer == WebAnswer::None && signInShown(state));
}

// One echo request to a gateway not known yet, while the hosts answer:
// whether it answers echo at all. Nothing is sent to one already known.
void learnGateway(const MonitorHooks& hooks, const ProbeFindings& found, MonitorState& state)
{
    if (found.gateway == state.gateway && state.gatewayEcho != GatewayEcho::Unlearned)
        return;
    state.gateway = found.gateway;
    state.gatewayEcho = GatewayEcho::Unlearned;
    if (found.gateway == 0 || hooks.askGateway == nullptr)
        return;
    const bool answered = hooks.askGateway(found.gateway, 1, hooks.context);
    state.gatewayEcho = answered ? GatewayEcho::Answers : GatewayEcho::Silent;
}

// Where the hosts' silence comes from, with a local address: only a gateway
// that may answer echo is asked, and only its answer names a place. One not
// learned yet that answers is learned; its silence proves nothing.
BreakCause causeOfSilence(const MonitorHooks& hooks, const ProbeFindings& found, MonitorState& state)
{
    if (hooks.askGateway == nullptr)
        return ProviderDown;
    if (found.gateway == 0)
        return InternetSilent;
    const bool known = found.gateway == state.gateway && state.gatewayEcho != GatewayEcho::Unlearned;
    if (known && state.gatewayEcho == GatewayEcho::Silent)
        return InternetSilent;
    const bool answered = hooks.askGateway(found.gateway, kGatewayRequests, hooks.context);
    if (known)
        return answered ? ProviderDown : RouterSilent;
    if (answered) {
        state.gateway = found.gateway;
        state.gatewayEcho = GatewayEcho::Answers;
    }
    return answered ? ProviderDown : InternetSilent;
}

// Connected through the proxy, or Broken by its way out: the check through it
// is the probe, and nothing is sent to the hosts directly.
bool proxyCarriesTheCheck(const MonitorState& state)
{
    return state.cause == ThroughProxy || state.cause == ProxyCut;
}

// What the proxy's answer shows; false where it shows nothing (none is set,
// it was not reached or not asked).
bool judgedByProxy(ProxyAnswer answer, const MonitorState& state, Verdict& verdict)
{
    if (answer == ProxyAnswer::Reached)
        verdict = {Connected, ThroughProxy};
    else if (answer == ProxyAnswer::Cut)
        verdict = {Broken, ProxyCut};
    else if (answer == ProxyAnswer::NoOpinion && state.shown == Connected && state.cause == ThroughProxy)
        verdict = {Connected, ThroughProxy};
    else
        return false;
    return true;
}

// The check through the proxy alone, while it carries the check. false where
// the hosts are to be probed directly; then *askProxyAgain says whether the
// direct probe's failure may ask it again (not where it was just not reached).
bool judgedThroughProxyAlone(const MonitorHooks& hooks, MonitorState& state, Verdict& verdict, bool& askProxyAgain)
{
    askProxyAgain = true;
    if (hooks.checkProxy == nullptr || !proxyCarriesTheCheck(state))
        return false;
    const ProxyAnswer answer = hooks.checkProxy(true, hooks.context);
    askProxyAgain = answer != ProxyAnswer::Unreachable;
    if (answer != ProxyAnswer::NoOpinion)
        return judgedByProxy(answer, state, verdict);
    verdict = {state.shown, state.cause};  // what the proxy last showed stands
    return true;
}

Verdict judgeDirectProbe(const MonitorHooks& hooks, LinkState answer, MonitorState& state, bool askProxy)
{
    const ProbeFindings found = findingsOf(hooks);
    if (found.networkChanged)
        state.gatewayEcho = GatewayEcho::Unlearned;
    if (answer != Connected) {
        state.namesFailedInRow = 0;
        if (!found.localAddress)
            return {Broken, NoNetwork};
        Verdict throughProxy;
        if (askProxy && hooks.checkProxy != nullptr &&
            judgedByProxy(hooks.checkProxy(false, hooks.context), state, throughProxy))
            return throughProxy;
        const BreakCause cause = causeOfSilence(hooks, found, state);
        if (cause != RouterSilent && signInPageInTheWay(hooks, answer, state))
            return {Broken, SignInPage};
        return {Broken, cause};
    }
    learnGateway(hooks, found, state);
    state.namesFailedInRow = found.namesFailed ? state.namesFailedInRow + 1 : 0;
    if (found.webCheckDue && signInPageInTheWay(hooks, answer, state))
        return {Broken, SignInPage};
    if (state.namesFailedInRow >= kNameFailuresForBroken)
        return {Broken, NamesUnanswered};
    return {Connected, NoCause};
}

bool graceOver(const MonitorHooks& hooks, const MonitorState& state)
{
    return hooks.clockMs(hooks.context) - state.resumedAtMs >= kResumeGraceMs;
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

} // namespace

uint32_t pauseBeforeNextProbe(LinkState previous, uint32_t pingIntervalMs)
{
    return previous == Broken ? static_cast<uint32_t>(kBrokenRetryMs) : pingIntervalMs;
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
    const LinkState answer = hooks.probe(pickProbeHost(generator), hooks.context);
    const Verdict verdict = judgeProbe(hooks, answer, state);
    report(hooks, state, verdict, true);
    return state;
}

MonitorState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, MonitorState state)
{
    // A network still waking, or a name that went unanswered, brings the next
    // probe within 5 s: nearer, never farther than the interval.
    const bool soon = state.resumeGrace || state.namesFailedInRow > 0;
    const uint32_t regular = pauseBeforeNextProbe(state.shown, hooks.pingIntervalMs);
    const uint32_t pause = soon && regular > kBrokenRetryMs ? static_cast<uint32_t>(kBrokenRetryMs) : regular;
    hooks.sleep(pause, hooks.context);
    noticePowerChange(hooks, state);  // a resume cut the wait short: probe now
    Verdict verdict;
    bool askProxy;
    if (!judgedThroughProxyAlone(hooks, state, verdict, askProxy)) {
        const LinkState answer = hooks.probe(pickProbeHost(generator), hooks.context);
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
