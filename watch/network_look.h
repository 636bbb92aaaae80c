// The looks between probes at the network that carries the internet: where
// it would be reached from, and the packets its interface has counted. They
// ask the system only; nothing is sent.
#pragma once

#include <cstdint>

#include "probe/address_families.h"
#include "watch/traffic_watch.h"

// Where the internet would be reached from now. Both are 0 when there is no
// route there; the interface is 0 too where the system cannot say.
struct NetworkPlace {
    uint32_t localAddress;    // see localRouteAddress
    uint32_t interfaceIndex;
};

inline bool operator!=(const NetworkPlace& a, const NetworkPlace& b)
{
    return a.localAddress != b.localAddress || a.interfaceIndex != b.interfaceIndex;
}

// Both at once; the monitor thread's sockets must be started.
NetworkPlace lookAtNetwork();

// The local address alone: cheap enough for the look every 2 s and at each
// verdict. The interface costs more (the system reads its whole route
// table), and changes without the address only when two adapters share a
// network. The IPv4 address (network byte order); where only IPv6 goes
// out, its network (the /64 prefix) folded into a number that is not 0.
uint32_t localRouteAddress();
// Each family's own: 0 and false where it has no route toward the internet.
uint32_t localIpv4RouteAddress();
bool localIpv6RouteAddress(Ipv6Bytes& address);
uint32_t internetInterface();

// The unicast packets the interface has received and sent so far; false where
// the system cannot say.
bool readInterfaceCounters(uint32_t interfaceIndex, TrafficCounters& counters);

// The next hop of the best route toward the internet, seen from that local
// address (both network byte order); 0 where there is none, or where the
// route has no next hop: it is the computer itself (point-to-point links,
// tunnels, PPP).
uint32_t defaultGateway(uint32_t localAddress);

// The same for IPv6 (GetBestRoute2, Vista and later), with the interface as
// the scope of a link-local next hop; false where there is none, the route
// has no next hop, or the system cannot say (Wine knows no IPv6 routes).
bool defaultGateway6(Ipv6Bytes& gateway, uint32_t& scope);

// The local address the system would send from to that IPv6 address.
bool localIpv6AddressToward(const Ipv6Bytes& address, uint32_t scope, Ipv6Bytes& local);

// The link-layer (MAC) address of a router on the local link, from the
// system's table of neighbours, packed into one number; 0 where the system
// does not say (no entry yet, a tunnel). Another network's router often has
// the same IP address; this tells them apart.
uint64_t gatewayLinkAddress(uint32_t gateway);
uint64_t gatewayLinkAddress6(const Ipv6Bytes& gateway);
