#pragma once
// Which signature makes a downloaded product one to install: a valid
// Authenticode signature, by the publisher's certificate when the build
// names it.  Portable.
#include <string>
#include <string_view>
#include <vector>

namespace zorv::install {

// The publisher's signing certificates as the build names them (the CMake
// setting ZORV_PRODUCT_SIGNER): SHA-256 thumbprints in hex, colons and
// blanks allowed, several separated by ";" or "," (for a certificate
// change).  Each comes back as 64 upper-case digits; nothing when the text
// names none.  A piece that is no thumbprint makes the whole setting
// unusable (empty, invalid set).
struct SignerPins {
    std::vector<std::string> thumbprints;
    bool valid = true;
};
SignerPins ParseSignerPins(std::string_view setting);

// Whether a signer's certificate (its SHA-256 thumbprint, hex in any case)
// is one the build accepts.  Without pins any signer of a valid signature
// is accepted.
bool AcceptedSigner(const SignerPins& pins, std::string_view thumbprint);

}  // namespace zorv::install
