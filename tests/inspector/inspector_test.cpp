// The inspector's stages in memory: header checks on known vectors, finding images in a
// joined file when lengths wrap or fields are damaged, byte comparison, JSON strings and the
// digests a page names its style and script by, the JSON writer's depth.
#include "common/html_writer.h"
#include "common/markdown_writer.h"
#include "common/sha256.h"
#include "image_files.h"
#include "images/image_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plcinfo;

namespace {

using imagefiles::setWord;

// A valid image of `size` bytes (at least 32) whose bytes depend on `seed` and differ from
// their neighbours, so that a field read at a wrong offset reads something else. The header
// fields are placed by the image support's own offsets, not the inspector's.
std::string makeImage(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + seed * 29 + i / 251) & 0xFF);
    return imagefiles::buildImage(bytes.substr(0, 32), bytes.substr(32), 0x1200 + seed);
}

const unsigned char* bytesOf(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Seventeen images of the given sizes (the far image second) and an end part.
std::string joinImages(std::size_t farSize, std::string& end) {
    std::string joined = makeImage(300, 0) + makeImage(farSize, 1);
    for (unsigned i = 2; i < 17; ++i)
        joined += makeImage(40 + i, i);
    end = "PLC_ENDP part";
    return joined + end;
}

bool allValidBut(const Inspection& inspection, int bad) {
    for (int i = 0; i < ImageCount; ++i) {
        if (imageValid(inspection.images[i]) != (i != bad))
            return false;
    }
    return true;
}

TEST(ImageCheck, KnownVectors) {
    // A header of the bytes 0 to 31 in order, then 300 bytes of 255: each field reads the two
    // bytes at its own offset, and the data's sum wraps to 10964.
    std::string full;
    for (int i = 0; i < 32; ++i)
        full += static_cast<char>(i);
    full += std::string(300, '\xFF');
    ImageRecord record;
    checkImage(bytesOf(full), full.size(), record);
    EXPECT_EQ(record.state, ImageState::Present);
    EXPECT_EQ(record.stored[FieldFileLength], 0x0D0C);
    EXPECT_EQ(record.stored[FieldHeaderCheck], 0x0F0E);
    EXPECT_EQ(record.farEnd, 0x1615);
    EXPECT_EQ(record.stored[FieldDataLength], 0x1918);
    EXPECT_EQ(record.stored[FieldDataCheck], 0x1B1A);
    EXPECT_EQ(record.stored[FieldDataOffset], 0x1D1C);
    EXPECT_EQ(record.expected[FieldFileLength], 332);
    EXPECT_EQ(record.expected[FieldHeaderCheck], 8 + 9 + 10 + 11 + 12 + 13);
    EXPECT_EQ(record.expected[FieldDataLength], 300);
    EXPECT_EQ(record.expected[FieldDataCheck], 10964);
    EXPECT_EQ(record.expected[FieldDataOffset], 32);

    // A header alone is valid; fewer than 32 bytes are cut short.
    std::string bare = makeImage(32, 3);
    checkImage(bytesOf(bare), bare.size(), record);
    EXPECT_TRUE(imageValid(record));
    checkImage(bytesOf(bare), 31, record);
    EXPECT_EQ(record.state, ImageState::CutShort);

    // A dataOffset other than 32 is reported, though nothing else is wrong.
    setWord(bare, 28, 0x40); // dataOffset
    checkImage(bytesOf(bare), bare.size(), record);
    EXPECT_FALSE(fieldHolds(record, FieldDataOffset));
    EXPECT_FALSE(imageValid(record));
}

TEST(JoinedFile, LongFarImageIsTakenWhereItsDataCheckHolds) {
    std::string end;
    const std::string joined = joinImages(0x2A000, end); // two wraps beyond fileLength 0xA000
    Inspection inspection;
    splitJoinedFile(bytesOf(joined), joined.size(), inspection);
    EXPECT_TRUE(allValidBut(inspection, -1));
    EXPECT_EQ(inspection.images[1].size, 0x2A000u);
    EXPECT_EQ(inspection.images[1].wraps, 2u);
    EXPECT_EQ(inspection.images[1].reason, LengthReason::DataCheckHolds);
    EXPECT_EQ(inspection.images[1].farEnd, 0x1201);
    EXPECT_EQ(inspection.images[2].offset, 300u + 0x2A000u);
    ASSERT_TRUE(inspection.hasEndPart);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(inspection.endBytes), inspection.endSize),
              end);
}

TEST(JoinedFile, DamagedLengthFieldLosesNoImageBehindIt) {
    std::string end;
    const std::string good = joinImages(500, end);
    const std::size_t third = 300 + 500;

    // fileLength of the third image damaged: dataLength + 32 still gives its length.
    std::string joined = good;
    joined[third + 12] = 0x7F; // fileLength
    Inspection inspection;
    splitJoinedFile(bytesOf(joined), joined.size(), inspection);
    EXPECT_TRUE(allValidBut(inspection, 2));
    EXPECT_EQ(inspection.images[2].base, LengthBase::DataLength);
    EXPECT_FALSE(fieldHolds(inspection.images[2], FieldFileLength));
    EXPECT_EQ(inspection.images[2].expected[FieldFileLength], 42);
    EXPECT_TRUE(inspection.hasEndPart);

    // The data damaged as well: the next image's header shows where it ends.
    joined[third + 35] ^= 0x01;
    Inspection guessed;
    splitJoinedFile(bytesOf(joined), joined.size(), guessed);
    EXPECT_TRUE(allValidBut(guessed, 2));
    EXPECT_EQ(guessed.images[2].reason, LengthReason::NextHeaderFollows);
    EXPECT_EQ(guessed.images[2].size, 42u);

    // Behind the last image there is no next header: its stored length is taken.
    joined = good;
    const std::size_t last = good.size() - end.size() - 56;
    joined[last + 40] ^= 0x01;
    Inspection tail;
    splitJoinedFile(bytesOf(joined), joined.size(), tail);
    EXPECT_TRUE(allValidBut(tail, 16));
    EXPECT_EQ(tail.images[16].reason, LengthReason::ShortestFit);
    EXPECT_EQ(tail.endSize, end.size());
}

TEST(Comparison, ShorterImageDiffersWhereItEnds) {
    const std::string a = "abcdef";
    EXPECT_TRUE(compareBytes(bytesOf(a), 6, bytesOf(a), 6).same);
    const ImageComparison prefix = compareBytes(bytesOf(a), 6, bytesOf(a), 4);
    EXPECT_FALSE(prefix.same);
    EXPECT_EQ(prefix.firstDifference, 4u);
}

TEST(Escaping, JsonPageAndMarkdownTextEscapeWhatTheyForbidAndKeepUtf8) {
    const auto jsonString = [](std::string_view text) {
        std::string out;
        appendJsonString(out, text);
        return out;
    };
    EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(jsonString(std::string("\n\0\x7F", 3)), "\"\\u000A\\u0000\\u007F\"");
    EXPECT_EQ(jsonString("Pr\xC3\xBC"
                         "fstand"),
              "\"Pr\xC3\xBC"
              "fstand\"");
    // 8-bit text that is no UTF-8 (a lone Latin-1 letter, a cut sequence, an overlong one).
    EXPECT_EQ(jsonString("Pr\xFC"
                         "f"),
              "\"Pr\\u00FCf\"");
    EXPECT_EQ(jsonString("\xE2\x82"), "\"\\u00E2\\u0082\"");
    EXPECT_EQ(jsonString("\xC0\xAF"), "\"\\u00C0\\u00AF\"");
    // A page takes the same bytes for UTF-8: an overlong three-byte form and a surrogate are
    // escaped byte by byte, a four-byte character passes.
    EXPECT_EQ(htmlEscape("\xE0\x80\xAF\xED\xA0\x80\xF0\x9F\x98\x80"),
              "\\xE0\\x80\\xAF\\xED\\xA0\\x80\xF0\x9F\x98\x80");
    // In a page's script block "<" is escaped too; in a page's text, markup's five characters.
    EXPECT_EQ(jsonString("a<b"), "\"a<b\"");
    std::string script;
    appendJsonString(script, "a</script>\"<\x01", true);
    EXPECT_EQ(script, "\"a\\u003C/script>\\\"\\u003C\\u0001\"");
    EXPECT_EQ(htmlEscape("<a href='x'>&\"\x01\xC3\xBC~"),
              "&lt;a href=&#39;x&#39;&gt;&amp;&quot;\\x01\xC3\xBC~");
    // A Markdown summary: markup escaped, UTF-8 kept, other bytes of 0x80 and above as \xNN.
    EXPECT_EQ(markdownText("*Pr\xC3\xBC"
                           "f* Pr\xFC"
                           "f \xE2\x82 \xF0\x9F\x98\x80<\x7F"),
              "\\*Pr\xC3\xBC"
              "f\\* Pr\\xFCf \\xE2\\x82 \xF0\x9F\x98\x80&lt;\\x7F");
    // A table wider than a mask's 32 bits keeps each column's alignment.
    const std::vector<const char*> titles(40, "t");
    std::vector<bool> right(40, false);
    right[0] = right[33] = true;
    std::string head;
    markdownTableHead(head, titles.data(), 40, right);
    std::string rule = "|";
    for (int i = 0; i < 40; ++i)
        rule += i == 0 || i == 33 ? "---:|" : "---|";
    EXPECT_EQ(head.substr(head.find('\n') + 1), rule + "\n");
}

// SHA-256 on the published vectors (none, one, two blocks: 55 bytes leave room for the length,
// 56 do not, 64 fill a block), base64 on 0 to 3 bytes; then a page names the digests of the
// very style and script it holds.
TEST(PageDigests, KnownVectorsAndThePageHoldsWhatItsPolicyNames) {
    const auto hex = [](std::string_view text) {
        std::string out;
        for (const unsigned char byte : sha256(text)) {
            out += "0123456789abcdef"[byte >> 4];
            out += "0123456789abcdef"[byte & 15];
        }
        return out;
    };
    EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
    const char* const base64[] = {"", "Zg==", "Zm8=", "Zm9v"};
    for (int size = 0; size <= 3; ++size) {
        std::string out;
        appendBase64(out, bytesOf("foo"), static_cast<std::size_t>(size));
        EXPECT_EQ(out, base64[size]);
    }

    std::string page;
    htmlBeginPage(page, "t");
    htmlEndPage(page);
    const auto block = [&](const std::string& open, const std::string& close) {
        const std::size_t begin = page.find(open) + open.size();
        return page.substr(begin, page.find(close, begin) - begin);
    };
    const auto source = [](const std::string& text) {
        const Sha256Digest digest = sha256(text);
        std::string out = "'sha256-";
        appendBase64(out, digest.data(), digest.size());
        return out + "'";
    };
    const std::string style = block("<style>", "</style>");
    const std::string script = block("<script>", "</script>");
    EXPECT_GT(style.size(), 1000u);
    EXPECT_GT(script.size(), 1000u);
    EXPECT_NE(page.find("style-src " + source(style) + "; script-src " + source(script) + ";"),
              std::string::npos);
}

// The JSON writer holds MaxDepth levels. One more is a report's fault: an assertion in a
// debug build, else a refused document, never members written into the wrong level.
TEST(JsonWriter, HoldsItsDepthAndRefusesOneMore) {
    const auto nested = [](int levels, bool& whole) {
        std::string out;
        JsonWriter w{out};
        w.compact = true;
        for (int level = 0; level < levels; ++level)
            jsonBeginArray(w);
        jsonNumber(w, 1);
        whole = jsonEndDocument(w);
        return out;
    };
    bool whole = false;
    const std::string deepest = nested(JsonWriter::MaxDepth, whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(deepest, std::string(JsonWriter::MaxDepth, '[') + "1" +
                           std::string(JsonWriter::MaxDepth, ']') + "\n");
    EXPECT_DEBUG_DEATH(nested(JsonWriter::MaxDepth + 1, whole), "deeper than its writer holds");
#ifdef NDEBUG
    EXPECT_FALSE(whole);
#endif
}

} // namespace
