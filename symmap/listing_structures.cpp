// The structures and records sections of the listing: structure definitions with their
// members, record definitions with their bits.
#include "diagnostics.h"
#include "listing_parser_internal.h"

#include <cstring>

namespace symmap {

namespace {

bool isSingleBitMask(std::uint32_t mask) {
    return mask != 0 && mask <= 0x80 && (mask & (mask - 1)) == 0;
}

// Message 30 for a name that has an entry already; false when the reporter says stop.
bool reportDuplicate(const Scanner& scanner, const LineHead& head) {
    return reportMessage(MsgMultipleDefinition, scanner.tokFile, scanner.tokLine, scanner.tokColumn,
                         std::string_view(head.name));
}

// Line head, duplicate check, dot leaders and first number of a structure or record line.
// `enter` is true when the line goes on to a number (`number`) for a name that has no entry
// yet; a name met before is reported (message 30) and the line is passed over.
bool readDefinitionHead(Scanner& scanner, SymbolDictionary& dictionary, LineHead& head, bool& enter,
                        std::uint32_t& number) {
    enter = false;
    if (!readLineHead(scanner, head))
        return false;
    if (dictionary.lookup(head.key) != nullptr)
        return reportDuplicate(scanner, head);
    if (!skipDotLeaders(scanner))
        return false;
    enter = numberOf(scanner, number);
    return true;
}

bool beginsWithMech(const Scanner& scanner) {
    return scanner.tokKind == TokIdent && scanner.tokValue == KwMech;
}

} // namespace

bool parseMemberType(Scanner& scanner, int& typeCode) {
    if (scanner.tokKind != TokIdent) {
        typeCode = 0;
        return true;
    }
    switch (scanner.tokValue) {
    case KwWord:
        typeCode = 2;
        break;
    case KwDWord:
        typeCode = 3;
        break;
    case KwQWord:
        typeCode = 4;
        break;
    default:
        typeCode = 1; // Byte, and also a structure-typed or MECH_ member
        break;
    }
    return scanner.next();
}

bool parseBitWeight(Scanner& scanner, std::uint32_t& weight) {
    if (!numberOf(scanner, weight)) {
        weight = 0;
        return true;
    }
    if (!isSingleBitMask(weight) &&
        !reportMessage(MsgInvalidBitWeight, scanner.tokFile, scanner.tokLine, scanner.tokColumn))
        return false;
    if (!scanner.next())
        return false;
    // Past the initial value after the mask, but never past the line end: a bit line of
    // only three numbers must not swallow the next line.
    if (scanner.tokKind == TokEndOfLine || scanner.tokKind == TokEndOfFile)
        return true;
    return scanner.next();
}

bool parseStructureLine(ParseContext& context, Scanner& scanner, SymbolDictionary& dictionary) {
    LineHead head;
    bool enter = false;
    std::uint32_t number = 0;
    if (!readDefinitionHead(scanner, dictionary, head, enter, number))
        return false;
    if (!enter)
        return true;
    int typeCode = 0;
    if (!scanner.next() || !parseMemberType(scanner, typeCode))
        return false;

    SymbolEntry* entry = createEntryOrReport(dictionary, head.name);
    if (entry == nullptr)
        return false;
    entry->value = number;
    if (typeCode == 0) {
        entry->kind = SymbolKind::StructDef;
        context.currentStruct = entry;
    } else {
        static const SymbolKind memberKinds[] = {SymbolKind::Byte, SymbolKind::Byte,
                                                 SymbolKind::Word, SymbolKind::DWord,
                                                 SymbolKind::QWord};
        entry->kind = memberKinds[typeCode];
        entry->isMember = 1;
        entry->link = context.currentStruct;
        if (!appendChild(context.currentStruct, entry)) {
            dictionary.discardEntry(entry);
            return false;
        }
    }
    return storeOrReport(dictionary, head.key, entry);
}

bool parseRecordLine(ParseContext& context, Scanner& scanner, SymbolDictionary& dictionary) {
    if (beginsWithMech(scanner)) {
        // MECH_ records are the machine's own and reach the symbol map with none of their
        // bits.
        context.currentRecord = nullptr;
        return true;
    }
    LineHead head;
    bool enter = false;
    std::uint32_t first = 0;
    if (!readDefinitionHead(scanner, dictionary, head, enter, first))
        return false;
    if (!enter)
        return true;
    if (!scanner.next())
        return false;
    std::uint32_t second = 0;
    if (!numberOf(scanner, second))
        return true;
    std::uint32_t weight = 0;
    if (!scanner.next() || !parseBitWeight(scanner, weight))
        return false;

    if (weight == 0) {
        SymbolEntry* entry = createEntryOrReport(dictionary, head.name);
        if (entry == nullptr)
            return false;
        entry->kind = SymbolKind::RecordDef;
        entry->value = second;
        context.currentRecord = entry;
        return storeOrReport(dictionary, head.key, entry);
    }
    if (context.currentRecord == nullptr)
        return true;
    // A bit is stored without the "?" that the listing puts in front of field names.
    const char* name = head.name[0] == '?' ? head.name + 1 : head.name;
    SymbolEntry* entry = createEntryOrReport(dictionary, name);
    if (entry == nullptr)
        return false;
    entry->kind = SymbolKind::Bit;
    entry->value = first & 0xFF;
    entry->link = context.currentRecord;
    if (!appendChild(context.currentRecord, entry)) {
        dictionary.discardEntry(entry);
        return false;
    }
    return storeOrReport(dictionary, NameKey(name), entry);
}

} // namespace symmap
