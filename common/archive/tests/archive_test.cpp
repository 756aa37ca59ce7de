#include "common/archive/archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/ansi_text.h"

namespace qd40::archive {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Archive, NumbersAreLittleEndian) {
    Writer w;
    w.writeU16(0x1234);
    w.writeI32(-2);
    w.writeF64(1.5);
    const Bytes expected = {0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
    EXPECT_EQ(w.data(), expected);
    Reader r(w.data());
    EXPECT_EQ(r.readU16(), 0x1234);
    EXPECT_EQ(r.readI32(), -2);
    EXPECT_EQ(r.readF64(), 1.5);
    EXPECT_TRUE(r.atEnd());
}

TEST(Archive, StringLengthPrefixesFollowTheTextLength) {
    struct Case {
        size_t length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        const std::string text(c.length, 'a');
        Writer w;
        w.writeString(text);
        ASSERT_EQ(w.data().size(), c.prefix.size() + c.length) << c.length;
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), w.data().begin())) << c.length;
        Reader r(w.data());
        EXPECT_EQ(r.readString(), text);
        EXPECT_TRUE(r.atEnd());
    }
}

TEST(Archive, EightBitTextsAreWindows1252AndOtherTextsUtf16) {
    // "°C" and "€" have 8-bit forms: stored in one byte each.
    Writer w;
    w.writeString(
        "\xC2\xB0"
        "C \xE2\x82\xAC");
    EXPECT_EQ(w.data(), (Bytes{4, 0xB0, 'C', ' ', 0x80}));

    // A text outside the 8-bit set is stored as UTF-16, marker 0xFF 0xFFFE.
    Writer w2;
    w2.writeString("\xCE\xA9\xF0\x9F\x98\x80");  // U+03A9 and U+1F600 (a surrogate pair)
    EXPECT_EQ(w2.data(), (Bytes{0xFF, 0xFE, 0xFF, 3, 0xA9, 0x03, 0x3D, 0xD8, 0x00, 0xDE}));
    Reader r(w2.data());
    EXPECT_EQ(r.readString(), "\xCE\xA9\xF0\x9F\x98\x80");

    // A UTF-16 text written by another program: "Ab" and an unpaired surrogate.
    const Bytes foreign = {0xFF, 0xFE, 0xFF, 3, 'A', 0, 'b', 0, 0x00, 0xD8};
    Reader r2(foreign);
    EXPECT_EQ(r2.readString(), "Ab\xEF\xBF\xBD");
    EXPECT_TRUE(r2.atEnd());
}

TEST(Archive, EveryByteSurvivesThe8BitRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = text::ansiToUtf8(all);
    EXPECT_EQ(text::utf8ToAnsiExact(utf8), all);
    EXPECT_EQ(text::utf8ToAnsi("x\xCE\xA9y"), "x?y");
}

TEST(Archive, CountsUseAShortFormBelow0xFFFF) {
    Writer w;
    w.writeCount(0xFFFE);
    w.writeCount(0xFFFF);
    EXPECT_EQ(w.data(), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
    Reader r(w.data());
    EXPECT_EQ(r.readCount(0), 0xFFFEu);
    EXPECT_EQ(r.readCount(0), 0xFFFFu);
}

TEST(Archive, ObjectsAreTaggedByClassFirstAndByIndexAfterwards) {
    Writer w;
    EXPECT_EQ(w.writeObjectTag("CExplBloc", 0), 2u);  // class takes index 1, object 2
    w.writeU8(0xAA);
    EXPECT_EQ(w.writeObjectTag("CExplBloc", 0), 3u);
    EXPECT_EQ(w.writeObjectTag("COther", 7), 5u);
    w.writeObjectReference(3);
    w.writeNullObject();
    const Bytes expected = {0xFF, 0xFF, 0x00, 0x00, 9,    0,    'C',  'E',  'x', 'p', 'l', 'B',
                            'l',  'o',  'c',  0xAA, 0x01, 0x80, 0xFF, 0xFF, 7,   0,   6,   0,
                            'C',  'O',  't',  'h',  'e',  'r',  3,    0,    0,   0};
    EXPECT_EQ(w.data(), expected);

    using Kind = Reader::ObjectTag::Kind;
    Reader r(w.data());
    auto t = r.readObjectTag();
    EXPECT_EQ(t.kind, Kind::New);
    EXPECT_EQ(t.className, "CExplBloc");
    EXPECT_EQ(t.index, 2u);
    EXPECT_EQ(r.readU8(), 0xAA);
    r.expectNewObject("CExplBloc", 0);
    t = r.readObjectTag();
    EXPECT_EQ(t.className, "COther");
    EXPECT_EQ(t.schema, 7);
    t = r.readObjectTag();
    EXPECT_EQ(t.kind, Kind::Reference);
    EXPECT_EQ(t.index, 3u);
    EXPECT_EQ(r.readObjectTag().kind, Kind::Null);
    EXPECT_TRUE(r.atEnd());
}

TEST(Archive, LargeIndexesUseTheBigTag) {
    Writer w;
    for (int i = 0; i < 0x8000; ++i)
        w.writeObjectTag(i == 0 ? "A" : "B", 0);
    const size_t mark = w.data().size();
    w.writeObjectTag("A", 0);  // class A has index 1: short tag
    w.writeObjectReference(0x7FFF);
    EXPECT_EQ(Bytes(w.data().begin() + mark, w.data().end()),
              (Bytes{0x01, 0x80, 0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x00}));
    Reader r(w.data());
    for (int i = 0; i < 0x8001; ++i)
        r.readObjectTag();
    EXPECT_EQ(r.readObjectTag().index, 0x7FFFu);
}

TEST(Archive, BadInputGivesAnErrorNeverAHugeAllocation) {
    const std::vector<Bytes> cases = {
        {0x01},                                                  // truncated number
        {0x05, 'a', 'b'},                                        // text shorter than its length
        {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0x7F},              // 2 GB text in a few bytes
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},  // 2 G UTF-16 units
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x00},              // marker twice
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},              // 64-bit length form
    };
    for (const Bytes& c : cases) {
        Reader r(c);
        EXPECT_THROW(r.readString(), ArchiveError) << ::testing::PrintToString(c);
    }
    const Bytes hugeCount = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};
    Reader rc(hugeCount);
    EXPECT_THROW(rc.readCount(24), ArchiveError);

    const std::vector<Bytes> tags = {
        {0x01, 0x80},                          // unknown class index
        {0x05, 0x00},                          // unknown object index
        {0xFF, 0xFF, 0, 0, 0, 0},              // empty class name
        {0xFF, 0xFF, 0, 0, 200, 0, 'A'},       // overlong class name
        {0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80},  // big tag of an unknown class
    };
    for (const Bytes& c : tags) {
        Reader r(c);
        EXPECT_THROW(r.readObjectTag(), ArchiveError) << ::testing::PrintToString(c);
    }
    // A reference to a class where an object is expected.
    Writer w;
    w.writeObjectTag("A", 0);
    w.writeU16(0x0001);
    Reader r(w.data());
    r.readObjectTag();
    EXPECT_THROW(r.readObjectTag(), ArchiveError);
    Reader r2(w.data());
    EXPECT_THROW(r2.expectNewObject("B", 0), ArchiveError);
    Reader r3(w.data());
    EXPECT_THROW(r3.expectNewObject("A", 1), ArchiveError);
}

TEST(Archive, EveryTruncationOfAValidArchiveIsAnError) {
    Writer w;
    w.writeObjectTag("Cls", 1);
    w.writeString(std::string(300, 'x'));
    w.writeString("\xCE\xA9");
    w.writeCount(70000);
    w.writeF64(2.0);
    for (size_t n = 0; n < w.data().size(); ++n) {
        Reader r(std::span(w.data().data(), n));
        EXPECT_THROW(
            {
                r.readObjectTag();
                r.readString();
                r.readString();
                r.readCount(0);
                r.readF64();
            },
            ArchiveError)
            << n;
    }
}

}  // namespace
}  // namespace qd40::archive
