// Formatting helpers that every report of the inspector shares, the tables and the JSON
// documents alike: printf-like appending, fixed-width hexadecimal, decimal sizes and JSON
// string literals (which json_writer.h writes with).
#pragma once

#include "platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plcinfo {

// Appends the formatted text to `out`, of any length.
void appendFormat(std::string& out, const char* format, ...) PLATFORM_PRINTF_FORMAT(2, 3);

// At least `digits` hexadecimal digits in capitals (no "%llX": not every C library's printf
// has it).
std::string hexDigits(std::uint64_t value, int digits);

// The hexadecimal digits in capitals, by value.
inline constexpr char HexDigits[] = "0123456789ABCDEF";

// Appends `prefix` and the byte as two hexadecimal digits in capitals: the escape of a byte
// that a report cannot show as it is ("\x01", JSON's "\u0001"), written without a format.
void appendByteEscape(std::string& out, const char* prefix, unsigned char byte);
inline std::string hex8(std::size_t value) {
    return hexDigits(value, 8);
}

// Sizes and offsets as decimal digits (no "%zu": not every C library's printf has it).
inline std::string number(std::uint64_t value) {
    return std::to_string(value);
}

// Bytes of the UTF-8 sequence that begins at text[i], or 0 when none does: a cut sequence, an
// overlong form, a surrogate or a code past U+10FFFF is none.
std::size_t utf8Length(std::string_view text, std::size_t i);

// Appends a JSON string literal of any bytes: valid UTF-8 passes, other bytes become \u00XX;
// with `markup`, "<" as \u003C.
void appendJsonString(std::string& out, std::string_view text, bool markup = false);

} // namespace plcinfo
