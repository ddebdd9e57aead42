#include "example_listing.h"

#include "diagnostics.h"
#include "harness.h"
#include "listing_parser.h"

#include <utility>
#include <vector>

namespace fuzzsupport {

namespace {

struct ListingDictionary {
    symmap::SymbolDictionary dictionary;
    std::vector<std::pair<symmap::SymbolEntry*, symmap::SymbolEntry>> asRead;
};

} // namespace

symmap::SymbolDictionary& exampleListingDictionary() {
    static ListingDictionary* listing = [] {
        auto* read = new ListingDictionary;
        memfs::reset();
        memfs::putFile("plc.lst", exampleFile("plc.lst"));
        symmap::resetDiagnostics();
        if (!symmap::readListing("plc.lst", read->dictionary))
            fail("the example's listing was not read");
        // The visit hands the entries out as const; they are this dictionary's own.
        read->dictionary.forEach([&](const symmap::SymbolEntry* entry) {
            read->asRead.emplace_back(const_cast<symmap::SymbolEntry*>(entry), *entry);
        });
        return read;
    }();
    for (auto& [entry, copy] : listing->asRead)
        *entry = copy;
    return listing->dictionary;
}

} // namespace fuzzsupport
