// The Markdown writer: escaping, tables and cut lists.
#include "markdown_writer.h"
#include "report_format.h"

#include <cstring>

namespace plcinfo {

std::string markdownText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const unsigned char byte = static_cast<unsigned char>(c);
        if (const std::size_t length = byte >= 0x80 ? utf8Length(text, i) : 0) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (byte < 0x20 || byte >= 0x7F)
            appendByteEscape(out, "\\x", byte);
        else {
            if (std::strchr("\\`*_[]|#~!", c) != nullptr)
                out += '\\';
            out += c;
        }
    }
    return out;
}

void markdownTableHead(std::string& out, const char* const* titles, int count,
                       const std::vector<bool>& rightAligned) {
    out += "|";
    for (int i = 0; i < count; ++i)
        appendFormat(out, " %s |", titles[i]);
    out += "\n|";
    for (int i = 0; i < count; ++i) {
        const bool right = static_cast<std::size_t>(i) < rightAligned.size() && rightAligned[i];
        out += right ? "---:|" : "---|";
    }
    out += "\n";
}

void markdownTableHead(std::string& out, const char* const* titles, int count,
                       unsigned rightAligned) {
    std::vector<bool> right;
    for (int i = 0; i < count && i < 32; ++i)
        right.push_back((rightAligned >> i & 1) != 0);
    markdownTableHead(out, titles, count, right);
}

void markdownRow(std::string& out, const std::string* cells, int count) {
    out += "|";
    for (int i = 0; i < count; ++i)
        out += " " + cells[i] + " |";
    out += "\n";
}

void markdownMore(std::string& out, std::size_t rest, const char* what) {
    if (rest != 0)
        appendFormat(out, "\n… and %s more %s\n", number(rest).c_str(), what);
}

} // namespace plcinfo
