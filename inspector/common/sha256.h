// SHA-256 and base64: what a page's Content-Security-Policy names its inline style and script
// by ("'sha256-" and the base64 of the digest of their bytes).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace plcinfo {

using Sha256Digest = std::array<unsigned char, 32>;

Sha256Digest sha256(std::string_view bytes);

// Appends `bytes` in base64 (the standard alphabet, "=" filling the last group).
void appendBase64(std::string& out, const unsigned char* bytes, std::size_t size);

} // namespace plcinfo
