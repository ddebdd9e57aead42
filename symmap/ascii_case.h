// Letter case as the listing and the symbol map know it: ASCII letters only, every other byte
// as it is. Names are looked up in capitals; the symbol map is sorted in small letters.
#pragma once

namespace symmap {

constexpr char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr unsigned char lowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace symmap
