// The images as a Markdown summary: the verdict, the images that fail with what fails, and for
// two builds every image whose bytes differ with its sizes before and after, the delta and what
// differs.
#include "common/markdown_writer.h"
#include "image_set.h"

namespace plcinfo {

namespace {

// "+40", "-8", "0": the sign appended, not put in front (a false -Wrestrict of g++ 12).
std::string signedNumber(std::int64_t value) {
    std::string out(value > 0 ? "+" : "");
    out += std::to_string(value);
    return out;
}

std::string verdict(const Inspection& inspection) {
    const int bad = badImageCount(inspection);
    if (bad != 0)
        return "**" + std::to_string(bad) + " of seventeen images bad**";
    if (!imagesValid(inspection))
        return "**all seventeen images valid, but the set may mix two builds** (temporaries of "
               "an interrupted Tessan run)";
    return "all seventeen images valid";
}

void appendFailures(std::string& out, const Inspection& inspection, const char* side) {
    for (int i = 0; i < ImageCount; ++i) {
        const ImageRecord& image = inspection.images[i];
        if (imageValid(image))
            continue;
        appendFormat(out, "- %s`%s`: ", side, ImageNames[i]);
        if (image.state == ImageState::Missing)
            out += "missing";
        else if (image.state == ImageState::CutShort)
            out += "cut short, needs " + number(image.needed) + " bytes";
        else {
            std::string failed;
            for (int field = 0; field < CheckedFieldCount; ++field)
                if (!fieldHolds(image, static_cast<CheckedField>(field)))
                    failed += std::string(failed.empty() ? "" : ", ") + CheckedFieldNames[field];
            if (!farEndHolds(image))
                failed += std::string(failed.empty() ? "" : ", ") + "farEnd";
            out += "BAD " + failed;
        }
        out += "\n";
    }
}

// The side's path and verdict, and under it (a line break in the same paragraph) the make-file
// comment.
void appendSide(std::string& out, const char* label, const Inspection& inspection) {
    appendFormat(out, "%s%s: %s", label, markdownText(inspection.path).c_str(),
                 verdict(inspection).c_str());
    std::string_view comment;
    if (makeFileComment(inspection, comment))
        out += "  \nMake-file comment: \"" + markdownText(comment) + "\"";
    out += "\n";
}

// What differs between two images, as the comparison found it: the header fields whose values
// differ and where the bytes first differ (hexadecimal).
std::string differenceText(const ImageComparison& comparison) {
    if (!comparison.bothHold)
        return "one side missing";
    const std::string fields = differingFields(comparison);
    return (fields.empty() ? std::string("no header field") : fields) +
           "; first differing byte at " + hex8(comparison.firstDifference) + " (hexadecimal)";
}

} // namespace

void writeImagesMarkdown(std::string& out, const Inspection& inspection) {
    out += "\n### Images\n\n";
    appendSide(out, "", inspection);
    out += "\n";
    appendFailures(out, inspection, "");
}

void writeImageComparisonMarkdown(std::string& out, const Inspection& before,
                                  const Inspection& after) {
    out += "\n### Images\n\n";
    appendSide(out, "Old: ", before);
    appendSide(out, "\nNew: ", after);
    appendFailures(out, before, "old ");
    appendFailures(out, after, "new ");
    static const char* const Titles[] = {"image", "old size", "new size", "delta", "what differs"};
    std::size_t differing = 0;
    std::string rows;
    for (int i = 0; i < ImageCount; ++i) {
        const ImageRecord& a = before.images[i];
        const ImageRecord& b = after.images[i];
        const ImageComparison comparison = compareImages(a, b);
        if (comparison.same)
            continue;
        if (++differing > MarkdownListRows)
            continue;
        const std::int64_t delta =
            static_cast<std::int64_t>(b.size) - static_cast<std::int64_t>(a.size);
        const std::string cells[] = {std::string("`") + ImageNames[i] + "`",
                                     a.state == ImageState::Missing ? "missing" : number(a.size),
                                     b.state == ImageState::Missing ? "missing" : number(b.size),
                                     signedNumber(delta), differenceText(comparison)};
        markdownRow(rows, cells, 5);
    }
    if (differing == 0) {
        out += "\nno image differs\n";
        return;
    }
    appendFormat(out, "\n%s of seventeen images differ%s:\n\n", number(differing).c_str(),
                 differing == 1 ? "s" : "");
    markdownTableHead(out, Titles, 5, 0xE);
    out += rows;
}

std::string formatMarkdown(const Inspection& inspection) {
    std::string out = "## Plcinfo: images\n";
    writeImagesMarkdown(out, inspection);
    return out;
}

std::string formatComparisonMarkdown(const Inspection& before, const Inspection& after) {
    std::string out = "## Plcinfo: images of two builds\n";
    writeImageComparisonMarkdown(out, before, after);
    return out;
}

} // namespace plcinfo
