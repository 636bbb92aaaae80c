#include "core/app_state.h"

AppState g_app;

void setStartValues(AppState& state)
{
    state = AppState();
    state.pingIntervalMs = 60000;
    state.shownState = Broken;  // the icon shows Broken until the first probe says otherwise
}
