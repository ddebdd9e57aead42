// The listing pass: section headers, the line head and the symbols section.
#include "listing_parser.h"

#include "diagnostics.h"
#include "listing_parser_internal.h"

#include <cstring>

namespace symmap {

namespace {

struct SegmentSelector {
    const char* name;
    std::uint32_t selector;
};

// The data segments whose variables reach the symbol map, with the selectors the control
// gives them.
const SegmentSelector SegmentSelectorTable[] = {
    {"DATA_COM", 0x30},
    {"DATA1", 0x68},
    {"DATA_USR", 0xA0},
    {"DATAROZ", 0x160},
};

// One element of a section header after its first word: a keyword or a punctuation mark.
struct HeaderPart {
    TokenKind kind;
    int value;
};

struct SectionHeader {
    int firstWord;
    HeaderPart rest[5];
    int restCount;
    Section section;
};

const SectionHeader SectionHeaders[] = {
    {KwMacros, {{TokPunct, ':'}}, 1, Section::SectionNone},
    {KwStructures,
     {{TokIdent, KwAnd}, {TokIdent, KwUnions}, {TokPunct, ':'}},
     3,
     Section::SectionStructures},
    {KwRecords, {{TokPunct, ':'}}, 1, Section::SectionRecords},
    {KwSegments,
     {{TokIdent, KwAnd}, {TokIdent, KwGroups}, {TokPunct, ':'}},
     3,
     Section::SectionNone},
    {KwProcedures,
     {{TokPunct, ','},
      {TokIdent, KwParameters},
      {TokIdent, KwAnd},
      {TokIdent, KwLocals},
      {TokPunct, ':'}},
     5,
     Section::SectionNone},
    {KwSymbols, {{TokPunct, ':'}}, 1, Section::SectionSymbols},
};

const SectionHeader* findHeader(const Scanner& scanner) {
    if (scanner.tokKind != TokIdent)
        return nullptr;
    for (const SectionHeader& header : SectionHeaders) {
        if (header.firstWord == scanner.tokValue)
            return &header;
    }
    return nullptr;
}

// Reads the rest of a header line; a complete header switches the section.
bool parseSectionHeader(ParseContext& context, Scanner& scanner, const SectionHeader& header) {
    for (int i = 0; i < header.restCount; ++i) {
        if (!scanner.next())
            return false;
        const HeaderPart& part = header.rest[i];
        if (scanner.tokKind != part.kind || scanner.tokValue != part.value)
            return true; // not a header after all: the caller skips the line
    }
    if (!scanner.next())
        return false;
    context.section = header.section;
    context.sawSectionHeader = true;
    return true;
}

bool isBasicType(int keyword) {
    return keyword == KwByte || keyword == KwWord || keyword == KwDWord || keyword == KwQWord ||
           keyword == KwMech;
}

SymbolKind basicKind(int keyword) {
    switch (keyword) {
    case KwByte:
        return SymbolKind::Byte;
    case KwWord:
        return SymbolKind::Word;
    case KwDWord:
        return SymbolKind::DWord;
    case KwQWord:
        return SymbolKind::QWord;
    default:
        return SymbolKind::Mech;
    }
}

// Where the type column of a symbol line stands: messages about the line point there.
struct TypeColumn {
    const char* file;
    std::int32_t line;
    std::int32_t column;
};

TypeColumn typeColumnOf(const Scanner& scanner) {
    return {scanner.tokFile, scanner.tokLine, scanner.tokColumn};
}

// Message 33 for a symbol line of a type that the map has a place for but that enters
// nothing; false when the reporter says stop.
bool reportNotEntered(const TypeColumn& type, const LineHead& head) {
    return reportMessage(MsgSymbolNotEntered, type.file, type.line, type.column,
                         std::string_view(head.name));
}

bool isTypeDefinition(const SymbolEntry* entry) {
    return entry != nullptr &&
           (entry->kind == SymbolKind::StructDef || entry->kind == SymbolKind::RecordDef);
}

// Address, segment and scope of a variable line, then the entry stored or discarded. The
// scanner stands on the type column. `definition` is the structure or record type of the
// variable, null for a basic type.
bool parseVariable(Scanner& scanner, SymbolDictionary& dictionary, const LineHead& head,
                   SymbolKind kind, SymbolEntry* definition) {
    const TypeColumn type = typeColumnOf(scanner);
    if (!scanner.next())
        return false;
    std::uint32_t address = 0;
    if (!numberOf(scanner, address))
        return reportNotEntered(type, head);
    if (!scanner.next())
        return false;
    if (scanner.tokKind != TokIdent)
        return reportNotEntered(type, head); // no segment
    const std::uint32_t selector = segmentSelector(scanner.tokTextView());

    SymbolEntry* entry = createEntryOrReport(dictionary, head.name);
    if (entry == nullptr)
        return false;
    entry->kind = kind;
    entry->address = address;
    entry->value = selector;
    if (definition != nullptr && !appendChild(entry, definition)) {
        dictionary.discardEntry(entry);
        return false;
    }
    bool scoped = false;
    if (!scanner.next() || !parseScopeWord(scanner, scoped)) {
        dictionary.discardEntry(entry);
        return false;
    }
    if (scoped) {
        entry->address = 0; // the linker map supplies it
        entry->isPublic = 1;
    }
    if (selector == 0) {
        // A variable outside the four data segments: the record type keeps the variable it
        // named before, since nothing may refer to a discarded entry.
        dictionary.discardEntry(entry);
        return true;
    }
    if (kind == SymbolKind::Record)
        definition->link = entry; // where the symbol map locates this record's bits
    return storeOrReport(dictionary, head.key, entry);
}

// A constant's value, a minus sign directly in front of the number negating it modulo 2^32
// ("-00000001h" is FFFFFFFF). The scanner stands on the type column.
bool parseConstant(Scanner& scanner, SymbolDictionary& dictionary, const LineHead& head) {
    const TypeColumn type = typeColumnOf(scanner);
    if (!scanner.next())
        return false;
    bool negative = false;
    if (scanner.tokKind == TokPunct && scanner.tokValue == '-') {
        const std::int32_t line = scanner.tokLine;
        const std::int32_t column = scanner.tokColumn;
        if (!scanner.next())
            return false;
        // Nothing may stand between the sign and the number: a blank, a tab or a dropped
        // character moves the number further than one column.
        negative = scanner.tokLine == line && scanner.tokColumn == column + 1;
        if (!negative)
            return reportNotEntered(type, head);
    }
    std::uint32_t value = 0;
    if (!numberOf(scanner, value))
        return reportNotEntered(type, head);
    if (negative)
        value = 0u - value;
    bool scoped = false;
    if (!scanner.next() || !parseScopeWord(scanner, scoped))
        return false;
    SymbolEntry* entry = createEntryOrReport(dictionary, head.name);
    if (entry == nullptr)
        return false;
    entry->kind = SymbolKind::Const;
    entry->value = scoped ? 0 : value; // public constants get their value from the map
    entry->isPublic = scoped ? 1 : 0;
    return storeOrReport(dictionary, head.key, entry);
}

} // namespace

bool skipDotLeaders(Scanner& scanner) {
    if (scanner.tokKind == TokPunct && scanner.tokValue == '.')
        return scanner.skipPunctuationRun();
    return true;
}

bool readLineHead(Scanner& scanner, LineHead& head) {
    // The name is taken before moving on: a long name leaves no room for dot leaders, and
    // the type word that then follows it directly would replace it in tokText.
    const std::string_view name = scanner.tokTextView();
    std::memcpy(head.name, name.data(), name.size());
    head.name[name.size()] = '\0';
    head.key.assign(name);
    return scanner.next();
}

// Numbers that begin with a letter are how the assembler writes every value from A000 up.
bool numberOf(const Scanner& scanner, std::uint32_t& value) {
    if (scanner.tokKind == TokNumber) {
        value = static_cast<std::uint32_t>(scanner.tokValue);
        return true;
    }
    if (scanner.tokKind == TokIdent && (scanner.tokHexValid == 1 || scanner.tokHexSuffixed == 1)) {
        value = scanner.tokHexValue;
        return true;
    }
    return false;
}

std::uint32_t segmentSelector(std::string_view segmentName) {
    const NameKey key(segmentName);
    for (const SegmentSelector& row : SegmentSelectorTable) {
        if (key.view() == row.name)
            return row.selector;
    }
    return 0;
}

SymbolEntry* createEntryOrReport(SymbolDictionary& dictionary, const char* name) {
    SymbolEntry* entry = dictionary.createEntry(name);
    if (entry == nullptr)
        reportMessage(MsgOutOfMemory, nullptr, -1, -1);
    return entry;
}

bool storeOrReport(SymbolDictionary& dictionary, const NameKey& key, SymbolEntry* entry) {
    if (dictionary.set(key, entry))
        return true;
    reportMessage(MsgOutOfMemory, nullptr, -1, -1);
    return false;
}

bool parseScopeWord(Scanner& scanner, bool& scoped) {
    scoped = scanner.tokKind == TokIdent &&
             (scanner.tokValue == KwExternal || scanner.tokValue == KwPublic);
    if (!scoped)
        return true;
    if (!scanner.next())
        return false;
    return skipToEndOfLine(scanner);
}

bool parseSymbolLine(ParseContext&, Scanner& scanner, SymbolDictionary& dictionary,
                     const LineHead& head, SymbolEntry* existing) {
    if (scanner.tokKind != TokIdent)
        return true;
    const int keyword = scanner.tokValue;
    if (existing != nullptr) {
        // The first definition stands; a repeated one of a type the map has a place for is
        // named, so that no symbol goes missing without a word.
        if (isBasicType(keyword) || keyword == KwNumber ||
            (keyword == 0 && isTypeDefinition(dictionary.lookup(NameKey(scanner.tokTextView())))))
            return reportNotEntered(typeColumnOf(scanner), head);
        return true;
    }
    if (isBasicType(keyword))
        return parseVariable(scanner, dictionary, head, basicKind(keyword), nullptr);
    if (keyword == KwNumber)
        return parseConstant(scanner, dictionary, head);
    if (keyword != 0)
        return true; // "Text", "Proc", scope and section words enter nothing

    SymbolEntry* definition = dictionary.lookup(NameKey(scanner.tokTextView()));
    if (!isTypeDefinition(definition))
        return reportMessage(MsgExpectStructureOrRecord, scanner.tokFile, scanner.tokLine,
                             scanner.tokColumn, std::string_view(scanner.tokText));
    const SymbolKind kind =
        definition->kind == SymbolKind::RecordDef ? SymbolKind::Record : SymbolKind::Struct;
    return parseVariable(scanner, dictionary, head, kind, definition);
}

bool parseLine(ParseContext& context, Scanner& scanner, SymbolDictionary& dictionary) {
    bool ok = true;
    if (scanner.atColumnHeading(ok)) {
        // The tables' column heading ("N a m e  Type  Value  Attr"): nothing to enter.
    } else if (!ok) {
        return false;
    } else if (const SectionHeader* header = findHeader(scanner)) {
        ok = parseSectionHeader(context, scanner, *header);
    } else if (scanner.tokKind == TokIdent) {
        switch (context.section) {
        case Section::SectionStructures:
            ok = parseStructureLine(context, scanner, dictionary);
            break;
        case Section::SectionRecords:
            ok = parseRecordLine(context, scanner, dictionary);
            break;
        case Section::SectionSymbols: {
            LineHead head;
            if (!readLineHead(scanner, head))
                return false;
            // The dot leaders are read while the table slot of the name is being fetched.
            dictionary.prefetch(head.key);
            ok = skipDotLeaders(scanner) &&
                 parseSymbolLine(context, scanner, dictionary, head, dictionary.lookup(head.key));
            break;
        }
        case Section::SectionNone:
            break;
        }
    }
    return ok && skipToEndOfLine(scanner);
}

bool readListing(const char* fileName, SymbolDictionary& dictionary) {
    Scanner scanner;
    if (!scanner.open(fileName, ListingKeywords))
        return false;
    ParseContext context;
    while (scanner.tokKind != TokEndOfFile) {
        const bool ok = scanner.tokKind == TokEndOfLine ? scanner.next()
                                                        : parseLine(context, scanner, dictionary);
        if (!ok)
            return false;
    }
    if (!context.sawSectionHeader) {
        // Not an assembler listing at all, or the tables were not asked for: a symbol map
        // without a single symbol would pass for one.
        reportMessage(MsgNoSymbolTables, nullptr, -1, -1, scanner.tokFile);
        return false;
    }
    return true;
}

} // namespace symmap
