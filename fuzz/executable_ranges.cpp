// Fuzz target: Tessan's executable loader (the header and the load module's place) and the
// check that every range the image writer reads lies inside the executable, against the
// segments of the example's map.
#include "splitter.h"
#include "splitter_project.h"

namespace {

// The example map's segment table, read once.
const tessan::SegmentTable& exampleSegments() {
    static const tessan::SegmentTable table = [] {
        fuzzsupport::putSplitterProject();
        tessan::SegmentTable read;
        if (!tessan::scanMapSegments("KORVEX.map", read))
            fuzzsupport::fail("the example's map could not be read");
        return read;
    }();
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tessan::SegmentTable& table = exampleSegments();
    memfs::reset();
    memfs::putFile("KORVEX.EXE", fuzzsupport::bytesOf(data, size));
    {
        tessan::ImageView image;
        if (tessan::loadImage("KORVEX.EXE", image)) {
            if (image.moduleBase > image.view.size)
                fuzzsupport::fail("the load module begins past the executable's end");
            tessan::checkSegmentRanges(table, image);
        }
    }
    fuzzsupport::expectAllReleased();
    return 0;
}
