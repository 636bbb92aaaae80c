// The two states the program knows and what it shows for each.
// Portable: no <windows.h>.
#pragma once

enum LinkState { Connected = 0, Broken = 1 };

// The one text of a state: the notification icon's tip and the status message.
const char* linkStateText(LinkState state);

// The icon group of a state, which is also the notification icon's identifier.
int linkStateIconId(LinkState state);

// What the browser is sent to when a sign-in page is in the way: the portal
// then shows its page.
extern const char kSignInPageAddress[];
