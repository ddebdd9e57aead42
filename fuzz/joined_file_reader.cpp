// Fuzz target: Plcinfo's search for the seventeen images in a joined file and the check of
// their farEnd fields. The images found lie one after the other inside the file, and the end
// part, when there is one, is the rest of it.
#include "harness.h"
#include "images/image_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plcinfo::Inspection inspection;
    plcinfo::splitJoinedFile(data, size, inspection);
    plcinfo::checkFarEnds(inspection);
    std::size_t offset = 0;
    for (const plcinfo::ImageRecord& image : inspection.images) {
        if (image.state == plcinfo::ImageState::Missing)
            continue;
        if (image.offset != offset || image.bytes != data + offset || image.size > size - offset)
            fuzzsupport::fail("an image does not follow the one before it inside the file");
        offset += image.size;
    }
    if (inspection.hasEndPart &&
        (inspection.endOffset != offset || inspection.endOffset + inspection.endSize != size))
        fuzzsupport::fail("the end part is not the rest of the file");
    return 0;
}
