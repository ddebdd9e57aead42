#include "symbol_dictionary.h"

#include "diagnostics.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace symmap {

namespace {

void clearEntry(SymbolEntry* entry) {
    std::free(entry->children);
    std::memset(entry, 0, sizeof *entry);
}

} // namespace

std::string symbolKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

bool appendChild(SymbolEntry* parent, SymbolEntry* child) {
    if (parent == nullptr)
        return true;
    if (parent->childCount == parent->childCapacity) {
        // Doubling keeps a structure of many members linear to read.
        const std::uint32_t capacity = parent->childCapacity == 0 ? 1 : parent->childCapacity * 2;
        if (capacity <= parent->childCapacity) {
            reportMessage(9, nullptr, -1, -1);
            return false;
        }
        void* grown = std::realloc(parent->children, capacity * sizeof(SymbolEntry*));
        if (grown == nullptr) {
            reportMessage(9, nullptr, -1, -1);
            return false;
        }
        parent->children = static_cast<SymbolEntry**>(grown);
        parent->childCapacity = capacity;
    }
    parent->children[parent->childCount++] = child;
    return true;
}

SymbolDictionary::~SymbolDictionary() {
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const std::size_t used = (b + 1 == blocks_.size()) ? usedInLastBlock_ : BlockEntries;
        for (std::size_t i = 0; i < used; ++i)
            std::free(blocks_[b][i].children);
    }
}

SymbolEntry* SymbolDictionary::createEntry(std::string_view name) {
    SymbolEntry* entry = nullptr;
    if (!freeEntries_.empty()) {
        entry = freeEntries_.back();
        freeEntries_.pop_back();
    } else {
        if (usedInLastBlock_ == BlockEntries) {
            std::unique_ptr<SymbolEntry[]> block(new (std::nothrow) SymbolEntry[BlockEntries]);
            if (!block)
                return nullptr;
            std::memset(static_cast<void*>(block.get()), 0, BlockEntries * sizeof(SymbolEntry));
            blocks_.push_back(std::move(block));
            usedInLastBlock_ = 0;
        }
        entry = &blocks_.back()[usedInLastBlock_++];
    }
    const std::size_t length = name.size() < SymbolNameLength ? name.size() : SymbolNameLength;
    std::memcpy(entry->name, name.data(), length);
    entry->name[length] = '\0';
    return entry;
}

void SymbolDictionary::discardEntry(SymbolEntry* entry) {
    if (entry == nullptr)
        return;
    clearEntry(entry);
    freeEntries_.push_back(entry);
}

SymbolEntry* SymbolDictionary::lookup(const std::string& key) const {
    auto found = map_.find(key);
    return found == map_.end() ? nullptr : found->second;
}

void SymbolDictionary::set(const std::string& key, SymbolEntry* entry) {
    map_[key] = entry;
}

} // namespace symmap
