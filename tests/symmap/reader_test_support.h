// Helpers of the reader tests: a canonical dump of the dictionary, a token dump of the
// scanner, and reading a listing or map written to a temporary folder.
#pragma once

#include "diagnostics.h"
#include "scanner.h"
#include "symbol_dictionary.h"

#include <string>
#include <string_view>

namespace readertest {

// One line per stored entry, ordered by key:
//   NAME Kind [member] v=<value hex> a=<address hex> [link=NAME] [children=A,B]
std::string dumpDictionary(const symmap::SymbolDictionary& dictionary);

// The tokens from the current one on until the first TokEndOfFile (included), blank
// separated: EOL, EOF, N<value>, I<text>[#<keyword>], P<character>.
std::string dumpTokens(symmap::Scanner& scanner, int limit = 1000);

// Diagnostics reset, warnings mode as given; restored by the destructor.
class DiagnosticsScope {
  public:
    explicit DiagnosticsScope(bool warnings = true);
    ~DiagnosticsScope();
};

// What one reader left: its result, the dump and what it printed.
struct ReadResult {
    bool ok = false;
    std::string dump;
    std::string output;
};

// Writes `listing` to a file named "t.lst" in a temporary folder and reads it; when `map` is
// given, writes it to "t.map" and reads it after. Messages name the files "t.lst"/"t.map".
ReadResult readListingText(std::string_view listing);
ReadResult readListingAndMap(std::string_view listing, std::string_view map);

} // namespace readertest
