#pragma once
// Digests through the system's CryptoAPI provider.
#include <cstdint>
#include <span>
#include <string>

namespace zorv {

// The digest of the bytes as upper-case hex, two digits per byte; empty on
// any failure.  The algorithm is a CryptoAPI identifier (CALG_MD5,
// CALG_SHA_256, ...), digestLength its length in bytes.
std::string DigestHex(std::span<const uint8_t> bytes, uint32_t algorithm, uint32_t digestLength);

}  // namespace zorv
