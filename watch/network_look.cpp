#include "watch/network_look.h"

#include <winsock2.h>
#include <ws2ipdef.h>  // before iphlpapi.h: the 64-bit interface rows
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "core/system_library.h"

namespace {

// Addresses in the documentation ranges, reached through the default route
// like any other outside address, and no host's.
const u_long kOutsideAddress = 0xC6336401;  // 198.51.100.1
const uint8_t kOutsideAddress6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};  // 2001:db8::1

sockaddr_in6 outsideAddress6()
{
    sockaddr_in6 outside = {};
    outside.sin6_family = AF_INET6;
    outside.sin6_port = htons(443);
    CopyMemory(&outside.sin6_addr, kOutsideAddress6, sizeof kOutsideAddress6);
    return outside;
}

// The local address the system would send from to that outside address, of
// its family, into `local`. A connect on a datagram socket sends nothing; it
// only asks the system (Wine too, where its route calls know no IPv6). A
// fresh socket each time: a socket connected again keeps the source address
// of its first connect, and a move to another network would go unseen.
bool localAddressToward(const sockaddr* outside, int outsideSize, sockaddr* local, int localSize)
{
    const SOCKET sock = socket(outside->sa_family, SOCK_DGRAM, IPPROTO_UDP);
    if (sock == INVALID_SOCKET)
        return false;
    const bool found = connect(sock, outside, outsideSize) == 0 && getsockname(sock, local, &localSize) == 0;
    closesocket(sock);
    return found;
}

} // namespace

uint32_t localIpv4RouteAddress()
{
    sockaddr_in outside = {};
    outside.sin_family = AF_INET;
    outside.sin_port = htons(443);
    outside.sin_addr.s_addr = htonl(kOutsideAddress);
    sockaddr_in local = {};
    return localAddressToward(reinterpret_cast<const sockaddr*>(&outside), sizeof outside,
                              reinterpret_cast<sockaddr*>(&local), sizeof local)
               ? local.sin_addr.s_addr
               : 0;
}

bool localIpv6AddressToward(const Ipv6Bytes& address, uint32_t scope, Ipv6Bytes& local)
{
    sockaddr_in6 toward = {};
    toward.sin6_family = AF_INET6;
    toward.sin6_port = htons(443);
    toward.sin6_scope_id = scope;
    CopyMemory(&toward.sin6_addr, address.bytes, sizeof address.bytes);
    sockaddr_in6 from = {};
    if (!localAddressToward(reinterpret_cast<const sockaddr*>(&toward), sizeof toward,
                            reinterpret_cast<sockaddr*>(&from), sizeof from))
        return false;
    CopyMemory(local.bytes, &from.sin6_addr, sizeof local.bytes);
    return true;
}

bool localIpv6RouteAddress(Ipv6Bytes& address)
{
    Ipv6Bytes outside;
    CopyMemory(outside.bytes, kOutsideAddress6, sizeof outside.bytes);
    return localIpv6AddressToward(outside, 0, address);
}

// IPv6 is asked only where IPv4 has no route: a move between networks that
// have IPv4 shows in its address.
uint32_t localRouteAddress()
{
    const uint32_t ipv4 = localIpv4RouteAddress();
    Ipv6Bytes ipv6;
    return ipv4 != 0 ? ipv4 : localIpv6RouteAddress(ipv6) ? foldIpv6Prefix(ipv6) : 0;
}

namespace {

// iphlpapi's functions, looked up once (a look comes up to four times a second).
// GetIfEntry2 (64-bit counters) from Vista on; GetIfEntry on XP.
struct InterfaceFunctions {
    bool lookedUp;
    DWORD(WINAPI* bestInterface)(IPAddr, PDWORD);
    DWORD(WINAPI* bestInterfaceEx)(sockaddr*, PDWORD);
    DWORD(WINAPI* bestRoute)(DWORD, DWORD, PMIB_IPFORWARDROW);
    DWORD(WINAPI* bestRoute2)(NET_LUID*, NET_IFINDEX, const SOCKADDR_INET*, const SOCKADDR_INET*, ULONG,
                              PMIB_IPFORWARD_ROW2, SOCKADDR_INET*);
    DWORD(WINAPI* entry2)(PMIB_IF_ROW2);
    DWORD(WINAPI* indexToLuid)(NET_IFINDEX, PNET_LUID);
    DWORD(WINAPI* entry)(PMIB_IFROW);
    DWORD(WINAPI* neighbours2)(ADDRESS_FAMILY, PMIB_IPNET_TABLE2*);
    VOID(WINAPI* freeTable)(PVOID);
    DWORD(WINAPI* neighbours)(PMIB_IPNETTABLE, PULONG, BOOL);
};
InterfaceFunctions g_functions;  // the monitor thread's alone

const InterfaceFunctions& interfaceFunctions()
{
    InterfaceFunctions& f = g_functions;
    if (!f.lookedUp) {
        findSystemFunction(f.bestInterface, L"iphlpapi.dll", "GetBestInterface");
        findSystemFunction(f.bestInterfaceEx, L"iphlpapi.dll", "GetBestInterfaceEx");
        findSystemFunction(f.bestRoute, L"iphlpapi.dll", "GetBestRoute");
        findSystemFunction(f.bestRoute2, L"iphlpapi.dll", "GetBestRoute2");
        findSystemFunction(f.entry2, L"iphlpapi.dll", "GetIfEntry2");
        findSystemFunction(f.indexToLuid, L"iphlpapi.dll", "ConvertInterfaceIndexToLuid");
        if (f.entry2 == nullptr)
            findSystemFunction(f.entry, L"iphlpapi.dll", "GetIfEntry");
        findSystemFunction(f.neighbours2, L"iphlpapi.dll", "GetIpNetTable2");
        findSystemFunction(f.freeTable, L"iphlpapi.dll", "FreeMibTable");
        findSystemFunction(f.neighbours, L"iphlpapi.dll", "GetIpNetTable");
        f.lookedUp = true;
    }
    return f;
}

// The interface whose counters are read, by its locally unique id: a row
// asked for by index costs the system a second lookup, the id's, on every
// read. The id lasts as long as its adapter; once a read by it fails, it is
// looked up again.
struct CountedInterface {
    bool known;
    uint32_t index;
    NET_LUID luid;
};
CountedInterface g_counted;  // the monitor thread's alone

bool fillInterfaceRow(uint32_t interfaceIndex, MIB_IF_ROW2& row)
{
    const InterfaceFunctions& f = interfaceFunctions();
    CountedInterface& counted = g_counted;
    if (!counted.known || counted.index != interfaceIndex) {
        counted.index = interfaceIndex;
        counted.known = f.indexToLuid != nullptr && f.indexToLuid(interfaceIndex, &counted.luid) == NO_ERROR;
    }
    if (!counted.known) {
        row.InterfaceIndex = interfaceIndex;
        return f.entry2(&row) == NO_ERROR;
    }
    row.InterfaceLuid = counted.luid;
    counted.known = f.entry2(&row) == NO_ERROR;
    return counted.known;
}

} // namespace

uint32_t internetInterface()
{
    const InterfaceFunctions& f = interfaceFunctions();
    DWORD index = 0;
    if (f.bestInterface != nullptr && f.bestInterface(htonl(kOutsideAddress), &index) == NO_ERROR)
        return index;
    sockaddr_in6 outside = outsideAddress6();  // an IPv6-only network
    return f.bestInterfaceEx != nullptr &&
                   f.bestInterfaceEx(reinterpret_cast<sockaddr*>(&outside), &index) == NO_ERROR
               ? index
               : 0;
}

NetworkPlace lookAtNetwork()
{
    NetworkPlace place = {localRouteAddress(), 0};
    if (place.localAddress != 0)
        place.interfaceIndex = internetInterface();
    return place;
}

bool readInterfaceCounters(uint32_t interfaceIndex, TrafficCounters& counters)
{
    const InterfaceFunctions& f = interfaceFunctions();
    if (interfaceIndex == 0)
        return false;
    if (f.entry2 != nullptr) {
        MIB_IF_ROW2 row;
        ZeroMemory(&row, sizeof row);
        if (!fillInterfaceRow(interfaceIndex, row))
            return false;
        counters.in = static_cast<uint32_t>(row.InUcastPkts);
        counters.out = static_cast<uint32_t>(row.OutUcastPkts);
        return true;
    }
    if (f.entry == nullptr)
        return false;
    MIB_IFROW row;
    ZeroMemory(&row, sizeof row);
    row.dwIndex = interfaceIndex;
    if (f.entry(&row) != NO_ERROR)
        return false;
    counters.in = row.dwInUcastPkts;
    counters.out = row.dwOutUcastPkts;
    return true;
}

uint32_t defaultGateway(uint32_t localAddress)
{
    const InterfaceFunctions& f = interfaceFunctions();
    MIB_IPFORWARDROW route;
    ZeroMemory(&route, sizeof route);
    if (localAddress == 0 || f.bestRoute == nullptr || f.bestRoute(htonl(kOutsideAddress), 0, &route) != NO_ERROR)
        return 0;
    const uint32_t nextHop = route.dwForwardNextHop;
    return nextHop != localAddress && nextHop != htonl(kOutsideAddress) ? nextHop : 0;
}

bool defaultGateway6(Ipv6Bytes& gateway, uint32_t& scope)
{
    const InterfaceFunctions& f = interfaceFunctions();
    SOCKADDR_INET outside = {};
    outside.Ipv6 = outsideAddress6();
    MIB_IPFORWARD_ROW2 route;
    SOCKADDR_INET source;
    ZeroMemory(&route, sizeof route);
    if (f.bestRoute2 == nullptr || f.bestRoute2(nullptr, 0, nullptr, &outside, 0, &route, &source) != NO_ERROR ||
        route.NextHop.si_family != AF_INET6)
        return false;
    CopyMemory(gateway.bytes, &route.NextHop.Ipv6.sin6_addr, sizeof gateway.bytes);
    scope = route.InterfaceIndex;
    for (uint8_t byte : gateway.bytes)
        if (byte != 0)
            return true;
    return false;  // on-link: no next hop
}

namespace {

uint64_t packedLinkAddress(const UCHAR* bytes, ULONG length)
{
    uint64_t packed = 0;
    for (ULONG i = 0; i < length && i < 8; ++i)
        packed = packed << 8 | bytes[i];
    return packed;
}

bool isNeighbour(const MIB_IPNET_ROW2& row, uint32_t ipv4, const Ipv6Bytes* ipv6)
{
    if (ipv6 != nullptr)
        return row.Address.si_family == AF_INET6 &&
               memcmp(&row.Address.Ipv6.sin6_addr, ipv6->bytes, sizeof ipv6->bytes) == 0;
    return row.Address.si_family == AF_INET && row.Address.Ipv4.sin_addr.s_addr == ipv4;
}

// From the system's table of neighbours (Vista and later; XP's for IPv4).
uint64_t neighbourLinkAddress(uint32_t ipv4, const Ipv6Bytes* ipv6)
{
    const InterfaceFunctions& f = interfaceFunctions();
    uint64_t found = 0;
    MIB_IPNET_TABLE2* table = nullptr;
    if (f.neighbours2 != nullptr && f.freeTable != nullptr &&
        f.neighbours2(ipv6 != nullptr ? AF_INET6 : AF_INET, &table) == NO_ERROR) {
        for (ULONG i = 0; i < table->NumEntries && found == 0; ++i)
            if (isNeighbour(table->Table[i], ipv4, ipv6))
                found = packedLinkAddress(table->Table[i].PhysicalAddress, table->Table[i].PhysicalAddressLength);
        f.freeTable(table);
        return found;
    }
    // XP: IPv4 alone, into a buffer the size it asks for (a few rows at home).
    ULONG size = 0;
    if (ipv6 != nullptr || f.neighbours == nullptr || f.neighbours(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    MIB_IPNETTABLE* rows = static_cast<MIB_IPNETTABLE*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (rows != nullptr && f.neighbours(rows, &size, FALSE) == NO_ERROR)
        for (DWORD i = 0; i < rows->dwNumEntries && found == 0; ++i)
            if (rows->table[i].dwAddr == ipv4)
                found = packedLinkAddress(rows->table[i].bPhysAddr, rows->table[i].dwPhysAddrLen);
    if (rows != nullptr)
        HeapFree(GetProcessHeap(), 0, rows);
    return found;
}

} // namespace

uint64_t gatewayLinkAddress(uint32_t gateway)
{
    return gateway != 0 ? neighbourLinkAddress(gateway, nullptr) : 0;
}

uint64_t gatewayLinkAddress6(const Ipv6Bytes& gateway)
{
    return neighbourLinkAddress(0, &gateway);
}
