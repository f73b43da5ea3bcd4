#include "Blowfish.h"

namespace vnl {
namespace {

constexpr std::uint32_t kInitialWords[18 + 4 * 256] = {
#include "BlowfishInit.inc"
};

constexpr std::uint32_t Feistel(const BlowfishKey& key, std::uint32_t x) noexcept {
    return ((key.s[0][x >> 24] + key.s[1][(x >> 16) & 0xFF]) ^ key.s[2][(x >> 8) & 0xFF]) +
           key.s[3][x & 0xFF];
}

constexpr void Encrypt(const BlowfishKey& key, std::uint32_t& left, std::uint32_t& right) noexcept {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int round = 0; round < 16; round += 2) {
        l ^= key.p[round];
        r ^= Feistel(key, l);
        r ^= key.p[round + 1];
        l ^= Feistel(key, r);
    }
    left = r ^ key.p[17];
    right = l ^ key.p[16];
}

constexpr void Decrypt(const BlowfishKey& key, std::uint32_t& left, std::uint32_t& right) noexcept {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int round = 17; round > 1; round -= 2) {
        l ^= key.p[round];
        r ^= Feistel(key, l);
        r ^= key.p[round - 1];
        l ^= Feistel(key, r);
    }
    left = r ^ key.p[0];
    right = l ^ key.p[1];
}

constexpr void SetKey(BlowfishKey& key, const unsigned char* bytes, std::size_t length) noexcept {
    for (int i = 0; i < 18; ++i) key.p[i] = kInitialWords[i];
    for (int box = 0; box < 4; ++box)
        for (int i = 0; i < 256; ++i) key.s[box][i] = kInitialWords[18 + box * 256 + i];

    // An empty key acts as the single byte 0 (no division by zero, no read).
    std::size_t at = 0;
    for (int i = 0; i < 18; ++i) {
        std::uint32_t word = 0;
        for (int b = 0; b < 4; ++b) {
            word = (word << 8) | (length == 0 ? 0u : bytes[at]);
            at = (at + 1 >= length) ? 0 : at + 1;
        }
        key.p[i] ^= word;
    }

    // 9 encipherments fill the subkeys, 512 the boxes: each output replaces the
    // next two words, and the schedule in progress is the one enciphering.
    std::uint32_t l = 0;
    std::uint32_t r = 0;
    for (int i = 0; i < 18; i += 2) {
        Encrypt(key, l, r);
        key.p[i] = l;
        key.p[i + 1] = r;
    }
    for (int box = 0; box < 4; ++box) {
        for (int i = 0; i < 256; i += 2) {
            Encrypt(key, l, r);
            key.s[box][i] = l;
            key.s[box][i + 1] = r;
        }
    }
}

constexpr std::uint32_t LoadLittle(const unsigned char* p) noexcept {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

constexpr void StoreLittle(unsigned char* p, std::uint32_t v) noexcept {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

template <bool kEncipher>
void TransformBlocks(const BlowfishKey& key, unsigned char* data, std::size_t length) noexcept {
    if (data == nullptr) return;
    for (std::size_t at = 0; at + 8 <= length; at += 8) {
        std::uint32_t left = LoadLittle(data + at);
        std::uint32_t right = LoadLittle(data + at + 4);
        if constexpr (kEncipher) {
            Encrypt(key, left, right);
        } else {
            Decrypt(key, left, right);
        }
        StoreLittle(data + at, left);
        StoreLittle(data + at + 4, right);
    }
}

constexpr BlowfishKey MakeEnvelopeKey() noexcept {
    BlowfishKey key{};
    SetKey(key, kEnvelopeKey, sizeof kEnvelopeKey);
    return key;
}

constexpr BlowfishKey kEnvelopeSchedule = MakeEnvelopeKey();

}  // namespace

void BlowfishSetKey(BlowfishKey& key, const unsigned char* bytes, std::size_t length) noexcept {
    SetKey(key, bytes, bytes == nullptr ? 0 : length);
}

void BlowfishEncrypt(const BlowfishKey& key, std::uint32_t& left, std::uint32_t& right) noexcept {
    Encrypt(key, left, right);
}

void BlowfishDecrypt(const BlowfishKey& key, std::uint32_t& left, std::uint32_t& right) noexcept {
    Decrypt(key, left, right);
}

void EncipherBlocks(const BlowfishKey& key, unsigned char* data, std::size_t length) noexcept {
    TransformBlocks<true>(key, data, length);
}

void DecipherBlocks(const BlowfishKey& key, unsigned char* data, std::size_t length) noexcept {
    TransformBlocks<false>(key, data, length);
}

const BlowfishKey& EnvelopeKey() noexcept { return kEnvelopeSchedule; }

}  // namespace vnl
