// The text forms of the signing key and of installer signatures: what base64
// the reader takes, and that only exactly 64 bytes make a key or a signature.
#include "config/xml_config.h"
#include "download/signature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Bytes(const std::vector<uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

std::string Encoded(size_t length, uint8_t first = 0) {
    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i)
        data[i] = static_cast<uint8_t>(first + i * 37);
    return Base64Encode(data.data(), data.size());
}

TEST(Base64, DecodesTheStandardExamples) {
    // RFC 4648, section 10.
    const char* const pairs[][2] = {{"", ""},
                                    {"Zg==", "f"},
                                    {"Zm8=", "fo"},
                                    {"Zm9v", "foo"},
                                    {"Zm9vYg==", "foob"},
                                    {"Zm9vYmE=", "fooba"},
                                    {"Zm9vYmFy", "foobar"}};
    for (const auto& pair : pairs) {
        std::vector<uint8_t> out;
        ASSERT_TRUE(Base64Decode(pair[0], out)) << pair[0];
        EXPECT_EQ(Bytes(out), pair[1]) << pair[0];
        const std::string plain = pair[1];
        EXPECT_EQ(Base64Encode(reinterpret_cast<const uint8_t*>(plain.data()), plain.size()),
                  pair[0]);
    }
}

TEST(Base64, RoundTripsEveryByteValue) {
    std::vector<uint8_t> all(256);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> out;
    ASSERT_TRUE(Base64Decode(Base64Encode(all.data(), all.size()), out));
    EXPECT_EQ(out, all);
}

TEST(Base64, RefusesWhatIsNotStrictBase64) {
    const char* const bad[] = {
        "Zg",       // padding missing
        "Zg=",      // length not a multiple of 4
        "Z===",     // three pads
        "Zg==Zm8=", // pad in the middle
        "Zm9v\n",   // a line end inside
        "Zm 9v",    // a blank inside
        "Zm9-",     // URL-safe alphabet
        "Zh==",     // bits left over below the last byte
        "Zm9=",     // the same with one pad
        "Zm9v!A==", // a character outside the alphabet
    };
    for (const char* text : bad) {
        std::vector<uint8_t> out;
        EXPECT_FALSE(Base64Decode(text, out)) << text;
    }
}

TEST(SignatureText, TakesExactly64BytesWithOuterBlanks) {
    InstallerSignature signature;
    const std::string text = Encoded(kSignatureBytes, 5);
    ASSERT_TRUE(ParseInstallerSignature(text, signature));
    EXPECT_EQ(signature[0], 5);
    EXPECT_EQ(signature[63], static_cast<uint8_t>(5 + 63 * 37));
    // The element may hold the value on a line of its own.
    EXPECT_TRUE(ParseInstallerSignature("\n    " + text + "\r\n  ", signature));
}

TEST(SignatureText, RefusesOtherLengthsAndBadText) {
    InstallerSignature signature;
    EXPECT_FALSE(ParseInstallerSignature("", signature));
    EXPECT_FALSE(ParseInstallerSignature("   ", signature));
    EXPECT_FALSE(ParseInstallerSignature(Encoded(63), signature));
    EXPECT_FALSE(ParseInstallerSignature(Encoded(65), signature));
    // A DER signature as OpenSSL writes it is 70 to 72 bytes: not this form.
    EXPECT_FALSE(ParseInstallerSignature(Encoded(71), signature));
    std::string broken = Encoded(kSignatureBytes);
    broken[10] = '*';
    EXPECT_FALSE(ParseInstallerSignature(broken, signature));
    std::string inner = Encoded(kSignatureBytes);
    inner.insert(40, " ");
    EXPECT_FALSE(ParseInstallerSignature(inner, signature));
}

TEST(SigningKeyText, TakesTheXYPointOnly) {
    SigningKey key;
    EXPECT_TRUE(ParseSigningKey(Encoded(kSigningKeyBytes), key));
    // The uncompressed point with its 04 prefix is 65 bytes: refused, so a
    // key pasted in another form fails the build check, not every download.
    EXPECT_FALSE(ParseSigningKey(Encoded(65, 4), key));
    EXPECT_FALSE(ParseSigningKey(Encoded(32), key));
    EXPECT_FALSE(ParseSigningKey("not a key", key));
}

TEST(SignatureElement, IsReadLikeTheOtherInstallerKeys) {
    CXmlConfig description;
    ASSERT_TRUE(
        description.LoadFromText("<Option><Verson>1</Verson><Signature>QUJD</Signature></Option>"));
    EXPECT_EQ(description.values["Signature"], "QUJD");
    // A later document without it keeps the earlier value ...
    ASSERT_TRUE(description.LoadFromText("<Option><Verson>2</Verson></Option>"));
    EXPECT_EQ(description.values["Signature"], "QUJD");
    // ... and an empty element gives the empty text.
    ASSERT_TRUE(description.LoadFromText("<Option><Signature/></Option>"));
    EXPECT_EQ(description.values.count("Signature"), 1u);
    EXPECT_EQ(description.values["Signature"], "");
}

} // namespace
