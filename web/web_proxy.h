// The web check through the proxy that the user's system names for the
// check's address (see ProxyAnswer in web/web_check.h).
#pragma once

#include "web/web_check.h"

// The user's proxy settings, as browsers read them: a fixed proxy, an
// automatic configuration script or proxy discovery; the proxy's sign-in
// made with the user's own Windows credentials where it asks for them.
// connectWaitMs bounds the connection to the proxy, 5 s the rest of each step.
// WinHTTP is loaded from the system folder on first use.
ProxyAnswer fetchThroughProxy(uint32_t connectWaitMs);
