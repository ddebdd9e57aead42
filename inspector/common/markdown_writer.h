// The writer of the inspector's Markdown summaries (GitHub-flavoured, for a CI job's summary
// or a comment on a change): escaped text, tables, and long lists cut with a count of the rest.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plcinfo {

// Rows a list or table of a summary shows; the rest are counted.
inline constexpr std::size_t MarkdownListRows = 20;

// `text` as it shows in a line or a table cell: what Markdown or HTML would take as markup
// (*, _, `, [, |, <, & ...) escaped, control characters and stray bytes as \xNN.
std::string markdownText(std::string_view text);

// A table's head: the titles (already escaped), those whose index is in `rightAligned` set
// right (a bit per column, for the first 32).
void markdownTableHead(std::string& out, const char* const* titles, int count,
                       unsigned rightAligned);
// The same for a table of any width: column i set right when rightAligned[i] is true.
void markdownTableHead(std::string& out, const char* const* titles, int count,
                       const std::vector<bool>& rightAligned);
// One row of cells, already escaped.
void markdownRow(std::string& out, const std::string* cells, int count);
// "… and 12 more WHAT" under a cut list, when `rest` is not 0.
void markdownMore(std::string& out, std::size_t rest, const char* what);

} // namespace plcinfo
