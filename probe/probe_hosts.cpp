#include "probe/probe_hosts.h"

// Three large sites of three different operators, each known to answer ICMP
// echo: the probe counts only real echo replies, so a host that drops ICMP
// would read as a lost connection, and spreading over operators keeps one
// operator's outage from looking like the whole internet going away.
const char* const kProbeHosts[kProbeHostCount] = {
    "www.google.com",
    "one.one.one.one",
    "www.wikipedia.org",
};

unsigned nextProbeHostIndex(HostGenerator& generator)
{
    generator.state = generator.state * 214013u + 2531011u;
    const unsigned output = (generator.state >> 16) & 0x7FFF;
    return output % kProbeHostCount;
}

const char* pickProbeHost(HostGenerator& generator)
{
    return kProbeHosts[nextProbeHostIndex(generator)];
}
