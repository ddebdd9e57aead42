// The images as HTML: what failed (for the top of the page), one row per image with a bar of
// its size and its checks, and two builds side by side with the change in size. The checks are
// those the text report prints; a failed one says "BAD" in words, not in colour alone.
#include "common/html_writer.h"
#include "image_set.h"

namespace plcinfo {

namespace {

std::size_t largestImage(const Inspection& inspection) {
    std::size_t largest = 0;
    for (const ImageRecord& image : inspection.images)
        largest = image.size > largest ? image.size : largest;
    return largest;
}

// What is wrong with one image, "" when it is valid.
std::string failureText(const ImageRecord& image) {
    if (image.state == ImageState::Missing)
        return "missing";
    if (image.state == ImageState::CutShort)
        return "cut short, needs " + number(image.needed) + " bytes";
    std::string out;
    for (int field = 0; field < CheckedFieldCount; ++field) {
        if (fieldHolds(image, static_cast<CheckedField>(field)))
            continue;
        out += out.empty() ? "" : "; ";
        appendFormat(out, "%s %04X, should be %04X", CheckedFieldNames[field], image.stored[field],
                     image.expected[field]);
    }
    if (!farEndHolds(image)) {
        out += out.empty() ? "" : "; ";
        appendFormat(out, "farEnd %04X, the other images' %04X: an image of another build",
                     image.farEnd, image.expectedFarEnd);
    }
    return out;
}

void appendCheckCell(std::string& out, std::uint16_t stored, std::uint16_t expected) {
    if (stored == expected)
        appendFormat(out, "<td class=\"n\">%04X <span class=\"ok\">ok</span></td>", stored);
    else
        appendFormat(out, "<td class=\"n bad\">%04X BAD %04X</td>", stored, expected);
}

void appendVerdict(std::string& out, const Inspection& inspection) {
    const int bad = badImageCount(inspection);
    const bool valid = imagesValid(inspection);
    out += valid ? "<p class=\"ok\">" : "<p class=\"bad\">";
    if (bad != 0)
        appendFormat(out, "%d of seventeen images bad", bad);
    else if (!valid)
        out += "all seventeen images valid, but the set may mix two builds";
    else
        out += "all seventeen images valid";
    out += "</p>\n";
}

void appendPathLine(std::string& out, const char* label, const Inspection& inspection) {
    appendFormat(out, "<p>%s: <code>", label);
    htmlText(out, inspection.path);
    appendFormat(out, "</code> (%s)</p>\n", inspection.joined ? "joined file" : "folder");
}

// The make-file comment as the text report quotes it; blanks kept, as they were written.
void appendCommentLine(std::string& out, const char* label, const Inspection& inspection) {
    std::string_view comment;
    if (!makeFileComment(inspection, comment))
        return;
    appendFormat(out, "<p>%s: <code class=\"comment\">&quot;", label);
    htmlText(out, comment);
    out += "&quot;</code></p>\n";
}

std::string titleOf(const char* what, const Inspection& inspection) {
    return std::string(what) + " " + inspection.path;
}

} // namespace

void writeImageFailuresHtml(std::string& out, const Inspection& inspection, const char* side) {
    for (int i = 0; i < ImageCount; ++i) {
        if (imageValid(inspection.images[i]))
            continue;
        out += "<li>";
        htmlText(out, side);
        appendFormat(out, "<code>%s</code>: BAD: ", ImageNames[i]);
        htmlText(out, failureText(inspection.images[i]));
        out += "</li>\n";
    }
    if (inspection.temporaries.empty())
        return;
    out += "<li>";
    htmlText(out, side);
    out += "temporaries of an interrupted Tessan run: ";
    for (std::size_t k = 0; k < inspection.temporaries.size(); ++k) {
        out += k == 0 ? "<code>" : ", <code>";
        htmlText(out, inspection.temporaries[k]);
        out += "</code>";
    }
    out += ". The set may mix two builds; a new Tessan run makes it whole.</li>\n";
}

void writeImagesHtml(std::string& out, const Inspection& inspection) {
    out += "<section id=\"images\">\n<h2>Images</h2>\n";
    appendPathLine(out, "Images", inspection);
    appendCommentLine(out, "Make-file comment", inspection);
    appendVerdict(out, inspection);
    out += "<p>Sizes are decimal bytes; offsets, header fields and farEnd are hexadecimal.</p>\n";
    out += "<table class=\"images\">\n<thead><tr><th>Image</th><th class=\"n\">Offset</th>"
           "<th class=\"n\">Size</th><th>Size of the largest</th>";
    for (const char* field : CheckedFieldNames)
        appendFormat(out, "<th class=\"n\">%s</th>", field);
    out += "<th class=\"n\">farEnd</th></tr></thead>\n<tbody>\n";
    const std::size_t largest = largestImage(inspection);
    for (int i = 0; i < ImageCount; ++i) {
        const ImageRecord& image = inspection.images[i];
        appendFormat(out, "<tr><td><code>%s</code></td>", ImageNames[i]);
        if (image.state == ImageState::Missing) {
            out += "<td colspan=\"10\" class=\"bad\">BAD: missing</td></tr>\n";
            continue;
        }
        appendFormat(out, "<td class=\"n\">%s</td><td class=\"n\">%s</td><td>",
                     inspection.joined ? hex8(image.offset).c_str() : "",
                     number(image.size).c_str());
        htmlBar(out, image.size, largest, "used");
        out += "</td>";
        if (image.state == ImageState::CutShort) {
            appendFormat(out,
                         "<td colspan=\"6\" class=\"bad\">BAD: cut short, needs %s bytes</td>"
                         "</tr>\n",
                         number(image.needed).c_str());
            continue;
        }
        for (int field = 0; field < CheckedFieldCount; ++field)
            appendCheckCell(out, image.stored[field], image.expected[field]);
        appendCheckCell(out, image.farEnd, image.expectedFarEnd);
        out += "</tr>\n";
    }
    if (inspection.joined && inspection.hasEndPart)
        appendFormat(out,
                     "<tr><td><code>PLC_ENDP</code></td><td class=\"n\">%s</td><td "
                     "class=\"n\">%s</td><td colspan=\"7\"></td></tr>\n",
                     hex8(inspection.endOffset).c_str(), number(inspection.endSize).c_str());
    out += "</tbody></table>\n</section>\n";
}

void writeImageComparisonHtml(std::string& out, const Inspection& before, const Inspection& after) {
    out += "<section id=\"images\">\n<h2>Images</h2>\n";
    appendPathLine(out, "Old images", before);
    appendCommentLine(out, "Old make-file comment", before);
    appendVerdict(out, before);
    appendPathLine(out, "New images", after);
    appendCommentLine(out, "New make-file comment", after);
    appendVerdict(out, after);
    out += "<p>Sizes and deltas are decimal bytes; the first difference is a hexadecimal "
           "offset, after it the header fields that differ.</p>\n";
    out += "<table class=\"images\">\n<thead><tr><th>Image</th><th class=\"n\">Old size</th>"
           "<th class=\"n\">New size</th><th class=\"n\">Delta</th><th>Old, new</th>"
           "<th class=\"n\">First difference</th></tr></thead>\n<tbody>\n";
    const std::size_t largestOld = largestImage(before);
    const std::size_t largestNew = largestImage(after);
    const std::size_t largest = largestOld > largestNew ? largestOld : largestNew;
    int differing = 0;
    for (int i = 0; i < ImageCount; ++i) {
        const ImageRecord& a = before.images[i];
        const ImageRecord& b = after.images[i];
        const ImageComparison comparison = compareImages(a, b);
        differing += comparison.same ? 0 : 1;
        const auto sizeCell = [&](const ImageRecord& image) {
            if (image.state == ImageState::Missing)
                return std::string("<td class=\"n bad\">BAD: missing</td>");
            return "<td class=\"n" + std::string(imageValid(image) ? "" : " bad") + "\">" +
                   (imageValid(image) ? "" : "BAD ") + number(image.size) + "</td>";
        };
        appendFormat(out, "<tr><td><code>%s</code></td>", ImageNames[i]);
        out += sizeCell(a) + sizeCell(b);
        const std::int64_t delta =
            static_cast<std::int64_t>(b.size) - static_cast<std::int64_t>(a.size);
        appendFormat(out, "<td class=\"n%s\">%s%s</td><td>", delta > 0 ? " grown" : "",
                     delta > 0 ? "+" : "", std::to_string(delta).c_str());
        htmlBar(out, a.size, largest, "old");
        out += "<br>";
        htmlBar(out, b.size, largest, "new");
        out += "</td><td class=\"n\">";
        if (comparison.same)
            out += "same";
        else if (comparison.bothHold) {
            out += hex8(comparison.firstDifference);
            const std::string fields = differingFields(comparison);
            if (!fields.empty())
                out += " " + fields;
        } else
            out += "differs";
        out += "</td></tr>\n";
    }
    out += "</tbody></table>\n";
    appendFormat(out, "<p>%s</p>\n</section>\n",
                 differing == 0 ? "no image differs"
                                : (std::to_string(differing) + " of seventeen images differ" +
                                   (differing == 1 ? "s" : ""))
                                      .c_str());
}

std::string formatHtml(const Inspection& inspection) {
    std::string out;
    htmlBeginPage(out, titleOf("Plcinfo: images", inspection));
    out += "<h1>Images of one build</h1>\n";
    std::string failures;
    writeImageFailuresHtml(failures, inspection, "");
    if (!failures.empty())
        out += "<section id=\"findings\" class=\"findings\">\n<h2>Failed checks</h2>\n<ul>\n" +
               failures + "</ul>\n</section>\n";
    writeImagesHtml(out, inspection);
    htmlEndPage(out);
    return out;
}

std::string formatComparisonHtml(const Inspection& before, const Inspection& after) {
    std::string out;
    htmlBeginPage(out, "Plcinfo: images " + before.path + " against " + after.path);
    out += "<h1>Images of two builds</h1>\n";
    std::string failures;
    writeImageFailuresHtml(failures, before, "old: ");
    writeImageFailuresHtml(failures, after, "new: ");
    if (!failures.empty())
        out += "<section id=\"findings\" class=\"findings\">\n<h2>Failed checks</h2>\n<ul>\n" +
               failures + "</ul>\n</section>\n";
    writeImageComparisonHtml(out, before, after);
    htmlEndPage(out);
    return out;
}

} // namespace plcinfo
