#include "StoreBytes.h"
#include "schemes/StoreFormat.h"
#include "schemes/TextCodec.h"

#include <gtest/gtest.h>

#include <list>

using namespace varnetto;
using varnetto::testing::StoreBytes;

namespace {

struct FieldCounter {
    int texts = 0, ints = 0, floats = 0;
    void operator()(const char*, const std::string&) { ++texts; }
    void operator()(const char*, std::int32_t) { ++ints; }
    void operator()(const char*, float) { ++floats; }
    template <class T, size_t N>
    void operator()(const char* name, const std::array<T, N>& values) {
        for (const T& v : values) (*this)(name, v);
    }
};

}  // namespace

TEST(SchemeRecord, HasTheStoredFieldsOfEachKind) {
    FieldCounter counter;
    const Scheme fresh;
    visitSchemeFields(fresh, counter);
    EXPECT_EQ(counter.texts, 27);
    EXPECT_EQ(counter.ints, 65);
    EXPECT_EQ(counter.floats, 5);
}

TEST(SchemeRecord, NewRecordIs307BytesAndReadsBackWithItsDefaults) {
    std::list<Scheme> one(1);
    const std::string bytes = writeStoreBytes(SchemeListHeader{}, one);
    // 9 ints + 5 empty texts + count = 36 + 5 + 4 bytes of header.
    ASSERT_EQ(bytes.size(), 45 + kEmptySchemeRecordSize);

    const StoreContents read = readStoreBytes(bytes);
    ASSERT_TRUE(read.complete);
    ASSERT_EQ(read.schemes.size(), 1u);
    const Scheme& s = read.schemes.front();
    EXPECT_EQ(s, Scheme{});
    EXPECT_FLOAT_EQ(s.stampPosX, 0.5f);
    EXPECT_FLOAT_EQ(s.stampPosY, 0.5f);
    EXPECT_EQ(s.flipDirection, 2);
    EXPECT_EQ(s.outputFormat, 2);
    EXPECT_EQ(s.resizeIncludesBorder, 1);
    EXPECT_EQ(read.header, SchemeListHeader{});
    EXPECT_EQ(read.header.ints[0], 2000);
    EXPECT_EQ(read.header.ints[3], 2000);
}

TEST(SchemeRecord, FieldsLandAtTheirStorageOffsets) {
    const std::string bytes = StoreBytes().header().i32(1).scheme("A", "", 1000).str();
    const StoreContents read = readStoreBytes(bytes);
    ASSERT_TRUE(read.complete);
    const Scheme& s = read.schemes.front();
    EXPECT_EQ(s.outputFolder, "/out");
    EXPECT_EQ(s.namingMode, 1);
    EXPECT_EQ(s.renamePrefix, "Img");
    EXPECT_EQ(s.renameStartNumber, 1000);
    EXPECT_EQ(s.tiffCompression, 1010);
    EXPECT_EQ(s.textEnabled, 1011);
    EXPECT_EQ(s.fontSize, 120);
    EXPECT_EQ(s.fontFace, "Arial");
    EXPECT_EQ(s.fontCharset, 1100);
    EXPECT_EQ(s.textColor, 1106);
    EXPECT_FLOAT_EQ(s.textPosX, 0.25f);
    EXPECT_FLOAT_EQ(s.textPosY, 0.75f);
    EXPECT_EQ(s.borderEnabled, 1);
    EXPECT_EQ(s.borderName, "Gold");
    EXPECT_EQ(s.borderKind, 0);
    EXPECT_EQ(s.borderInner, 1);
    EXPECT_EQ(s.stampKind, 3);
    EXPECT_EQ(s.stampName, "Seal");
    EXPECT_EQ(s.stampFile, "seal.bmp");
    EXPECT_FLOAT_EQ(s.stampPosY, 0.125f);
    EXPECT_EQ(s.enhanceEnabled, 1200);
    EXPECT_EQ(s.rotateEnabled, 1218);
    EXPECT_FLOAT_EQ(s.rotateAngle, -90.0f);
    EXPECT_EQ(s.flipEnabled, 1300);
    EXPECT_EQ(s.effectType, 1308);
    EXPECT_EQ(s.reservedInts[0], 1309);
    EXPECT_EQ(s.reservedInts[9], 1318);
}

TEST(StoreText, LengthPrefixesSwitchAtTheirLimits) {
    struct Case {
        size_t length;
        std::string prefix;
    };
    const Case cases[] = {
        {0, std::string("\x00", 1)},
        {254, "\xFE"},
        {255, std::string("\xFF\xFF\x00", 3)},
        {65533, "\xFF\xFD\xFF"},
        {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
        {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        SchemeListHeader header;
        header.texts[0] = std::string(c.length, 'x');
        const std::string bytes = writeStoreBytes(header, std::list<Scheme>{});
        ASSERT_GE(bytes.size(), 36 + c.prefix.size());
        EXPECT_EQ(bytes.substr(36, c.prefix.size()), c.prefix);
        const StoreContents read = readStoreBytes(bytes);
        ASSERT_TRUE(read.complete);
        EXPECT_EQ(read.header.texts[0], header.texts[0]);
    }
}

TEST(StoreText, ChineseTextsAreGbkOnDiskAndUtf8InMemory) {
    const std::string gbkName = "\xCD\xF8\xD2\xB3\xB7\xA2\xB2\xBC";  // 网页发布
    const std::string bytes = StoreBytes().header().i32(1).scheme(gbkName).str();
    const StoreContents read = readStoreBytes(bytes);
    ASSERT_EQ(read.schemes.size(), 1u);
    EXPECT_EQ(read.schemes[0].name, "网页发布");
    EXPECT_EQ(utf8ToGb18030("网页发布"), gbkName);
    // Characters outside GBK survive through GB18030's four-byte forms.
    EXPECT_EQ(gb18030ToUtf8(utf8ToGb18030("emoji 📷 ok")), "emoji 📷 ok");
}

TEST(StoreText, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(gb18030ToUtf8("a\xFF"
                            "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(gb18030ToUtf8("end\x81"), "end\xEF\xBF\xBD");  // lead byte without its trail
    EXPECT_EQ(gb18030ToUtf8("\x80"), "€") << "GBK's one-byte euro sign";
    EXPECT_EQ(utf8ToGb18030("bad\xC3"), "bad?");
}

TEST(StoreDamage, TruncationAnywhereKeepsTheSchemesReadWhole) {
    const std::string full =
        StoreBytes().header().i32(3).scheme("one").scheme("two").scheme("six").str();
    const size_t headerSize = 36 + 5 + 4;
    const size_t recordSize = (full.size() - headerSize) / 3;
    for (size_t cut = 1; cut < full.size(); ++cut) {
        const StoreContents read = readStoreBytes(std::string_view(full).substr(0, cut));
        ASSERT_FALSE(read.complete) << cut;
        const size_t whole = cut < headerSize ? 0 : (cut - headerSize) / recordSize;
        ASSERT_EQ(read.schemes.size(), whole) << cut;
        EXPECT_EQ(read.headerRead, cut >= headerSize) << cut;
    }
    EXPECT_TRUE(readStoreBytes(full).complete);
}

TEST(StoreDamage, AbsurdCountsAndLengthsAllocateNothingAndStop) {
    // Announces two billion schemes but holds one.
    const StoreContents many =
        readStoreBytes(StoreBytes().header().i32(0x7FFFFFFF).scheme("only").str());
    EXPECT_FALSE(many.complete);
    ASSERT_EQ(many.schemes.size(), 1u);
    EXPECT_EQ(many.schemes[0].name, "only");

    const StoreContents negative = readStoreBytes(StoreBytes().header().i32(-1).str());
    EXPECT_FALSE(negative.complete);
    EXPECT_TRUE(negative.schemes.empty());

    // A text announcing 4 GiB in a file of a few bytes.
    const std::string hugeText = StoreBytes().header().i32(1).u8(0xFF).u16(0xFFFF).i32(-1).str();
    const StoreContents huge = readStoreBytes(hugeText);
    EXPECT_FALSE(huge.complete);
    EXPECT_TRUE(huge.schemes.empty());

    // The wide-text marker never appears in this format.
    const StoreContents wide =
        readStoreBytes(StoreBytes().header().i32(1).u8(0xFF).u16(0xFFFE).str());
    EXPECT_FALSE(wide.complete);
}
