#include "reader_test_support.h"

#include "linker_map_reader.h"
#include "listing_parser.h"
#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace readertest {

namespace {

const char* kindName(symmap::SymbolKind kind) {
    static const char* const names[] = {"Const",  "Byte",   "Word", "DWord",     "QWord",    "Mech",
                                        "Struct", "Record", "Bit",  "RecordDef", "StructDef"};
    const auto index = static_cast<std::size_t>(kind);
    return index < sizeof names / sizeof names[0] ? names[index] : "?";
}

} // namespace

std::string dumpDictionary(const symmap::SymbolDictionary& dictionary) {
    std::vector<std::pair<std::string, const symmap::SymbolEntry*>> entries;
    dictionary.forEach(
        [&](const symmap::SymbolEntry* entry) { entries.emplace_back(entry->name, entry); });
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return symmap::symbolKey(a.first) < symmap::symbolKey(b.first);
    });
    std::string out;
    for (const auto& [name, entry] : entries) {
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, " v=%x a=%x", entry->value, entry->address);
        out += name + " " + kindName(entry->kind) + (entry->isMember ? " member" : "") + numbers;
        if (entry->link != nullptr)
            out += std::string(" link=") + entry->link->name;
        for (std::uint32_t i = 0; i < entry->childCount; ++i)
            out += std::string(i == 0 ? " children=" : ",") + entry->children[i]->name;
        out += "\n";
    }
    return out;
}

// Each piece is appended on its own: g++ 12 at -O3 reports a false -Wrestrict on
// `std::string("I") + text` style concatenations (a known fault of that compiler version).
std::string dumpTokens(symmap::Scanner& scanner, int limit) {
    std::string out;
    for (int i = 0; i < limit; ++i) {
        if (!out.empty())
            out += " ";
        switch (scanner.tokKind) {
        case symmap::TokEndOfLine:
            out += "EOL";
            break;
        case symmap::TokEndOfFile:
            return out + "EOF";
        case symmap::TokNumber:
            out += 'N';
            out += std::to_string(static_cast<std::uint32_t>(scanner.tokValue));
            break;
        case symmap::TokIdent:
            out += 'I';
            out += scanner.tokText;
            if (scanner.tokValue != 0) {
                out += '#';
                out += std::to_string(scanner.tokValue);
            }
            break;
        case symmap::TokPunct:
            out += 'P';
            out += static_cast<char>(scanner.tokValue);
            break;
        default:
            out += "?";
            break;
        }
        if (!scanner.next())
            return out + " FAIL";
    }
    return out + " ...";
}

DiagnosticsScope::DiagnosticsScope(bool warnings) {
    symmap::resetDiagnostics();
    symmap::setWarningsMode(warnings);
}

DiagnosticsScope::~DiagnosticsScope() {
    symmap::resetDiagnostics();
}

namespace {

ReadResult readFiles(std::string_view listing, const std::string_view* map) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("t.lst"), listing);
    if (map != nullptr)
        testsupport::writeFile(dir.file("t.map"), *map);
    // Relative names keep the messages independent of the temporary folder.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    symmap::SymbolDictionary dictionary;
    ReadResult result;
    testing::internal::CaptureStdout();
    result.ok = symmap::readListing("t.lst", dictionary);
    if (result.ok && map != nullptr)
        result.ok = symmap::readLinkerMap("t.map", dictionary);
    result.output = testing::internal::GetCapturedStdout();
    std::filesystem::current_path(previous);
    result.dump = dumpDictionary(dictionary);
    return result;
}

} // namespace

ReadResult readListingText(std::string_view listing) {
    return readFiles(listing, nullptr);
}

ReadResult readListingAndMap(std::string_view listing, std::string_view map) {
    return readFiles(listing, &map);
}

} // namespace readertest
