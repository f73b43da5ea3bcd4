// The envelope cipher against the published reference vectors, and the word
// order it uses on the wire.
#include "Blowfish.h"
#include "DriverProtocol.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Hex(const std::string& hex) {
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::uint32_t BigWord(const std::vector<unsigned char>& b, size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) | (std::uint32_t(b[at + 2]) << 8) | b[at + 3];
}

struct Vector {
    const char* key;    // hex
    const char* plain;  // hex, the block as two big-endian halves
    const char* cipher;
};

// Reference vectors: the standard ECB set and the variable-key-length set.
constexpr Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1D2C3", "FEDCBA9876543210", "BE1E639408640F05"},
    {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
};

TEST(Blowfish, ReferenceVectorsEncipherAndDecipher) {
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(std::string("key ") + v.key + " plain " + v.plain);
        const auto key = Hex(v.key);
        const auto plain = Hex(v.plain);
        const auto cipher = Hex(v.cipher);
        vnl::BlowfishKey schedule;
        vnl::BlowfishSetKey(schedule, key.data(), key.size());

        std::uint32_t left = BigWord(plain, 0), right = BigWord(plain, 4);
        vnl::BlowfishEncrypt(schedule, left, right);
        EXPECT_EQ(left, BigWord(cipher, 0));
        EXPECT_EQ(right, BigWord(cipher, 4));

        vnl::BlowfishDecrypt(schedule, left, right);
        EXPECT_EQ(left, BigWord(plain, 0));
        EXPECT_EQ(right, BigWord(plain, 4));
    }
}

// The envelope key pinned by known answers: two blocks as they lie on the
// wire, enciphered under "TOLWEKUS" by independent Blowfish implementations
// (each 4-byte half read little-endian). A wrong key, schedule or word order
// fails here.
TEST(Blowfish, EnvelopeKeyKnownAnswers) {
    struct Case { std::array<unsigned char, 8> plain, cipher; };
    const Case cases[] = {
        {{0x80, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}, {0x0A, 0xF6, 0xDF, 0xD3, 0x9A, 0x6D, 0x08, 0x55}},
        {{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}, {0x1A, 0xF0, 0x2E, 0x17, 0x22, 0xAF, 0x31, 0xDF}},
    };
    for (const Case& c : cases) {
        auto data = c.plain;
        vnl::EncipherBlocks(vnl::EnvelopeKey(), data.data(), data.size());
        EXPECT_EQ(data, c.cipher);
        vnl::DecipherBlocks(vnl::EnvelopeKey(), data.data(), data.size());
        EXPECT_EQ(data, c.plain);
    }
    // The schedule computed at compile time equals one computed at run time.
    vnl::BlowfishKey computed;
    vnl::BlowfishSetKey(computed, vnl::kEnvelopeKey, sizeof vnl::kEnvelopeKey);
    EXPECT_EQ(0, std::memcmp(&computed, &vnl::EnvelopeKey(), sizeof computed));
}

// Blocks on the wire are two little-endian words, the lower-addressed one the
// left half; whole blocks only, the tail left alone.
TEST(Blowfish, BlocksAreLittleEndianHalvesLeftFirst) {
    const vnl::BlowfishKey& key = vnl::EnvelopeKey();
    std::array<unsigned char, 19> data{};
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(0x11 * (i + 1));
    const auto original = data;

    vnl::EncipherBlocks(key, data.data(), data.size());
    for (size_t block = 0; block < 2; ++block) {
        std::uint32_t left = vnl::ReadEnvelopeWord(original.data(), block * 8);
        std::uint32_t right = vnl::ReadEnvelopeWord(original.data(), block * 8 + 4);
        vnl::BlowfishEncrypt(key, left, right);
        EXPECT_EQ(vnl::ReadEnvelopeWord(data.data(), block * 8), left) << "block " << block;
        EXPECT_EQ(vnl::ReadEnvelopeWord(data.data(), block * 8 + 4), right) << "block " << block;
    }
    EXPECT_EQ(data[16], original[16]);
    EXPECT_EQ(data[18], original[18]);

    vnl::DecipherBlocks(key, data.data(), data.size());
    EXPECT_EQ(data, original);
}

TEST(Blowfish, EmptyOrNullKeyActsAsZeroByte) {
    vnl::BlowfishKey zeroByte, empty, null;
    const unsigned char zero = 0;
    vnl::BlowfishSetKey(zeroByte, &zero, 1);
    vnl::BlowfishSetKey(empty, &zero, 0);
    vnl::BlowfishSetKey(null, nullptr, 8);
    EXPECT_EQ(0, std::memcmp(&zeroByte, &empty, sizeof empty));
    EXPECT_EQ(0, std::memcmp(&zeroByte, &null, sizeof null));
}

}  // namespace
