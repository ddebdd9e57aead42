// The HTML writer: the page's head, style and script, escaping, bars and paged tables.
#include "html_writer.h"
#include "report_format.h"

#include <array>
#include <cstring>

namespace plcinfo {

namespace {

const char Style[] = R"(
body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#1b1b1b;background:#fff}
h1{font-size:1.4em}h2{font-size:1.2em;margin-top:1.6em}h3{font-size:1em;margin:1em 0 .3em}
table{border-collapse:collapse;margin:.4em 0}th,td{padding:.15em .6em;text-align:left;vertical-align:top}
thead th{border-bottom:2px solid #888}tbody tr:nth-child(odd){background:#f3f3f3}
td.n,th.n{text-align:right;font-variant-numeric:tabular-nums}
th button{font:inherit;font-weight:bold;background:none;border:0;padding:0;cursor:pointer}
th[aria-sort=ascending] button::after{content:" \25B2"}th[aria-sort=descending] button::after{content:" \25BC"}
code,.mono,td.n{font-family:ui-monospace,Consolas,monospace}
.bad{color:#a00000;font-weight:bold}.ok{color:#005a00}
.verdict{font-size:1.1em;font-weight:bold;padding:.4em .8em;border-left:.4em solid #005a00;background:#eef7ee}
.verdict.bad{border-color:#a00000;background:#fbeeee}
.findings{border-left:.4em solid #a00000;background:#fbeeee;padding:.2em 1em}
svg.bar{width:16em;height:.9em;vertical-align:middle}
svg.segment{width:100%;max-width:64em;height:1.6em;display:block}
svg.strip{width:100%;max-width:64em;height:2.4em;display:block}
svg.moves{width:100%;max-width:64em;height:4.8em;display:block}
.track{fill:#e4e4e4}.used{fill:#2f6db3}.old{fill:#7a7a7a}.new{fill:#2f6db3}.grown{fill:#b35c00}.shrunk{fill:#2f8f5b}
td.grown{color:#b35c00}svg.key{width:.9em;height:.9em;vertical-align:middle;margin:0 .2em 0 .8em}
polygon[tabindex]:focus{outline:none;stroke:#000;stroke-width:3}
.run{vector-effect:non-scaling-stroke;fill:#b35c00;fill-opacity:.35;stroke:#b35c00;stroke-width:.5}
.v0{fill:#2f6db3}.v1{fill:#4f9bd9}.v2{fill:#1e4d80}.v3{fill:#6c4fb3}.v4{fill:#b35c00}
rect[tabindex]:focus{outline:none;stroke:#000;stroke-width:2}
.detail{min-height:1.4em;font-family:ui-monospace,Consolas,monospace;margin:.2em 0 .8em}
.pager button{font:inherit}
)";

const char Script[] = R"(
"use strict";
(function () {
  var PAGE = 500;
  function hex(n, d) {
    var s = Math.abs(n).toString(16).toUpperCase();
    while (s.length < d) s = "0" + s;
    return s;
  }
  function shown(data, kind, v) {
    if (v === null) return "";
    if (kind === "type") return data.types[v];
    if (kind === "place") return hex(Math.floor(v / 65536), 4) + ":" + hex(v % 65536, 4);
    if (kind === "delta") return (v < 0 ? "-" : "+") + hex(v, 4);
    if (kind === "hex") return hex(v, 4);
    return String(v);
  }
  function sortKey(data, kind, v) {
    if (v === null) return kind === "text" ? "" : -1;
    if (kind === "type") return data.types[v];
    if (kind === "delta") return Math.abs(v);
    if (kind === "text") return String(v).toLowerCase();
    return v;
  }
  function table(box) {
    var data = null, order = null, rows = null, start = 0, col = -1, desc = false;
    var body = box.querySelector("tbody"), heads = box.querySelectorAll("thead th");
    var input = box.querySelector("input"), status = box.querySelector(".status");
    var prev = box.querySelector(".prev"), next = box.querySelector(".next");
    function load() {
      if (data) return;
      data = JSON.parse(document.getElementById(box.getAttribute("data-rows")).textContent);
      col = data.sort;
      desc = data.descending;
      order = data.rows.map(function (r, i) { return i; });
      rows = order;
    }
    // A size column holds no data: it is the width of the row's type.
    function value(r, c) {
      return data.columns[c] === "size" ? data.widths[r[data.columns.indexOf("type")]] : r[c];
    }
    function filter() {
      var q = input.value.toLowerCase(), c = data.search;
      rows = q === "" ? order : order.filter(function (i) {
        var v = data.rows[i][c];
        return v !== null && String(v).toLowerCase().indexOf(q) >= 0;
      });
      start = 0;
    }
    function sortBy(c) {
      if (c === col) desc = !desc;
      else { col = c; desc = data.columns[c] === "delta"; }
      var kind = data.columns[c];
      var keys = data.rows.map(function (r) { return sortKey(data, kind, value(r, c)); });
      order = data.rows.map(function (r, i) { return i; });
      order.sort(function (a, b) {
        var d = keys[a] < keys[b] ? -1 : keys[a] > keys[b] ? 1 : 0;
        return desc ? -d : d;
      });
      filter();
    }
    function render() {
      var end = Math.min(start + PAGE, rows.length), part = document.createDocumentFragment();
      for (var k = start; k < end; k++) {
        var r = data.rows[rows[k]], tr = document.createElement("tr");
        for (var c = 0; c < data.columns.length; c++) {
          var td = document.createElement("td");
          td.textContent = shown(data, data.columns[c], value(r, c));
          if (data.columns[c] !== "text" && data.columns[c] !== "type") td.className = "n";
          tr.appendChild(td);
        }
        part.appendChild(tr);
      }
      body.textContent = "";
      body.appendChild(part);
      status.textContent = rows.length === 0 ? "no row matches"
        : "rows " + (start + 1) + " to " + end + " of " + rows.length;
      prev.disabled = start === 0;
      next.disabled = end >= rows.length;
      for (var h = 0; h < heads.length; h++)
        heads[h].setAttribute("aria-sort", h === col ? (desc ? "descending" : "ascending") : "none");
    }
    input.addEventListener("input", function () { load(); filter(); render(); });
    prev.addEventListener("click", function () { load(); start = Math.max(0, start - PAGE); render(); });
    next.addEventListener("click", function () { load(); start += PAGE; render(); });
    heads.forEach(function (head, c) {
      head.querySelector("button").addEventListener("click", function () { load(); sortBy(c); render(); });
    });
    var asked = /[#&]search=([^&]*)/.exec(location.hash);
    if (asked) { input.value = decodeURIComponent(asked[1]); load(); filter(); render(); }
  }
  function strip(svg) {
    var out = document.getElementById(svg.getAttribute("data-detail"));
    function detail(e) {
      var t = e.target.firstChild;
      if (t && t.nodeName === "title") out.textContent = t.textContent;
    }
    svg.addEventListener("mouseover", detail);
    svg.addEventListener("focusin", detail);
  }
  document.querySelectorAll("div.table").forEach(table);
  document.querySelectorAll("svg[data-detail]").forEach(strip);
})();
)";

const char* const ColumnKinds[] = {"text", "number", "hex", "place", "delta", "type", "size"};

// Text columns, left-aligned; the others are numbers.
bool textual(HtmlColumn column) {
    return column == HtmlColumn::Text || column == HtmlColumn::Type;
}

// SHA-256 of the style and the script, for the Content-Security-Policy that lets only them run.
struct Sha256 {
    std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
};

const std::uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotate(std::uint32_t x, int n) {
    return x >> n | x << (32 - n);
}

void hashBlock(Sha256& s, const unsigned char* block) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
               std::uint32_t{block[4 * i + 2]} << 8 | block[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotate(w[i - 15], 7) ^ rotate(w[i - 15], 18) ^ w[i - 15] >> 3;
        const std::uint32_t s1 = rotate(w[i - 2], 17) ^ rotate(w[i - 2], 19) ^ w[i - 2] >> 10;
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t v[8];
    std::memcpy(v, s.h, sizeof v);
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t e = v[4], a = v[0];
        const std::uint32_t t1 = v[7] + (rotate(e, 6) ^ rotate(e, 11) ^ rotate(e, 25)) +
                                 ((e & v[5]) ^ (~e & v[6])) + RoundConstants[i] + w[i];
        const std::uint32_t t2 = (rotate(a, 2) ^ rotate(a, 13) ^ rotate(a, 22)) +
                                 ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        for (int k = 7; k > 0; --k)
            v[k] = v[k - 1];
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i)
        s.h[i] += v[i];
}

// "sha256-" and the base64 of the digest of `text`, as a source list names an inline block.
std::string hashSource(const char* text) {
    const std::size_t size = std::strlen(text);
    std::string padded(text, size);
    padded += '\x80';
    while (padded.size() % 64 != 56)
        padded += '\0';
    for (int shift = 56; shift >= 0; shift -= 8)
        padded += static_cast<char>(static_cast<std::uint64_t>(size) * 8 >> shift & 0xFF);
    Sha256 s;
    for (std::size_t at = 0; at < padded.size(); at += 64)
        hashBlock(s, reinterpret_cast<const unsigned char*>(padded.data() + at));
    unsigned char digest[32];
    for (int i = 0; i < 32; ++i)
        digest[i] = static_cast<unsigned char>(s.h[i / 4] >> (24 - 8 * (i % 4)));
    static const char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out = "'sha256-";
    for (int i = 0; i < 32; i += 3) {
        const std::uint32_t n = std::uint32_t{digest[i]} << 16 |
                                (i + 1 < 32 ? std::uint32_t{digest[i + 1]} << 8 : 0) |
                                (i + 2 < 32 ? digest[i + 2] : 0);
        out += Alphabet[n >> 18 & 63];
        out += Alphabet[n >> 12 & 63];
        out += i + 1 < 32 ? Alphabet[n >> 6 & 63] : '=';
        out += i + 2 < 32 ? Alphabet[n & 63] : '=';
    }
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
    // The style and the script never change: their digests are worked out once a run.
    static const std::string StyleSource = hashSource(Style);
    static const std::string ScriptSource = hashSource(Script);
    out += StyleSource;
    out += "; script-src ";
    out += ScriptSource;
    out += "; base-uri 'none'; form-action 'none'\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    htmlText(out, title);
    out += "</title>\n<style>";
    out += Style;
    out += "</style>\n</head>\n<body>\n";
}

void htmlEndPage(std::string& out) {
    out += "<script>";
    out += Script;
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
        return hexDigits(size >> 16, 4) + ":" + hexDigits(size & 0xFFFF, 4);
    case HtmlColumn::Type:
        return std::string(cell.text);
    case HtmlColumn::Size:
        return std::to_string(cell.number);
    case HtmlColumn::Delta:
    default: {
        std::string out(1, cell.number < 0 ? '-' : '+');
        out += hexDigits(size, 4);
        return out;
    }
    }
}

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
        jsonKey(w, "widths");
        jsonBeginArray(w);
        for (int type = 0; type < table.typeCount; ++type)
            jsonNumber(w, table.typeWidths[type]);
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
        if (table.columns[c] == HtmlColumn::Size)
            continue;
        if (cells[c].none)
            jsonNull(w);
        else if (table.columns[c] == HtmlColumn::Text)
            jsonText(w, cells[c].text);
        else
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
