// SHA-256 (FIPS 180-4) and base64 (RFC 4648), for the page's Content-Security-Policy.
#include "sha256.h"

#include <cstdint>
#include <cstring>

namespace plcinfo {

namespace {

const std::uint32_t InitialHash[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

const std::uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotate(std::uint32_t x, int n) {
    return x >> n | x << (32 - n);
}

// One 64-byte block into the hash state.
void hashBlock(std::uint32_t (&h)[8], const unsigned char* block) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
               std::uint32_t{block[4 * i + 2]} << 8 | block[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotate(w[i - 15], 7) ^ rotate(w[i - 15], 18) ^ w[i - 15] >> 3;
        const std::uint32_t s1 = rotate(w[i - 2], 17) ^ rotate(w[i - 2], 19) ^ w[i - 2] >> 10;
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t v[8];
    std::memcpy(v, h, sizeof v);
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t e = v[4], a = v[0];
        const std::uint32_t t1 = v[7] + (rotate(e, 6) ^ rotate(e, 11) ^ rotate(e, 25)) +
                                 ((e & v[5]) ^ (~e & v[6])) + RoundConstants[i] + w[i];
        const std::uint32_t t2 = (rotate(a, 2) ^ rotate(a, 13) ^ rotate(a, 22)) +
                                 ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        for (int k = 7; k > 0; --k)
            v[k] = v[k - 1];
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i)
        h[i] += v[i];
}

} // namespace

Sha256Digest sha256(std::string_view bytes) {
    std::uint32_t h[8];
    std::memcpy(h, InitialHash, sizeof h);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t whole = bytes.size() / 64 * 64;
    for (std::size_t at = 0; at < whole; at += 64)
        hashBlock(h, data + at);

    // The rest, the 0x80 that ends the message and its length in bits, in one block or two:
    // two when fewer than the length's eight bytes are left after the 0x80.
    unsigned char tail[128] = {};
    const std::size_t rest = bytes.size() - whole;
    if (rest > 0)
        std::memcpy(tail, data + whole, rest);
    tail[rest] = 0x80;
    const std::size_t tailSize = rest + 1 + 8 <= 64 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    for (std::size_t at = 0; at < tailSize; at += 64)
        hashBlock(h, tail + at);

    Sha256Digest digest;
    for (int i = 0; i < 32; ++i)
        digest[i] = static_cast<unsigned char>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

void appendBase64(std::string& out, const unsigned char* bytes, std::size_t size) {
    static const char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < size; i += 3) {
        const std::size_t left = size - i;
        const std::uint32_t n = std::uint32_t{bytes[i]} << 16 |
                                (left > 1 ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                (left > 2 ? bytes[i + 2] : 0);
        out += Alphabet[n >> 18 & 63];
        out += Alphabet[n >> 12 & 63];
        out += left > 1 ? Alphabet[n >> 6 & 63] : '=';
        out += left > 2 ? Alphabet[n & 63] : '=';
    }
}

} // namespace plcinfo
