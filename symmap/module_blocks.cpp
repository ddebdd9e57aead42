#include "diagnostics.h"
#include "symbol_map_writer.h"

namespace symmap {

namespace {

// The control treats these two symbols as the module's entry blocks; they must be bytes.
void markModuleBlock(SymbolDictionary& dictionary, const char* key, MessageId invalidTypeMessage) {
    SymbolEntry* entry = dictionary.lookup(key);
    if (entry == nullptr)
        return;
    if (entry->kind == SymbolKind::Byte)
        entry->kind = SymbolKind::Mech;
    else
        reportMessage(invalidTypeMessage, nullptr, -1, -1);
}

} // namespace

bool checkModuleBlocks(SymbolDictionary& dictionary) {
    markModuleBlock(dictionary, "MODULE_BLOCK_INIT", MsgInvalidModuleBlockInit);
    markModuleBlock(dictionary, "MODULE_BLOCK_DONE", MsgInvalidModuleBlockDone);
    return true;
}

} // namespace symmap
