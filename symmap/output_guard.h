// The check the .mp2 writer makes before it replaces anything at its output path.
#pragma once

namespace symmap {

// True when the .mp2 file may be created at `mp2Path`: nothing is there yet, or an empty file,
// or a symbol map of an earlier run. Refuses, as a critical error with `mp2Path` as extra
// text, the listing or the map of this run (message 15, whatever path leads to them) and any
// other non-empty regular file that does not begin as a symbol map (message 14), which is
// most likely a listing given in the order the usage text shows. A file that cannot be looked
// at is refused too (message 1 or 4). `listingPath` and `mapPath` may be null.
bool checkSymbolMapTarget(const char* mp2Path, const char* listingPath, const char* mapPath);

} // namespace symmap
