// Fuzz target: Tessan's make-file comment reader alone. The comment block it gives is 31
// characters and a zero byte, or 32 zero bytes.
#include "harness.h"
#include "splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::putFile("Make.knf", fuzzsupport::bytesOf(data, size));
    tessan::CommentBlock comment;
    if (tessan::scanMakeComment("Make.knf", comment) && comment.bytes[31] != 0)
        fuzzsupport::fail("the comment block does not end with a zero byte");
    fuzzsupport::expectAllReleased();
    return 0;
}
