// The HTML writer: the page's head, escaping, bars and paged tables. The page's style and
// script are page.css and page.js, built into the program as page_assets.cpp.
#include "html_writer.h"
#include "page_assets.h"
#include "report_format.h"
#include "sha256.h"

#include <array>

namespace plcinfo {

namespace {

const char* const ColumnKinds[] = {"text", "number", "hex", "place", "delta", "type"};

// Text columns, left-aligned; the others are numbers.
bool textual(HtmlColumn column) {
    return column == HtmlColumn::Text || column == HtmlColumn::Type;
}

// "'sha256-" and the base64 of the digest of `text`, as a source list names an inline block.
std::string hashSource(std::string_view text) {
    const Sha256Digest digest = sha256(text);
    std::string out = "'sha256-";
    appendBase64(out, digest.data(), digest.size());
    return out + "'";
}

// Bytes that stand for themselves in a page's text: printable ASCII but the five that markup
// gives a meaning.
constexpr std::array<bool, 256> makeHtmlPlain() {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[c] = c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
    return plain;
}
constexpr std::array<bool, 256> HtmlPlain = makeHtmlPlain();

} // namespace

void htmlText(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        // Characters that stand for themselves go in as one piece, found by one table look-up
        // a byte.
        std::size_t plain = i;
        while (plain < text.size() && HtmlPlain[static_cast<unsigned char>(text[plain])])
            ++plain;
        out.append(text.data() + i, plain - i);
        i = plain;
        if (i == text.size())
            break;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const char* reference = c == '&'    ? "&amp;"
                                : c == '<'  ? "&lt;"
                                : c == '>'  ? "&gt;"
                                : c == '"'  ? "&quot;"
                                : c == '\'' ? "&#39;"
                                            : nullptr;
        if (reference != nullptr) {
            out += reference;
            ++i;
        } else if (const std::size_t length = c >= 0x80 ? utf8Length(text, i) : 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            appendByteEscape(out, "\\x", c);
            ++i;
        }
    }
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    htmlText(out, text);
    return out;
}

void htmlBeginPage(std::string& out, const std::string& title) {
    out += HtmlPageStart;
    out += PLC_PACKAGE_VERSION "\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src ";
    // The digests are worked out from the very bytes the page holds, once a run, so that a
    // changed style or script can never go out under the digest of an older one.
    static const std::string StyleSource = hashSource(pageStyle());
    static const std::string ScriptSource = hashSource(pageScript());
    out += StyleSource;
    out += "; script-src ";
    out += ScriptSource;
    out += "; base-uri 'none'; form-action 'none'\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    htmlText(out, title);
    out += "</title>\n<style>";
    out += pageStyle();
    out += "</style>\n</head>\n<body>\n";
}

void htmlEndPage(std::string& out) {
    out += "<script>";
    out += pageScript();
    out += "</script>\n</body>\n</html>\n";
}

void htmlBar(std::string& out, std::uint64_t value, std::uint64_t maximum, const char* type) {
    const std::uint64_t width =
        maximum == 0 ? 0 : (value > maximum ? 1000 : value * 1000 / maximum);
    appendFormat(out,
                 "<svg class=\"bar\" viewBox=\"0 0 1000 10\" preserveAspectRatio=\"none\" "
                 "aria-hidden=\"true\"><rect class=\"track\" width=\"1000\" height=\"10\"/>"
                 "<rect class=\"%s\" width=\"%u\" height=\"10\"/></svg>",
                 type, static_cast<unsigned>(width));
}

std::string htmlCellText(HtmlColumn column, const HtmlCell& cell) {
    if (cell.none)
        return "";
    const std::uint64_t size =
        static_cast<std::uint64_t>(cell.number < 0 ? -cell.number : cell.number);
    switch (column) {
    case HtmlColumn::Text:
        return std::string(cell.text);
    case HtmlColumn::Number:
        return std::to_string(cell.number);
    case HtmlColumn::Hex:
        return hexDigits(size, 4);
    case HtmlColumn::Place:
        return hexDigits(size, 4) + ":" + hexDigits(cell.address, 4);
    case HtmlColumn::Type:
        return std::string(cell.text);
    case HtmlColumn::Delta:
    default: {
        std::string out(1, cell.number < 0 ? '-' : '+');
        out += hexDigits(size, 4);
        return out;
    }
    }
}

// A table's data block nests three levels: the block, its rows and a row.
static_assert(JsonWriter::MaxDepth >= 3);

void htmlTableBegin(HtmlTableWriter& t) {
    const HtmlTable& table = t.table;
    // About 40 bytes a row: the page grows once rather than doubling through a million rows.
    t.out.reserve(t.out.size() + 40 * table.rowCount + 4096);
    appendFormat(t.out, "<script type=\"application/json\" id=\"%s-rows\">", table.id);
    JsonWriter& w = t.json;
    w.compact = true;
    w.escapeMarkup = true;
    jsonBeginObject(w);
    jsonKey(w, "columns");
    jsonBeginArray(w);
    for (int c = 0; c < table.columnCount; ++c)
        jsonText(w, ColumnKinds[static_cast<int>(table.columns[c])]);
    jsonEnd(w);
    jsonMemberNumber(w, "search", table.searchColumn);
    jsonMemberNumber(w, "sort", table.sortColumn);
    jsonMemberBool(w, "descending", table.descending);
    if (table.typeNames != nullptr) {
        jsonKey(w, "types");
        jsonBeginArray(w);
        for (int type = 0; type < table.typeCount; ++type)
            jsonText(w, table.typeNames[type]);
        jsonEnd(w);
    }
    jsonKey(w, "rows");
    jsonBeginArray(w);

    std::string& html = t.html;
    appendFormat(html,
                 "<div class=\"table\" data-rows=\"%s-rows\">\n<p><label>Search by %s "
                 "<input type=\"search\"></label></p>\n<table id=\"%s-table\">\n<thead><tr>",
                 table.id, table.titles[table.searchColumn], table.id);
    for (int c = 0; c < table.columnCount; ++c) {
        const char* sorted = c != table.sortColumn ? "none"
                             : table.descending    ? "descending"
                                                   : "ascending";
        appendFormat(html, "<th%s aria-sort=\"%s\"><button type=\"button\">%s</button></th>",
                     textual(table.columns[c]) ? "" : " class=\"n\"", sorted, table.titles[c]);
    }
    html += "</tr></thead>\n<tbody>\n";
}

void htmlTableRow(HtmlTableWriter& t, const HtmlCell* cells) {
    const HtmlTable& table = t.table;
    if (t.written < HtmlPageRows) {
        t.html += "<tr>";
        for (int c = 0; c < table.columnCount; ++c) {
            t.html += textual(table.columns[c]) ? "<td>" : "<td class=\"n\">";
            htmlText(t.html, htmlCellText(table.columns[c], cells[c]));
            t.html += "</td>";
        }
        t.html += "</tr>\n";
    }
    ++t.written;
    JsonWriter& w = t.json;
    jsonBeginArray(w);
    for (int c = 0; c < table.columnCount; ++c) {
        if (cells[c].none)
            jsonNull(w);
        else if (table.columns[c] == HtmlColumn::Text)
            jsonText(w, cells[c].text);
        else if (table.columns[c] == HtmlColumn::Place) {
            // Selector and address stay two numbers: an address may take all 32 bits.
            jsonBeginArray(w);
            jsonNumber(w, cells[c].number);
            jsonNumber(w, cells[c].address);
            jsonEnd(w);
        } else
            jsonNumber(w, cells[c].number);
    }
    jsonEnd(w);
}

void htmlTableEnd(HtmlTableWriter& t) {
    std::string& out = t.out;
    jsonEnd(t.json);
    jsonEnd(t.json);
    out += "</script>\n";
    out += t.html;
    const std::size_t shown = t.written < HtmlPageRows ? t.written : HtmlPageRows;
    out += "</tbody></table>\n<p class=\"pager\"><button type=\"button\" class=\"prev\" "
           "disabled>previous</button> <span class=\"status\">";
    if (t.written == 0)
        out += "no row matches";
    else
        appendFormat(out, "rows 1 to %s of %s", number(shown).c_str(), number(t.written).c_str());
    appendFormat(out,
                 "</span> <button type=\"button\" class=\"next\"%s>next</button></p>\n</div>\n",
                 shown < t.written ? "" : " disabled");
}

} // namespace plcinfo
