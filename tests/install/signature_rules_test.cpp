#include "install/signature_rules.h"

#include <gtest/gtest.h>

#include <cctype>

namespace zorv::install {
namespace {

const std::string kPublisher = "3F2A9C0B7D4E5F60718293A4B5C6D7E8F90A1B2C3D4E5F60718293A4B5C6D7E8";
const std::string kNext = "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";

TEST(SignerPins, OnlyThePinnedCertificatesAreAcceptedWhateverTheSpelling) {
    // Colons and lower case as certificate viewers show them, two pins for
    // a certificate change.
    std::string spelled;
    for (std::size_t i = 0; i < kPublisher.size(); i += 2) spelled += (i ? ":" : "") + kPublisher.substr(i, 2);
    for (char& c : spelled) c = char(std::tolower(static_cast<unsigned char>(c)));
    SignerPins pins = ParseSignerPins(spelled + "; " + kNext);
    ASSERT_TRUE(pins.valid);
    EXPECT_EQ(pins.thumbprints, (std::vector<std::string>{kPublisher, kNext}));
    EXPECT_TRUE(AcceptedSigner(pins, kPublisher));
    EXPECT_TRUE(AcceptedSigner(pins, spelled));
    EXPECT_TRUE(AcceptedSigner(pins, kNext));
    std::string other = kPublisher;
    other.back() = '9';
    EXPECT_FALSE(AcceptedSigner(pins, other));
    EXPECT_FALSE(AcceptedSigner(pins, ""));
    EXPECT_FALSE(AcceptedSigner(pins, kPublisher.substr(0, 40)));
}

TEST(SignerPins, NoPinAcceptsAnySignerAMalformedOneAcceptsNone) {
    SignerPins none = ParseSignerPins(" ; ");
    EXPECT_TRUE(none.valid);
    EXPECT_TRUE(AcceptedSigner(none, kPublisher));
    // A typo must not turn the pin off: the whole setting is unusable.
    for (std::string bad : {kPublisher.substr(1), kPublisher + "0", kPublisher + ";xyz", "SHA256:" + kPublisher}) {
        SignerPins pins = ParseSignerPins(bad);
        EXPECT_FALSE(pins.valid) << bad;
        EXPECT_FALSE(AcceptedSigner(pins, kPublisher)) << bad;
    }
}

}  // namespace
}  // namespace zorv::install
