#include "image_files.h"

namespace imagefiles {

const char* const ImageNames[17] = {
    "Plc_main.bin", "Plc_far0.bin", "Plc_e003.bin", "Plc_e004.bin", "Plc_e005.bin", "Plc_e006.bin",
    "Plc_e007.bin", "Plc_e008.bin", "Plc_e009.bin", "Plc_e010.bin", "Plc_e011.bin", "Plc_e012.bin",
    "Plc_e013.bin", "Plc_e014.bin", "Plc_e015.bin", "Plc_e016.bin", "Plc_e017.bin"};

unsigned word(const std::string& bytes, std::size_t offset) {
    return static_cast<unsigned char>(bytes[offset]) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[offset + 1])) << 8;
}

void setWord(std::string& bytes, std::size_t offset, unsigned value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

unsigned byteSum(const std::string& bytes, std::size_t from, std::size_t to) {
    unsigned sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<unsigned char>(bytes[i]);
    return sum & 0xFFFF;
}

std::string commentBlock(const std::string& text) {
    std::string block = text.substr(0, 31);
    block.resize(31, ' ');
    block += '\0';
    return block;
}

std::string buildImage(const std::string& head, const std::string& data, unsigned farEnd) {
    std::string header = head.substr(0, 32);
    header.resize(32, '\0');
    const std::size_t fileLength = 32 + data.size();
    setWord(header, 12, fileLength & 0xFFFF);
    setWord(header, 21, farEnd & 0xFFFF);
    setWord(header, 24, (fileLength - 32) & 0xFFFF);
    setWord(header, 28, 32);
    setWord(header, 14, byteSum(header, 8, 14));
    std::string image = header + data;
    setWord(image, 26, byteSum(image, 32, image.size()));
    return image;
}

std::string headerFault(const std::string& image) {
    if (image.size() < 32)
        return "size";
    if (word(image, 12) != (image.size() & 0xFFFF))
        return "fileLength";
    if (word(image, 14) != byteSum(image, 8, 14))
        return "headerCheck";
    if (word(image, 24) != ((image.size() - 32) & 0xFFFF))
        return "dataLength";
    if (word(image, 26) != byteSum(image, 32, image.size()))
        return "dataCheck";
    if (word(image, 28) != 32)
        return "dataOffset";
    return "";
}

namespace {

unsigned linear(const plcgen::PublicSymbol* symbol) {
    return symbol->segment * 16u + symbol->offset;
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
        images.emplace_back(ImageNames[i], buildImage(bytes, data, farEnd));
    }
    return images;
}

} // namespace imagefiles
