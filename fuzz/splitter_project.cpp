#include "splitter_project.h"

#include "splitter.h"

namespace fuzzsupport {

void putSplitterProject() {
    memfs::reset();
    memfs::addFolder("images");
    memfs::putFile("KORVEX.EXE", exampleExecutable());
    memfs::putFile("KORVEX.map", exampleFile("KORVEX.map"));
    memfs::putFile("Make.knf", exampleFile("Make.knf"));
}

int runSplitterWith(const std::string& name, std::string_view bytes) {
    putSplitterProject();
    memfs::putFile(name, bytes);
    const memfs::Snapshot before = memfs::save();
    std::vector<std::string> arguments = {"Tessan", "images/", "KORVEX.EXE", "KORVEX.map",
                                          "Make.knf"};
    const int status = runWith(tessan::runTessan, arguments);
    expectAllReleased();
    expectKept(before);
    if (status == 0)
        expectValidImages("images/");
    return status;
}

} // namespace fuzzsupport
