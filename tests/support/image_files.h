// What the tests and fuzz targets know about the seventeen image files, written down here
// once and independently of the programs: the names, the 32-byte header and its checks, the
// comment block, and the images a correct run must write, worked out from the generated
// executable's bytes and the program description alone. No GoogleTest, so that the fuzz
// targets can use it too.
#pragma once

#include "plc_generator.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace imagefiles {

// The image files in writing (and joining) order.
extern const char* const ImageNames[17];

// The little-endian 16-bit word at `offset`.
unsigned word(const std::string& bytes, std::size_t offset);
void setWord(std::string& bytes, std::size_t offset, unsigned value);

// The sum of bytes [from, to), modulo 65536.
unsigned byteSum(const std::string& bytes, std::size_t from, std::size_t to);

// The comment block for a quoted text: the text, blanks to 31 characters, a zero byte.
std::string commentBlock(const std::string& text);

// An image: the first 32 bytes of `head` as its header with every field recomputed
// (fileLength at 12, headerCheck at 14, farEnd at 21, dataLength at 24, dataCheck at 26,
// dataOffset at 28), then `data`.
std::string buildImage(const std::string& head, const std::string& data, unsigned farEnd);

// "" when the image's header agrees with the image's own bytes, else the first field that
// does not ("size" for an image shorter than its header).
std::string headerFault(const std::string& image);

// The farEnd field of an image; 0x10000, which no field holds, for one shorter than its header.
inline unsigned farEndOf(const std::string& image) {
    return image.size() < 32 ? 0x10000 : word(image, 21);
}

// Image file name and bytes, in writing order.
std::vector<std::pair<std::string, std::string>> expectedImages(const plcgen::ProgramLayout& layout,
                                                                const std::string& exe,
                                                                const std::string& comment);

} // namespace imagefiles
