#include "probe/address_families.h"

void takeNameAnswer(HostAddresses& remembered, const HostAddresses& answer)
{
    if (answer.hasIpv4) {
        remembered.hasIpv4 = true;
        remembered.ipv4 = answer.ipv4;
    }
    if (answer.hasIpv6) {
        remembered.hasIpv6 = true;
        remembered.ipv6 = answer.ipv6;
    }
}

ProbeFamilies chooseProbeFamilies(bool ipv4Route, bool ipv6Route, const HostAddresses& host)
{
    const bool ipv6 = ipv6Route && host.hasIpv6;
    return {host.hasIpv4 && (ipv4Route || !ipv6), ipv6};
}

bool webCheckOverIpv6(bool ipv4Route, bool ipv6Route, const HostAddresses& host, bool& possible)
{
    const ProbeFamilies families = chooseProbeFamilies(ipv4Route, ipv6Route, host);
    possible = families.ipv4 || families.ipv6;
    return !families.ipv4 && families.ipv6;
}

namespace {

uint32_t foldBytes(const uint8_t* bytes, int count)
{
    uint32_t folded = 0;
    for (int i = 0; i < count; ++i)
        folded = folded * 31 + bytes[i];
    return folded != 0 ? folded : 1;
}

} // namespace

uint32_t foldIpv6Address(const Ipv6Bytes& address)
{
    return foldBytes(address.bytes, 16);
}

uint32_t foldIpv6Prefix(const Ipv6Bytes& address)
{
    return foldBytes(address.bytes, 8);
}
