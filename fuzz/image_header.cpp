// Fuzz target: Plcinfo's check of one image (its header fields against its own bytes), held
// against the test tools' own reading of an image header: the check finds every field in
// agreement exactly when they find no fault.
#include "harness.h"
#include "image_files.h"
#include "images/image_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plcinfo::ImageRecord image;
    plcinfo::checkImage(data, size, image);
    bool agrees = image.state == plcinfo::ImageState::Present;
    for (int field = 0; field < plcinfo::CheckedFieldCount; ++field)
        agrees = agrees && plcinfo::fieldHolds(image, static_cast<plcinfo::CheckedField>(field));
    const std::string bytes(fuzzsupport::bytesOf(data, size));
    if (agrees != imagefiles::headerFault(bytes).empty())
        fuzzsupport::fail("the image check and the header's own reading disagree");
    return 0;
}
