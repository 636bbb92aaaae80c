// The two families: what is remembered of a name, and which family goes.
#include <gtest/gtest.h>

#include "probe/address_families.h"

namespace {

HostAddresses ipv4Only(uint32_t address) { return {true, false, address, {}}; }

HostAddresses ipv6Only(uint8_t last)
{
    HostAddresses host = {false, true, 0, {{0, 0x64, 0xff, 0x9b}}};
    host.ipv6.bytes[15] = last;
    return host;
}

TEST(AddressFamilies, EachFamilyIsRememberedOnItsOwn)
{
    HostAddresses remembered = {};
    takeNameAnswer(remembered, ipv4Only(0x0A7100CB));
    takeNameAnswer(remembered, ipv6Only(10));
    EXPECT_TRUE(remembered.hasIpv4 && remembered.hasIpv6);
    EXPECT_EQ(remembered.ipv4, 0x0A7100CBu) << "an answer of AAAA alone keeps the IPv4 address";
    takeNameAnswer(remembered, ipv6Only(11));
    EXPECT_EQ(remembered.ipv6.bytes[15], 11) << "a new IPv6 address replaces the old";
    takeNameAnswer(remembered, HostAddresses{});
    EXPECT_TRUE(remembered.hasIpv4 && remembered.hasIpv6) << "an empty answer forgets nothing";
}

TEST(AddressFamilies, TheProbeGoesByEachFamilyWithARouteAndAnAddress)
{
    HostAddresses both = ipv6Only(10);
    takeNameAnswer(both, ipv4Only(0x0A7100CB));
    const struct {
        bool ipv4Route, ipv6Route;
        HostAddresses host;
        bool ipv4, ipv6;
    } cases[] = {
        {true, false, both, true, false},              // IPv4 only: as ever
        {true, true, both, true, true},                // dual stack: the handshake over both
        {false, true, both, false, true},              // IPv6 only, the IPv4 address an old one
        {true, true, ipv4Only(1), true, false},        // a name without AAAA
        {true, true, ipv6Only(10), false, true},       // DNS64 on a dual-stack network
        {false, true, ipv4Only(1), true, false},       // tried: a request that cannot leave fails at once
        {false, false, both, true, false},             // no route at all: IPv4 as ever
    };
    for (const auto& c : cases) {
        const ProbeFamilies families = chooseProbeFamilies(c.ipv4Route, c.ipv6Route, c.host);
        EXPECT_EQ(families.ipv4, c.ipv4) << c.ipv4Route << c.ipv6Route;
        EXPECT_EQ(families.ipv6, c.ipv6) << c.ipv4Route << c.ipv6Route;
    }
    bool possible = false;
    EXPECT_FALSE(webCheckOverIpv6(true, true, both, possible)) << "the web check prefers IPv4";
    EXPECT_TRUE(possible);
    EXPECT_TRUE(webCheckOverIpv6(false, true, both, possible));
    EXPECT_TRUE(possible);
    EXPECT_FALSE(webCheckOverIpv6(false, false, HostAddresses{}, possible));
    EXPECT_FALSE(possible) << "no address";
}

TEST(AddressFamilies, AnIpv6AddressFoldsIntoANumberThatIsNeverZeroAndFollowsIt)
{
    Ipv6Bytes zero = {};
    EXPECT_NE(foldIpv6Address(zero), 0u);
    const Ipv6Bytes a = {{0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
    Ipv6Bytes b = a;
    b.bytes[15] = 2;
    EXPECT_NE(foldIpv6Address(a), foldIpv6Address(b));
    b = a;
    b.bytes[0] = 0x21;  // the network part too
    EXPECT_NE(foldIpv6Address(a), foldIpv6Address(b));

    // The network: a new temporary address within the same /64 is the same one.
    Ipv6Bytes temporary = a;
    for (int i = 8; i < 16; ++i)
        temporary.bytes[i] = static_cast<uint8_t>(0x5a + i);
    EXPECT_EQ(foldIpv6Prefix(a), foldIpv6Prefix(temporary));
    Ipv6Bytes otherNetwork = a;
    otherNetwork.bytes[7] = 1;
    EXPECT_NE(foldIpv6Prefix(a), foldIpv6Prefix(otherNetwork));
    EXPECT_NE(foldIpv6Prefix(zero), 0u);
}

} // namespace
