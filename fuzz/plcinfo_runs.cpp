#include "plcinfo_runs.h"

#include "images/image_set.h"
#include "plcinfo_driver.h"

namespace fuzzsupport {

void runPlcinfoOn(const std::vector<std::string>& arguments) {
    const memfs::Snapshot before = memfs::save();
    std::vector<std::string> line = {"Plcinfo"};
    line.insert(line.end(), arguments.begin(), arguments.end());
    // --html FILE: the page is the one file the run may write, and it must be written.
    std::vector<std::string> pages;
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == "--html")
            pages.push_back(arguments[i + 1]);
    const int status = runWith(plcinfo::runPlcinfo, line);
    expectAllReleased();
    expectKept(before, pages);
    if (status != plcinfo::ExitValid && status != plcinfo::ExitInvalid &&
        status != plcinfo::ExitGuardTripped)
        fail("Plcinfo failed on files it can read");
    std::string page;
    for (const std::string& path : pages)
        if (!memfs::getFile(path, page) || page.rfind("<!DOCTYPE html>", 0) != 0)
            fail("Plcinfo wrote no page");
}

void splitAtNul(std::string_view bytes, std::string_view& first, std::string_view& second) {
    const std::size_t nul = bytes.find('\0');
    first = bytes.substr(0, nul);
    second = nul == std::string_view::npos ? std::string_view() : bytes.substr(nul + 1);
}

} // namespace fuzzsupport
