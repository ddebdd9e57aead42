// The table of one inspection and of a comparison of two: fixed columns, hexadecimal
// numbers of fixed width, one row per image, one closing line that scripts can match.
#include "image_set.h"

namespace plcinfo {

namespace {

// Where a row's second line (comment, how a length was taken) begins: under the first
// column after the name.
const char Indent[] = "              ";
// A check cell: "01FC ok" or "01FC BAD 01FD", padded to one width.
constexpr int CheckCellWidth = 15;

void appendCheckCell(std::string& out, const ImageRecord& image, CheckedField field) {
    const std::size_t start = out.size();
    if (fieldHolds(image, field))
        appendFormat(out, "%04X ok", image.stored[field]);
    else
        appendFormat(out, "%04X BAD %04X", image.stored[field], image.expected[field]);
    out.append(CheckCellWidth - (out.size() - start), ' ');
}

// The comment bytes as a quoted text; what is not a printable character is written \xNN.
void appendComment(std::string& out, std::string_view text) {
    out += '"';
    for (const char byte : text) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if (c == '"' || c == '\\')
            out += '\\';
        if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else
            appendByteEscape(out, "\\x", c);
    }
    out += '"';
}

// Indexed by LengthReason.
const char* const ReasonTexts[] = {"dataCheck holds there", "the next image's header begins there",
                                   "the shortest length that fits"};

// A joined image whose length is not plainly its fileLength says how it was taken.
void appendLengthNote(std::string& out, const ImageRecord& image) {
    if (image.wraps == 0 && image.base == LengthBase::FileLength)
        return;
    out += Indent;
    out += "size taken as ";
    out += image.base == LengthBase::FileLength ? "fileLength" : "dataLength + 32";
    if (image.wraps == 1)
        out += " + 65536";
    else if (image.wraps > 1)
        appendFormat(out, " + %u x 65536", static_cast<unsigned>(image.wraps));
    appendFormat(out, ": %s\n", ReasonTexts[static_cast<int>(image.reason)]);
}

void appendImageRow(std::string& out, const Inspection& inspection, int index) {
    const ImageRecord& image = inspection.images[index];
    appendFormat(out, "%-12s  ", ImageNames[index]);
    if (image.state == ImageState::Missing) {
        out += "missing\n";
        return;
    }
    if (inspection.joined)
        out += hex8(image.offset) + "  ";
    out += hex8(image.size) + "  ";
    if (image.state == ImageState::CutShort) {
        appendFormat(out, "cut short, needs %s bytes\n", hex8(image.needed).c_str());
        return;
    }
    for (int field = 0; field < CheckedFieldCount; ++field)
        appendCheckCell(out, image, static_cast<CheckedField>(field));
    if (farEndHolds(image))
        appendFormat(out, "%04X\n", image.farEnd);
    else
        appendFormat(out, "%04X BAD %04X\n", image.farEnd, image.expectedFarEnd);
    if (inspection.joined)
        appendLengthNote(out, image);
    std::string_view comment;
    if (index == 0 && makeFileComment(inspection, comment)) {
        out += Indent;
        out += "comment ";
        appendComment(out, comment);
        out += '\n';
    }
}

// An image of another build among the set: its farEnd against that of the others.
void appendFarEndNotes(std::string& out, const Inspection& inspection) {
    for (int i = 0; i < ImageCount; ++i) {
        const ImageRecord& image = inspection.images[i];
        if (image.state == ImageState::Present && !farEndHolds(image))
            appendFormat(out,
                         "%s: farEnd %04X, the other images' %04X: an image of another build\n",
                         ImageNames[i], image.farEnd, image.expectedFarEnd);
    }
}

// Temporaries of an interrupted splitter run beside the images, on one line.
void appendTemporaries(std::string& out, const char* side, const Inspection& inspection) {
    if (inspection.temporaries.empty())
        return;
    out += side;
    out += "temporaries of an interrupted Tessan run:";
    for (std::size_t i = 0; i < inspection.temporaries.size(); ++i)
        out += (i ? ", " : " ") + inspection.temporaries[i];
    out += ". The set may mix two builds; a new Tessan run makes it whole.\n";
}

void appendValidity(std::string& out, const Inspection& inspection) {
    const int bad = badImageCount(inspection);
    if (bad == 0 && !inspection.temporaries.empty())
        out += "all seventeen images valid, but the set may mix two builds\n";
    else if (bad == 0)
        out += "all seventeen images valid\n";
    else
        appendFormat(out, "%d of seventeen images bad\n", bad);
}

const char* kindText(const Inspection& inspection) {
    return inspection.joined ? "joined file" : "folder";
}

void appendSizeCell(std::string& out, const ImageRecord& image) {
    if (image.state == ImageState::Missing)
        out += "missing   ";
    else
        out += hex8(image.size) + "  ";
}

void appendDataCheckCell(std::string& out, const ImageRecord& image) {
    if (image.state == ImageState::Present)
        appendFormat(out, "%04X           ", image.stored[FieldDataCheck]);
    else
        out += "-              ";
}

void appendDifference(std::string& out, const ImageComparison& comparison) {
    if (comparison.same)
        out += "same\n";
    else if (!comparison.bothHold)
        out += "-\n";
    else
        out += hex8(comparison.firstDifference) + "\n";
}

void appendEndPartComparison(std::string& out, const Inspection& before, const Inspection& after) {
    out += "PLC_ENDP      ";
    for (const Inspection* side : {&before, &after}) {
        if (side->hasEndPart)
            out += hex8(side->endSize) + "  ";
        else
            out += "missing   ";
    }
    out += "-              -              ";
    appendDifference(out, compareEndParts(before, after));
}

} // namespace

std::string formatTable(const Inspection& inspection) {
    std::string out;
    appendFormat(out, "\n%s: %s\n", inspection.joined ? "Joined file" : "Folder",
                 inspection.path.c_str());
    out += "Numbers are hexadecimal.\n\n";
    out += inspection.joined ? "Image         Offset    Size      " : "Image         Size      ";
    out += "fileLength     headerCheck    dataLength     dataCheck      dataOffset     farEnd\n";
    for (int i = 0; i < ImageCount; ++i)
        appendImageRow(out, inspection, i);
    if (inspection.joined) {
        if (inspection.hasEndPart)
            appendFormat(out, "PLC_ENDP      %s  %s\n", hex8(inspection.endOffset).c_str(),
                         hex8(inspection.endSize).c_str());
        else
            out += "PLC_ENDP      missing\n";
    }
    out += '\n';
    appendFarEndNotes(out, inspection);
    appendTemporaries(out, "", inspection);
    appendValidity(out, inspection);
    return out;
}

std::string formatComparisonTable(const Inspection& before, const Inspection& after) {
    std::string out;
    appendFormat(out, "\nOld %s: %s\n", kindText(before), before.path.c_str());
    appendFormat(out, "New %s: %s\n", kindText(after), after.path.c_str());
    out += "Numbers are hexadecimal.\n\n";
    out += "Image         Old size  New size  Old dataCheck  New dataCheck  First difference\n";
    int differing = 0;
    for (int i = 0; i < ImageCount; ++i) {
        const ImageRecord& old = before.images[i];
        const ImageRecord& young = after.images[i];
        appendFormat(out, "%-12s  ", ImageNames[i]);
        appendSizeCell(out, old);
        appendSizeCell(out, young);
        appendDataCheckCell(out, old);
        appendDataCheckCell(out, young);
        const ImageComparison comparison = compareImages(old, young);
        appendDifference(out, comparison);
        differing += comparison.same ? 0 : 1;
    }
    if (before.joined && after.joined)
        appendEndPartComparison(out, before, after);
    out += '\n';
    if (differing == 0)
        out += "no image differs\n";
    else
        appendFormat(out, "%d of seventeen images %s\n", differing,
                     differing == 1 ? "differs" : "differ");
    appendTemporaries(out, "Old: ", before);
    appendTemporaries(out, "New: ", after);
    out += "Old: ";
    appendValidity(out, before);
    out += "New: ";
    appendValidity(out, after);
    return out;
}

} // namespace plcinfo
