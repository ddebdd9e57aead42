// The one writer of the inspector's HTML pages: the page around a report (its head with the
// Content-Security-Policy, its style and its script), escaped text, bars, and the tables that
// a reader can search, sort and page through. A page stands alone: nothing in it is fetched
// from elsewhere, and the same report gives the same bytes.
//
// A table's first rows are written as HTML, so that the page shows them without its script;
// every row is also written, once, as JSON in a data block, from which the script searches,
// sorts and pages when the reader asks for it (a million rows are never put in the page at once,
// and the block is read only then).
#pragma once

#include "json_writer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plcinfo {

// Rows a table shows at once, in the HTML and in each page the script shows.
inline constexpr std::size_t HtmlPageRows = 500;

// Appends `text` with &, <, >, " and ' written as references; control characters and bytes
// that begin no UTF-8 sequence as "\xNN".
void htmlText(std::string& out, std::string_view text);
std::string htmlEscape(std::string_view text);

// How every page begins, up to the version in its generator mark: a file that begins so is a
// page of this program, which a new page may replace.
inline constexpr std::string_view HtmlPageStart =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"generator\" content=\"Plcinfo ";

// The head of the page, with the title given (escaped), and the body's opening.
void htmlBeginPage(std::string& out, const std::string& title);
// The page's script and the end of the page.
void htmlEndPage(std::string& out);

// A horizontal bar of `value` against `maximum`, `width` units long at most.
void htmlBar(std::string& out, std::uint64_t value, std::uint64_t maximum, const char* type);

// How a column's values are shown and sorted (the script shows them the same way).
enum class HtmlColumn {
    Text,   // a string, sorted ignoring letter case
    Number, // decimal
    Hex,    // four hexadecimal digits at least
    Place,  // a selector and an address, two values, shown "0030:01A4" or "0030:12345"
    Delta,  // a signed distance, "+0002"; sorted by its size, none last
    Type,   // a variable's type: its name given as text, its index in the table's types kept
};

struct HtmlCell {
    bool none = false;       // an empty cell (sorts last)
    std::int64_t number = 0; // a Type column: the type's index; a Place column: the selector
    std::string_view text;
    std::uint32_t address = 0; // a Place column: the address
};

struct HtmlTable {
    const char* id = "";
    const char* const* titles = nullptr;
    const HtmlColumn* columns = nullptr;
    int columnCount = 0;
    int searchColumn = 0; // the column the search box looks in
    int sortColumn = -1;  // the order the rows are given in: -1 as given
    bool descending = false;
    std::size_t rowCount = 0;
    // Type columns: the names of the types, by index.
    const char* const* typeNames = nullptr;
    int typeCount = 0;
};

// A table and its search box, pager and data block, written in three steps: the head, the
// rows (each given once, in the order of the table), the end. The rows go straight into the
// page as the data block's JSON, the first HtmlPageRows of them also as HTML, kept until the
// end, where the table follows the data block.
struct HtmlTableWriter {
    HtmlTableWriter(std::string& page, const HtmlTable& shape) : out(page), table(shape) {}
    std::string& out;
    HtmlTable table;
    JsonWriter json{out};
    std::string html; // the table, up to its first rows
    std::size_t written = 0;
};
void htmlTableBegin(HtmlTableWriter& t);
void htmlTableRow(HtmlTableWriter& t, const HtmlCell* cells);
void htmlTableEnd(HtmlTableWriter& t);

// A cell's text as the page shows it.
std::string htmlCellText(HtmlColumn column, const HtmlCell& cell);

} // namespace plcinfo
