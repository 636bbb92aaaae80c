// The two families of addresses, IPv4 and IPv6: what a name gave of each,
// and which the probe and the web check use. An IPv6-only network (NAT64 and
// DNS64 answer names with addresses in 64:ff9b::/96) has no IPv4 route; a
// dual-stack one may have a broken IPv4. Portable: no <windows.h>.
#pragma once

#include <cstdint>

#include "probe/echo_request.h"

// A name's addresses, one per family it has.
struct HostAddresses {
    bool hasIpv4, hasIpv6;
    uint32_t ipv4;  // network byte order
    Ipv6Bytes ipv6;
};

// A new answer replaces the families it holds; a family it lacks keeps the
// address remembered (a name server that answered only AAAA this time
// leaves the IPv4 address as it was).
void takeNameAnswer(HostAddresses& remembered, const HostAddresses& answer);

// Which families a probe goes by: IPv6 where it has a route toward the
// internet and the host an address of it; IPv4 where the host has an
// address of it and IPv4 a route, or IPv6 is not there either (a host may
// still answer without a route toward the internet: a request that cannot
// leave fails at once). IPv4 carries the echo requests, IPv6 where IPv4 does
// not go (ICMPv6); IPv6's handshake goes alongside IPv4's.
struct ProbeFamilies {
    bool ipv4, ipv6;
};
ProbeFamilies chooseProbeFamilies(bool ipv4Route, bool ipv6Route, const HostAddresses& host);

// The family of the web check: IPv4 where it can go, else IPv6; false where
// neither can.
bool webCheckOverIpv6(bool ipv4Route, bool ipv6Route, const HostAddresses& host, bool& possible);

// An IPv6 address as one number (never 0) that changes with it.
uint32_t foldIpv6Address(const Ipv6Bytes& address);
// The network of a local IPv6 address, its /64 prefix, as one number (never
// 0), for the look that notices a move to another network: a new temporary
// address within the same prefix (a daily privacy address) is no move.
uint32_t foldIpv6Prefix(const Ipv6Bytes& address);
