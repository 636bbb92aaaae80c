// The auto-hide times offered in the tray menu. Portable: no <windows.h>.
#pragma once

struct HideTimeChoice {
    int commandId;
    const char* label;
    int seconds;
};

enum : int { kHideTimeChoiceCount = 7, IDM_HIDE_NEVER = 110 };

extern const HideTimeChoice kHideTimeChoices[kHideTimeChoiceCount];

// The row with that command id or that number of seconds; null when none has it.
const HideTimeChoice* findHideTimeById(int commandId);
const HideTimeChoice* findHideTimeBySeconds(int seconds);
