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

bool isSignInPage(const MonitorHooks& hooks, LinkState result)
{
    return result == Broken && hooks.signInPage != nullptr && hooks.signInPage(hooks.context);
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

MonitorState monitorFirstProbe(const MonitorHooks& hooks, HostGenerator& generator)
{
    MonitorState state = {};
    if (hooks.resumeCount != nullptr)
        state.resumesSeen = hooks.resumeCount(hooks.context);
    state.shown = hooks.probe(pickProbeHost(generator), hooks.context);
    state.signInShown = isSignInPage(hooks, state.shown);
    hooks.report(state.shown, true, hooks.context);
    return state;
}

MonitorState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, MonitorState state)
{
    const uint32_t pause = state.resumeGrace ? static_cast<uint32_t>(kBrokenRetryMs)
                                             : pauseBeforeNextProbe(state.shown, hooks.pingIntervalMs);
    hooks.sleep(pause, hooks.context);
    noticeResume(hooks, state);  // a resume cut the wait short: probe now
    const LinkState result = hooks.probe(pickProbeHost(generator), hooks.context);
    if (noticeResume(hooks, state))
        return state;  // the probe spanned a suspend: its answer means nothing
    if (state.resumeGrace && graceOver(hooks, state))
        state.resumeGrace = false;
    if (result == Broken && state.resumeGrace)
        return state;
    const bool signIn = isSignInPage(hooks, result);
    if (result != state.shown || signIn != state.signInShown) {
        hooks.report(result, false, hooks.context);
        state.shown = result;
        state.signInShown = signIn;
    }
    return state;
}
