#pragma once
// The Authenticode check of a downloaded product, through the system's
// trust provider (wintrust.dll, loaded from System32 only).
#include <windows.h>

#include <cstdint>
#include <string>

#include "install/signature_rules.h"

namespace zorv::install {

struct SignatureVerdict {
    bool trusted = false;
    // The trust provider's answer (0 for a valid signature), or the reason
    // the check could not be made.
    int32_t status = 0;
    std::string signer;  // the signer certificate's SHA-256 thumbprint, when it was read
    std::string reason;  // for the log
};

// Checks the file behind the open handle (opened so that nobody can write
// to it meanwhile) for a valid signature over every byte, with the whole
// chain checked and nothing shown, and for a signer the pins accept.
SignatureVerdict CheckProductSignature(HANDLE file, const std::wstring& path, const SignerPins& pins);

}  // namespace zorv::install
