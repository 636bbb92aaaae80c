#include "tray/hide_times.h"

const HideTimeChoice kHideTimeChoices[kHideTimeChoiceCount] = {
    {IDM_HIDE_NEVER, "Never", 0},
    {IDM_HIDE_NEVER + 1, "10 s", 10},
    {IDM_HIDE_NEVER + 2, "20 s", 20},
    {IDM_HIDE_NEVER + 3, "30 s", 30},
    {IDM_HIDE_NEVER + 4, "40 s", 40},
    {IDM_HIDE_NEVER + 5, "50 s", 50},
    {IDM_HIDE_NEVER + 6, "60 s", 60},
};

const HideTimeChoice* findHideTimeById(int commandId)
{
    for (const HideTimeChoice& choice : kHideTimeChoices)
        if (choice.commandId == commandId)
            return &choice;
    return nullptr;
}

const HideTimeChoice* findHideTimeBySeconds(int seconds)
{
    for (const HideTimeChoice& choice : kHideTimeChoices)
        if (choice.seconds == seconds)
            return &choice;
    return nullptr;
}
