#include "monitor/monitor_logic.h"

namespace {

// Takes note of a resume since the last look; true when there was one.
bool noticeResume(const MonitorHooks& hooks, MonitorState& state)
{
    if (hooks.resumeCount == nullptr)
        return false;
    const uint32_t resumes = hooks.resumeCount(hooks.context);
    if (resumes == state.resumesSeen)
        return false;
    state.resumesSeen = resumes;
    state.resumeGrace = true;
    state.resumedAtMs = hooks.clockMs(hooks.context);
    return true;
}

// Without a findings hook: a local address, nothing else known.
ProbeFindings findingsOf(const MonitorHooks& hooks)
{
    if (hooks.findings != nullptr)
        return hooks.findings(hooks.context);
    const ProbeFindings known = {true, false, false};
    return known;
}

// Where the hosts' silence comes from: the cheapest evidence first, and the
// gateway's echo only when nothing else tells.
BreakCause causeOfSilence(const MonitorHooks& hooks, const ProbeFindings& found)
{
    if (!found.localAddress)
        return NoNetwork;
    if (hooks.askGateway != nullptr && hooks.askGateway(hooks.context) == GatewayAnswer::Silent)
        return RouterSilent;
    return ProviderDown;
}

bool graceOver(const MonitorHooks& hooks, const MonitorState& state)
{
    return hooks.clockMs(hooks.context) - state.resumedAtMs >= kResumeGraceMs;
}

} // namespace

uint32_t pauseBeforeNextProbe(LinkState previous, uint32_t pingIntervalMs)
{
    return previous == Broken ? static_cast<uint32_t>(kBrokenRetryMs) : pingIntervalMs;
}

Verdict judgeProbe(const MonitorHooks& hooks, LinkState answer, uint32_t& namesFailedInRow)
{
    const ProbeFindings found = findingsOf(hooks);
    const bool hostsAnswered = answer == Connected || found.signInPage;
    namesFailedInRow = hostsAnswered && found.namesFailed ? namesFailedInRow + 1 : 0;
    if (found.signInPage)
        return {Broken, SignInPage};
    if (!hostsAnswered)
        return {Broken, causeOfSilence(hooks, found)};
    if (namesFailedInRow >= kNameFailuresForBroken)
        return {Broken, NamesUnanswered};
    return {Connected, NoCause};
}

MonitorState monitorFirstProbe(const MonitorHooks& hooks, HostGenerator& generator)
{
    MonitorState state = {};
    if (hooks.resumeCount != nullptr)
        state.resumesSeen = hooks.resumeCount(hooks.context);
    const LinkState answer = hooks.probe(pickProbeHost(generator), hooks.context);
    const Verdict verdict = judgeProbe(hooks, answer, state.namesFailedInRow);
    state.shown = verdict.state;
    state.cause = verdict.cause;
    hooks.report(state.shown, state.cause, true, hooks.context);
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
    noticeResume(hooks, state);  // a resume cut the wait short: probe now
    const LinkState answer = hooks.probe(pickProbeHost(generator), hooks.context);
    if (noticeResume(hooks, state))
        return state;  // the probe spanned a suspend: its answer means nothing
    if (state.resumeGrace && graceOver(hooks, state))
        state.resumeGrace = false;
    if (answer == Broken && state.resumeGrace)
        return state;  // nothing more is asked of a network still waking
    const Verdict verdict = judgeProbe(hooks, answer, state.namesFailedInRow);
    if (verdict.state == Broken && state.resumeGrace)
        return state;
    if (verdict.state != state.shown || verdict.cause != state.cause) {
        hooks.report(verdict.state, verdict.cause, false, hooks.context);
        state.shown = verdict.state;
        state.cause = verdict.cause;
    }
    return state;
}
