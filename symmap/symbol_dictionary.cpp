#include "symbol_dictionary.h"

#include "diagnostics.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace symmap {

namespace {

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void clearEntry(SymbolEntry* entry) {
    std::free(entry->children);
    std::memset(static_cast<void*>(entry), 0, sizeof *entry);
}

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 31;
    h *= 0x7fb5d329728ea185ull;
    h ^= h >> 27;
    return h;
}

} // namespace

// Eight characters at a time.
std::uint32_t keyHash(std::string_view key) {
    const char* p = key.data();
    std::size_t left = key.size();
    std::uint64_t h = 0x9e3779b97f4a7c15ull ^ left;
    while (left >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * 0x9e3779b97f4a7c15ull;
        h ^= h >> 29;
        p += 8;
        left -= 8;
    }
    std::uint64_t word = 0;
    std::memcpy(&word, p, left);
    h = mix(h ^ word);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

namespace {

// Stored keys other than a folded name are kept with their length in front.
std::string_view storedKey(const char* text) {
    std::uint32_t length;
    std::memcpy(&length, text, sizeof length);
    return std::string_view(text + sizeof length, length);
}

} // namespace

std::string symbolKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = upperAscii(c);
    return key;
}

void NameKey::assign(std::string_view name) {
    length_ = name.size() < SymbolNameLength ? name.size() : SymbolNameLength;
    for (std::size_t i = 0; i < length_; ++i)
        text_[i] = upperAscii(name[i]);
    hash_ = keyHash(view());
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
    // Only the child lists are allocated one by one; everything else goes with its block.
    for (std::size_t b = 0; b < entryBlocks_.size(); ++b) {
        const std::size_t used =
            (b + 1 == entryBlocks_.size()) ? usedInLastEntryBlock_ : EntryBlock;
        const SymbolEntry* block = entryBlocks_[b].get();
        for (std::size_t i = 0; i < used; ++i) {
            if (block[i].children != nullptr)
                std::free(block[i].children);
        }
    }
}

char* SymbolDictionary::allocateText(std::size_t size) {
    if (size > textLeft_) {
        const std::size_t blockSize = size > NameBlock ? size : NameBlock;
        std::unique_ptr<char[]> block(new (std::nothrow) char[blockSize]);
        if (!block)
            return nullptr;
        textNext_ = block.get();
        textLeft_ = blockSize;
        textBlocks_.push_back(std::move(block));
    }
    char* text = textNext_;
    textNext_ += size;
    textLeft_ -= size;
    lastText_ = text;
    return text;
}

SymbolEntry* SymbolDictionary::createEntry(std::string_view name) {
    const std::size_t length = name.size() < SymbolNameLength ? name.size() : SymbolNameLength;
    char* text = allocateText(length + 1);
    if (text == nullptr)
        return nullptr;
    std::memcpy(text, name.data(), length);
    text[length] = '\0';

    SymbolEntry* entry = nullptr;
    if (!freeEntries_.empty()) {
        entry = freeEntries_.back();
        freeEntries_.pop_back();
    } else {
        if (usedInLastEntryBlock_ == EntryBlock) {
            std::unique_ptr<SymbolEntry[]> block(new (std::nothrow) SymbolEntry[EntryBlock]);
            if (!block)
                return nullptr;
            std::memset(static_cast<void*>(block.get()), 0, EntryBlock * sizeof(SymbolEntry));
            entryBlocks_.push_back(std::move(block));
            usedInLastEntryBlock_ = 0;
        }
        entry = &entryBlocks_.back()[usedInLastEntryBlock_++];
    }
    entry->name = text;
    return entry;
}

void SymbolDictionary::discardEntry(SymbolEntry* entry) {
    if (entry == nullptr)
        return;
    // A discarded entry is most often the last one created: its name is then given back too.
    if (entry->name != nullptr && entry->name == lastText_) {
        const std::size_t nameSize = std::strlen(entry->name) + 1;
        textNext_ -= nameSize;
        textLeft_ += nameSize;
        lastText_ = nullptr;
    }
    clearEntry(entry);
    freeEntries_.push_back(entry);
}

bool SymbolDictionary::keyMatches(const Association& association, std::string_view key) const {
    if (association.key != nullptr)
        return storedKey(association.key) == key;
    // The key is the upper-cased name: compare on the fly instead of keeping a copy.
    const char* name = association.entry->name;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (name[i] == '\0' || upperAscii(name[i]) != key[i])
            return false;
    }
    return name[key.size()] == '\0';
}

// The slot that holds `key`, or the free slot where it would go.
std::size_t SymbolDictionary::findSlot(std::string_view key, std::uint32_t hash) const {
    std::size_t i = hash & mask_;
    for (;;) {
        const Slot& slot = slots_[i];
        if (slot.association == 0)
            return i;
        if (slot.hash == hash) {
            const std::size_t index = slot.association - 1;
            if (keyMatches(associations_[index / AssociationChunk][index % AssociationChunk], key))
                return i;
        }
        i = (i + 1) & mask_;
    }
}

void SymbolDictionary::prefetch(const NameKey& key) const {
#if defined(__GNUC__)
    if (slots_)
        __builtin_prefetch(&slots_[key.hash() & mask_]);
#else
    (void)key;
#endif
}

SymbolEntry* SymbolDictionary::lookup(std::string_view key, std::uint32_t hash) const {
    if (count_ == 0)
        return nullptr;
    const std::size_t i = findSlot(key, hash);
    const std::size_t index = slots_[i].association;
    if (index == 0)
        return nullptr;
    return associations_[(index - 1) / AssociationChunk][(index - 1) % AssociationChunk].entry;
}

// Doubles the table; it is kept at most three quarters full so that probe runs stay short.
bool SymbolDictionary::grow() {
    const std::size_t capacity = slots_ ? (mask_ + 1) * 2 : 1024;
    std::unique_ptr<Slot[]> slots(new (std::nothrow) Slot[capacity]);
    if (!slots)
        return false;
    std::memset(static_cast<void*>(slots.get()), 0, capacity * sizeof(Slot));
    const std::size_t mask = capacity - 1;
    for (std::size_t i = 0; slots_ && i <= mask_; ++i) {
        const Slot& slot = slots_[i];
        if (slot.association == 0)
            continue;
        std::size_t j = slot.hash & mask;
        while (slots[j].association != 0)
            j = (j + 1) & mask;
        slots[j] = slot;
    }
    slots_ = std::move(slots);
    mask_ = mask;
    return true;
}

bool SymbolDictionary::keepKey(std::string_view key, Association& association) {
    if (key.size() > UINT32_MAX)
        return false;
    char* text = allocateText(sizeof(std::uint32_t) + key.size());
    if (text == nullptr)
        return false;
    const std::uint32_t length = static_cast<std::uint32_t>(key.size());
    std::memcpy(text, &length, sizeof length);
    std::memcpy(text + sizeof length, key.data(), key.size());
    association.key = text;
    return true;
}

bool SymbolDictionary::set(std::string_view key, std::uint32_t hash, SymbolEntry* entry) {
    if ((count_ + 1) * 4 > (slots_ ? (mask_ + 1) * 3 : 0) && !grow())
        return false;
    const std::size_t i = findSlot(key, hash);
    if (slots_[i].association != 0) {
        const std::size_t index = slots_[i].association - 1;
        Association& association =
            associations_[index / AssociationChunk][index % AssociationChunk];
        // A key that has been kept as a copy stays; one read from the old entry's name is
        // read from the new entry's if that gives the same key.
        Association replaced{entry, association.key};
        if (replaced.key == nullptr && !keyMatches(replaced, key) && !keepKey(key, replaced))
            return false;
        association = replaced;
        return true;
    }

    if (count_ == UINT32_MAX)
        return false;
    if (count_ % AssociationChunk == 0 && count_ / AssociationChunk == associations_.size()) {
        std::unique_ptr<Association[]> chunk(new (std::nothrow) Association[AssociationChunk]);
        if (!chunk)
            return false;
        associations_.push_back(std::move(chunk));
    }
    Association association{entry, nullptr};
    if (!keyMatches(association, key) && !keepKey(key, association))
        return false;
    associations_[count_ / AssociationChunk][count_ % AssociationChunk] = association;
    ++count_;
    slots_[i] = Slot{hash, static_cast<std::uint32_t>(count_)};
    return true;
}

} // namespace symmap
