#include "install/signature_rules.h"

#include <algorithm>

namespace zorv::install {
namespace {

constexpr std::size_t kThumbprintDigits = 64;

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char Upper(char c) { return c >= 'a' && c <= 'f' ? char(c - 'a' + 'A') : c; }

// The digits of one piece, upper-cased; empty when anything else is in it.
std::string Digits(std::string_view piece) {
    std::string digits;
    for (char c : piece) {
        if (c == ':' || c == ' ' || c == '\t') continue;
        if (!IsHexDigit(c)) return {};
        digits.push_back(Upper(c));
    }
    return digits;
}

}  // namespace

SignerPins ParseSignerPins(std::string_view setting) {
    SignerPins pins;
    std::size_t start = 0;
    while (start <= setting.size()) {
        std::size_t end = setting.find_first_of(";,", start);
        if (end == std::string_view::npos) end = setting.size();
        std::string_view piece = setting.substr(start, end - start);
        if (piece.find_first_not_of(" \t") != std::string_view::npos) {
            std::string digits = Digits(piece);
            if (digits.size() != kThumbprintDigits) return {{}, false};
            pins.thumbprints.push_back(digits);
        }
        start = end + 1;
    }
    return pins;
}

bool AcceptedSigner(const SignerPins& pins, std::string_view thumbprint) {
    if (!pins.valid) return false;
    if (pins.thumbprints.empty()) return true;
    std::string digits = Digits(thumbprint);
    return std::find(pins.thumbprints.begin(), pins.thumbprints.end(), digits) != pins.thumbprints.end();
}

}  // namespace zorv::install
