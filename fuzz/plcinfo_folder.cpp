// Fuzz target: Plcinfo on a folder of images. The fuzzed bytes are up to seventeen chunks, each
// a 16-bit little-endian length and that many bytes: the image of that place in the set
// (length FFFF: the image is missing). Every second image has the joiner's capital name, so
// that both ways of finding an image are taken.
#include "images/image_set.h"
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::addFolder("images");
    std::string_view bytes = fuzzsupport::bytesOf(data, size);
    for (int i = 0; i < plcinfo::ImageCount && bytes.size() >= 2; ++i) {
        const std::size_t length = static_cast<unsigned char>(bytes[0]) |
                                   static_cast<std::size_t>(static_cast<unsigned char>(bytes[1]))
                                       << 8;
        bytes.remove_prefix(2);
        if (length == 0xFFFF)
            continue;
        const std::string_view image = bytes.substr(0, length);
        bytes.remove_prefix(image.size());
        const char* name = i % 2 == 0 ? plcinfo::ImageNames[i] : plcinfo::JoinerNames[i];
        memfs::putFile(std::string("images/") + name, image);
    }
    // In text or in JSON, chosen by the input's length.
    static const std::vector<std::string> ways[] = {{"images"}, {"--json", "images/"}};
    fuzzsupport::runPlcinfoOn(ways[size % std::size(ways)]);
    return 0;
}
