// Name-based UUIDs (version 5, SHA-1): the same name always gives the same
// UUID, another name another one. Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

struct Uuid {
    uint8_t bytes[16];  // in the order UUIDs are written, most significant first
};

// The UUID of a name (any bytes) within a namespace UUID.
Uuid nameBasedUuid(const Uuid& nameSpace, const uint8_t* name, std::size_t length);
