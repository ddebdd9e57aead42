// The linker-map pass: every line "segment:offset [Abs] name" completes the entry of that
// name, wherever it stands in the map.
#include "linker_map_reader.h"

#include "diagnostics.h"
#include "linker_map_reader_internal.h"
#include "symbol_map_writer.h"

#include <algorithm>
#include <memory>
#include <new>

namespace symmap {

namespace {

constexpr KeywordRow MapRows[] = {{MapKwAbs, "Abs", 0}};
constinit const KeywordTable MapKeywords = makeKeywordTable(MapRows);

// A segment number or offset: a number, or an identifier of hexadecimal digits that begins
// with a letter.
bool hexPart(const Scanner& scanner, std::uint32_t& value) {
    if (scanner.tokKind == TokNumber) {
        value = static_cast<std::uint32_t>(scanner.tokValue);
        return true;
    }
    if (scanner.tokKind == TokIdent && scanner.tokHexValid == 1) {
        value = scanner.tokHexValue;
        return true;
    }
    return false;
}

// Applies one sighting; false when it does not fit what the listing said.
bool applySighting(SymbolEntry& entry, bool absolute, std::uint32_t offset) {
    if (absolute) {
        if (entry.kind != SymbolKind::Const || entry.value != 0)
            return false;
        entry.value = offset;
        entry.isMapped = 1;
        return true;
    }
    // Every variable, structure variables included, is located by the map.
    if (!isVariableKind(entry.kind) || (entry.address != 0 && entry.address != offset))
        return false;
    entry.address = offset;
    entry.isMapped = 1;
    return true;
}

// After the last line: a map that completed none of the listing's public symbols is not the
// map of that listing (message 18, the pass fails); otherwise each public symbol it left
// without its address or value is named (message 34), in the order of the .mp2's rows.
bool checkPublicsMapped(const SymbolDictionary& dictionary, const char* mapName) {
    std::size_t publics = 0;
    std::size_t missing = 0;
    dictionary.forEach([&](const SymbolEntry* entry) {
        if (entry->isPublic != 0) {
            ++publics;
            missing += entry->isMapped == 0 ? 1 : 0;
        }
    });
    if (publics == 0 || missing == 0)
        return true;
    if (missing == publics) {
        reportMessage(MsgNoPublicInMap, nullptr, -1, -1, mapName);
        return false;
    }
    std::unique_ptr<const SymbolEntry*[]> rows(new (std::nothrow) const SymbolEntry*[missing]);
    if (!rows) {
        reportMessage(MsgOutOfMemory, nullptr, -1, -1);
        return false;
    }
    std::size_t count = 0;
    dictionary.forEach([&](const SymbolEntry* entry) {
        if (entry->isPublic != 0 && entry->isMapped == 0 && count < missing)
            rows[count++] = entry;
    });
    std::sort(rows.get(), rows.get() + count, symbolNameLess);
    for (std::size_t i = 0; i < count; ++i) {
        if (!reportMessage(MsgPublicNotInMap, nullptr, -1, -1, std::string_view(rows[i]->name)))
            return false;
    }
    return true;
}

} // namespace

const KeywordTable& mapKeywordTable() {
    return MapKeywords;
}

bool parseMapLine(Scanner& scanner, SymbolDictionary& dictionary) {
    std::uint32_t segment = 0;
    if (!hexPart(scanner, segment))
        return skipToEndOfLine(scanner);
    if (!scanner.next())
        return false;
    if (scanner.tokKind != TokPunct || scanner.tokValue != ':')
        return skipToEndOfLine(scanner);
    if (!scanner.next())
        return false;
    std::uint32_t offset = 0;
    if (!hexPart(scanner, offset))
        return skipToEndOfLine(scanner);
    if (!scanner.next())
        return false;
    const bool absolute = scanner.tokKind == TokIdent && scanner.tokValue == MapKwAbs;
    if (absolute && !scanner.next())
        return false;
    if (scanner.tokKind != TokIdent)
        return skipToEndOfLine(scanner);

    SymbolEntry* entry = dictionary.lookup(NameKey(scanner.tokTextView()));
    if (entry != nullptr && !applySighting(*entry, absolute, offset) &&
        !reportMessage(MsgInconsistentMap, scanner.tokFile, scanner.tokLine, scanner.tokColumn))
        return false;
    return skipToEndOfLine(scanner);
}

bool readLinkerMap(const char* fileName, SymbolDictionary& dictionary) {
    Scanner scanner;
    if (!scanner.open(fileName, MapKeywords))
        return false;
    while (scanner.tokKind != TokEndOfFile) {
        const bool ok =
            scanner.tokKind == TokEndOfLine ? scanner.next() : parseMapLine(scanner, dictionary);
        if (!ok)
            return false;
    }
    return checkPublicsMapped(dictionary, scanner.tokFile);
}

} // namespace symmap
