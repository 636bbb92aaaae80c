// The two states the program knows and what it shows for each.
// Portable: no <windows.h>.
#pragma once

enum LinkState { Connected = 0, Broken = 1 };

// The one text of a state: the notification icon's tip and the status message.
const char* linkStateText(LinkState state);

// Where the break is, when Broken; while Connected, NoCause, or ThroughProxy
// where only the user's proxy reaches the internet.
enum BreakCause {
    NoCause = 0,
    NoNetwork,        // no local address toward the internet: cable out, Wi-Fi off
    RouterSilent,     // the default gateway, known to answer echo, does not
    ProviderDown,     // the gateway answers, the hosts beyond it do not
    NamesUnanswered,  // the hosts answer, their names are not answered
    SignInPage,       // a sign-in page is in the way
    InternetSilent,   // the hosts do not answer, and no router could be asked:
                      // it answered none of the echo requests it was sent, or
                      // the route has no next hop
    ProxyCut,         // the hosts do not answer, and the user's proxy answers
                      // for an internet it cannot reach
    ProxySignIn,      // the user's proxy asks for a sign-in that the user's own
                      // Windows sign-in does not meet
    ThroughProxy,     // Connected: the hosts do not answer, the proxy reaches them
    kBreakCauses
};

// The line under the state's text in the tip and the status window; "" for NoCause.
const char* breakCauseText(BreakCause cause);

// The log's cause column: "router", "sign-in page", "through proxy"; "" for NoCause.
const char* breakCauseName(BreakCause cause);

// The icon group of a state: the notification icon's picture, and the windows'.
int linkStateIconId(LinkState state);

// What the browser is sent to when a sign-in page is in the way: the portal
// then shows its page.
extern const char kSignInPageAddress[];
