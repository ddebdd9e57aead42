#include "expected_images.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace splittertest {

const char* const ImageNames[17] = {
    "Plc_main.bin", "Plc_far0.bin", "Plc_e003.bin", "Plc_e004.bin", "Plc_e005.bin", "Plc_e006.bin",
    "Plc_e007.bin", "Plc_e008.bin", "Plc_e009.bin", "Plc_e010.bin", "Plc_e011.bin", "Plc_e012.bin",
    "Plc_e013.bin", "Plc_e014.bin", "Plc_e015.bin", "Plc_e016.bin", "Plc_e017.bin"};

std::string commentBlock(const std::string& text) {
    std::string block = text.substr(0, 31);
    block.resize(31, ' ');
    block += '\0';
    return block;
}

unsigned word(const std::string& bytes, std::size_t offset) {
    return static_cast<unsigned char>(bytes[offset]) | static_cast<unsigned char>(bytes[offset + 1])
                                                           << 8;
}

namespace {

unsigned linear(const plcgen::PublicSymbol* symbol) {
    return symbol->segment * 16u + symbol->offset;
}

void setWord(std::string& bytes, std::size_t offset, unsigned value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// Header from the segment's first 32 bytes, then the data; every field recomputed here.
std::string image(const std::string& segmentHead, const std::string& data, unsigned farEnd) {
    std::string header = segmentHead.substr(0, 32);
    const unsigned fileLength = static_cast<unsigned>(32 + data.size());
    setWord(header, 12, fileLength & 0xFFFF);
    setWord(header, 21, farEnd & 0xFFFF);
    setWord(header, 24, (fileLength - 32) & 0xFFFF);
    setWord(header, 28, 32);
    unsigned headerCheck = 0;
    for (int i = 8; i < 14; ++i)
        headerCheck += static_cast<unsigned char>(header[i]);
    setWord(header, 14, headerCheck & 0xFFFF);
    unsigned dataCheck = 0;
    for (char c : data)
        dataCheck += static_cast<unsigned char>(c);
    setWord(header, 26, dataCheck & 0xFFFF);
    return header + data;
}

} // namespace

std::vector<std::pair<std::string, std::string>> expectedImages(const plcgen::ProgramLayout& layout,
                                                                const std::string& exe,
                                                                const std::string& comment) {
    plcgen::ProgramLayout copy = layout;
    const std::size_t base = std::size_t{word(exe, 8)} * 16;
    const unsigned farEnd = plcgen::findPublic(copy, "??SEC_PROC_FAR_END")->offset;
    const unsigned dusrLoad = linear(plcgen::findPublic(copy, "??SEC_PROC_DUSR_LOAD"));
    const unsigned dusrEnd = linear(plcgen::findPublic(copy, "??SEC_PROC_DUSR_END"));
    std::vector<std::pair<std::string, std::string>> images;
    for (int i = 0; i < 17; ++i) {
        const plcgen::SegmentLayout* segment =
            plcgen::findSegment(copy, plcgen::CodeSegmentNames[i]);
        const std::size_t L = segment->length - 4;
        const std::string bytes = exe.substr(base + segment->start, L);
        std::string data;
        if (i == 0)
            data = comment + bytes.substr(64);
        else if (i == 1)
            data =
                bytes.substr(32, L - 6176) + exe.substr(base + dusrLoad, dusrEnd - dusrLoad + 16);
        else
            data = bytes.substr(32);
        images.emplace_back(ImageNames[i], image(bytes, data, farEnd));
    }
    return images;
}

void writeInputs(const plcgen::ProgramLayout& layout, const std::string& dir) {
    testsupport::writeFile(dir + "/KORVEX.EXE", plcgen::buildExecutable(layout));
    testsupport::writeFile(dir + "/KORVEX.map", plcgen::buildMap(layout));
    testsupport::writeFile(dir + "/Make.knf", plcgen::buildMakeFile(layout));
}

} // namespace splittertest
