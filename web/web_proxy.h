// The web check through the proxy that the user's system names for the
// check's address (see ProxyAnswer in web/web_check.h).
#pragma once

#include <cstdint>

#include "web/web_check.h"

// The user's proxy settings, as browsers read them: a fixed proxy, an
// automatic configuration script or proxy discovery. The proxy is found once
// per network (a number that changes with it) and form of the settings, and
// again after 10 minutes; discovery and scripts are given 5 s at most. The
// session through the proxy is kept with its connection, so that the
// proxy's sign-in, made with the user's own Windows credentials where it
// asks for them, is made once. connectWaitMs bounds the connection to the
// proxy, 5 s each other step. The answer is as it counts: one from a proxy
// on this computer names no cause (proxyAnswerThatCounts). WinHTTP is loaded
// from the system folder on first use. The monitor thread's alone.
ProxyAnswer fetchThroughProxy(uint32_t network, uint32_t connectWaitMs);

// Where the proxy is due to be found anew by discovery or a script, starts
// that without waiting (where the system lets it be given up later), so
// that a check soon after finds it done: the probe calls it alongside its
// handshake.
void prepareProxy(uint32_t network);
