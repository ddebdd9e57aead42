// The same facts as the tables, as one JSON document: names and words as strings, numbers
// as numbers, checks as booleans. One image per line, so that a diff of two documents reads
// image by image.
#include "common/json_writer.h"
#include "image_set.h"

namespace plcinfo {

namespace {

// Indexed by ImageState and by LengthReason.
const char* const StateWords[] = {"missing", "cut short", "present"};
const char* const ReasonWords[] = {"dataCheck holds", "next header follows", "shortest fit"};

const char* stateWord(ImageState state) {
    return StateWords[static_cast<int>(state)];
}

const char* reasonWord(LengthReason reason) {
    return ReasonWords[static_cast<int>(reason)];
}

// Folder: the temporaries of an interrupted splitter run, only when there are any.
void writeTemporaries(JsonWriter& w, const Inspection& inspection) {
    if (inspection.temporaries.empty())
        return;
    jsonKey(w, "temporaries");
    jsonBeginArray(w);
    for (const std::string& name : inspection.temporaries)
        jsonText(w, name);
    jsonEnd(w);
}

void fieldsObject(JsonWriter& w, const std::uint16_t* values) {
    for (int field = 0; field < CheckedFieldCount; ++field)
        jsonMemberNumber(w, CheckedFieldNames[field], values[field]);
}

void writeImage(JsonWriter& w, const Inspection& inspection, int index) {
    const ImageRecord& image = inspection.images[index];
    jsonBeginObject(w);
    jsonMember(w, "name", ImageNames[index]);
    jsonMember(w, "state", stateWord(image.state));
    jsonMemberBool(w, "valid", imageValid(image));
    if (!inspection.joined && !inspection.imagePaths[index].empty())
        jsonMember(w, "file", inspection.imagePaths[index]);
    if (image.state == ImageState::Missing) {
        jsonEnd(w);
        return;
    }
    if (inspection.joined)
        jsonMemberNumber(w, "offset", static_cast<std::int64_t>(image.offset));
    jsonMemberNumber(w, "size", static_cast<std::int64_t>(image.size));
    if (image.state == ImageState::CutShort) {
        jsonMemberNumber(w, "needed", static_cast<std::int64_t>(image.needed));
        jsonEnd(w);
        return;
    }
    fieldsObject(w, image.stored);
    jsonMemberNumber(w, "farEnd", image.farEnd);
    jsonKey(w, "checks");
    jsonBeginObject(w);
    for (int field = 0; field < CheckedFieldCount; ++field)
        jsonMemberBool(w, CheckedFieldNames[field],
                       fieldHolds(image, static_cast<CheckedField>(field)));
    jsonMemberBool(w, "farEnd", farEndHolds(image));
    jsonEnd(w);
    jsonKey(w, "expected");
    jsonBeginObject(w);
    fieldsObject(w, image.expected);
    jsonMemberNumber(w, "farEnd", image.expectedFarEnd);
    jsonEnd(w);
    if (inspection.joined) {
        jsonKey(w, "sizeTaken");
        jsonBeginObject(w);
        jsonMember(w, "from", image.base == LengthBase::FileLength ? "fileLength" : "dataLength");
        jsonMemberNumber(w, "wraps", image.wraps);
        jsonMember(w, "by", reasonWord(image.reason));
        jsonEnd(w);
    }
    std::string_view comment;
    if (index == 0 && makeFileComment(inspection, comment))
        jsonMember(w, "comment", comment);
    jsonEnd(w);
}

const char* kindWord(const Inspection& inspection) {
    return inspection.joined ? "joined file" : "folder";
}

void writeSideSummary(JsonWriter& w, const char* key, const Inspection& inspection) {
    const int bad = badImageCount(inspection);
    jsonKey(w, key);
    jsonBeginObject(w);
    jsonMember(w, "path", inspection.path);
    jsonMember(w, "kind", kindWord(inspection));
    jsonMemberNumber(w, "badImages", bad);
    writeTemporaries(w, inspection);
    jsonMemberBool(w, "valid", imagesValid(inspection));
    jsonEnd(w);
}

void writeSideImage(JsonWriter& w, const char* key, const ImageRecord& image) {
    jsonKey(w, key);
    jsonBeginObject(w);
    jsonMember(w, "state", stateWord(image.state));
    if (image.state != ImageState::Missing)
        jsonMemberNumber(w, "size", static_cast<std::int64_t>(image.size));
    if (image.state == ImageState::Present)
        jsonMemberNumber(w, "dataCheck", image.stored[FieldDataCheck]);
    jsonEnd(w);
}

void writeFirstDifference(JsonWriter& w, const ImageComparison& comparison) {
    jsonKey(w, "firstDifference");
    if (comparison.same || !comparison.bothHold)
        jsonNull(w);
    else
        jsonNumber(w, static_cast<std::int64_t>(comparison.firstDifference));
}

void writeEndPartSide(JsonWriter& w, const char* key, const Inspection& inspection) {
    jsonKey(w, key);
    if (!inspection.hasEndPart) {
        jsonNull(w);
        return;
    }
    jsonBeginObject(w);
    jsonMemberNumber(w, "size", static_cast<std::int64_t>(inspection.endSize));
    jsonEnd(w);
}

} // namespace

bool formatJson(const Inspection& inspection, std::string& out) {
    JsonWriter w{out};
    jsonBeginDocument(w);
    writeImagesJson(w, inspection);
    return jsonEndDocument(w);
}

void writeImagesJson(JsonWriter& w, const Inspection& inspection) {
    jsonMember(w, "path", inspection.path);
    jsonMember(w, "kind", kindWord(inspection));
    jsonKey(w, "images");
    jsonBeginArray(w, true);
    for (int i = 0; i < ImageCount; ++i)
        writeImage(w, inspection, i);
    jsonEnd(w);
    if (inspection.joined) {
        jsonKey(w, "endPart");
        if (inspection.hasEndPart) {
            jsonBeginObject(w);
            jsonMemberNumber(w, "offset", static_cast<std::int64_t>(inspection.endOffset));
            jsonMemberNumber(w, "size", static_cast<std::int64_t>(inspection.endSize));
            jsonEnd(w);
        } else {
            jsonNull(w);
        }
    }
    writeTemporaries(w, inspection);
    const int bad = badImageCount(inspection);
    jsonMemberNumber(w, "badImages", bad);
    jsonMemberBool(w, "valid", imagesValid(inspection));
}

bool formatComparisonJson(const Inspection& before, const Inspection& after, std::string& out) {
    JsonWriter w{out};
    jsonBeginDocument(w);
    writeImageComparisonJson(w, before, after);
    return jsonEndDocument(w);
}

void writeImageComparisonJson(JsonWriter& w, const Inspection& before, const Inspection& after) {
    writeSideSummary(w, "old", before);
    writeSideSummary(w, "new", after);
    jsonKey(w, "images");
    jsonBeginArray(w, true);
    int differing = 0;
    for (int i = 0; i < ImageCount; ++i) {
        const ImageComparison comparison = compareImages(before.images[i], after.images[i]);
        differing += comparison.same ? 0 : 1;
        jsonBeginObject(w);
        jsonMember(w, "name", ImageNames[i]);
        jsonMemberBool(w, "same", comparison.same);
        writeSideImage(w, "old", before.images[i]);
        writeSideImage(w, "new", after.images[i]);
        writeFirstDifference(w, comparison);
        jsonEnd(w);
    }
    jsonEnd(w);
    if (before.joined && after.joined) {
        const ImageComparison comparison = compareEndParts(before, after);
        jsonKey(w, "endPart");
        jsonBeginObject(w);
        jsonMemberBool(w, "same", comparison.same);
        writeEndPartSide(w, "old", before);
        writeEndPartSide(w, "new", after);
        writeFirstDifference(w, comparison);
        jsonEnd(w);
    }
    jsonMemberNumber(w, "differing", differing);
}

} // namespace plcinfo
