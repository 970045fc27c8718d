#include "ImagingFixtures.h"
#include "imaging/ImagingDetail.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <tuple>

namespace varnetto::testing {
namespace {

struct Ink {
    int left = 0, top = 0, width = 0, height = 0;
    double pixels = 0;  // amount of ink, in fully inked pixels
};

// Where a picture drawn on white differs from white.
Ink inkOf(const VImage& image) {
    const VImage darkness = 255 - image.colourspace(VIPS_INTERPRETATION_B_W)[0];
    Ink ink;
    ink.pixels = darkness.avg() * image.width() * image.height() / 255.0;
    const VImage mask = (darkness > 40).ifthenelse(0, 255).cast(VIPS_FORMAT_UCHAR);
    ink.left = mask.find_trim(
        &ink.top, &ink.width, &ink.height,
        VImage::option()->set("background", std::vector<double>{255})->set("threshold", 0.5));
    return ink;
}

VImage drawn(const std::string& text, const CaptionFont& font, std::uint32_t color = 0, int x = 10,
             int y = 10, bool transparent = true) {
    CImageBox box;
    box.CreateBlank(400, 200);
    box.SetFont(font);
    box.SetTextColor(color);
    box.SetTransparentText(transparent);
    box.DrawTextAt(x, y, text);
    return box.GetBitmap();
}

CaptionFont sized(double points) {
    CaptionFont font;
    font.points = points;
    return font;
}

TEST(Text, PointsAreRenderedAtNinetySixDpiFromTheGivenOrigin) {
    // A capital H of Liberation Sans is 0.729 em tall: 72 pt at 96 dpi is a
    // 96 px em, so about 70 px of ink (52 px at 72 dpi).
    const Ink big = inkOf(drawn("H", sized(72)));
    EXPECT_NEAR(big.height, 70, 4);
    const Ink small = inkOf(drawn("H", sized(36)));
    EXPECT_NEAR(small.height * 2, big.height, 3);
    // The ink starts just right of and below the drawing position.
    const Ink placed = inkOf(drawn("H", sized(36), 0, 50, 30));
    EXPECT_GE(placed.left, 50);
    EXPECT_LE(placed.left, 58);
    EXPECT_GE(placed.top, 30);
    EXPECT_LE(placed.top, 45);
}

// 500 characters at the largest size would be a surface of about a billion
// pixels; only what falls on the 800 x 600 picture is rendered, and a
// caption placed off the picture or partly above it draws what shows.
TEST(Text, ACaptionCostsNoMoreThanThePictureItFallsOn) {
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    for (const auto& [x, y, inked] :
         {std::tuple{-40, -300, true}, std::tuple{10, 10, true}, std::tuple{900, 10, false}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        CImageBox box;
        box.CreateBlank(800, 600);
        box.SetFont(sized(1000));
        box.SetTextColor(0);
        box.DrawTextAt(x, y, std::string(500, 'W'));
        const VImage image = box.GetBitmap();
        EXPECT_EQ(image.width(), 800);
        EXPECT_EQ(image.height(), 600);
        EXPECT_EQ(inkOf(image).pixels > 1000, inked);
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 400 * 1024) << "kilobytes";
}

TEST(Text, WeightItalicUnderlineAndStrikeOutShowInTheInk) {
    const CaptionFont plain = sized(28);
    const Ink regular = inkOf(drawn("face", plain));

    CaptionFont bold = plain;
    bold.weight = 700;
    EXPECT_GT(inkOf(drawn("face", bold)).pixels, regular.pixels * 1.2);

    CaptionFont italic = plain;
    italic.italic = true;
    const VImage slanted = drawn("IIII", italic);
    const VImage upright = drawn("IIII", plain);
    EXPECT_GT(meanDifference(slanted, upright), 0.5);
    EXPECT_GT(inkOf(slanted).width, inkOf(upright).width);

    CaptionFont underline = plain;
    underline.underline = true;
    const Ink under = inkOf(drawn("face", underline));
    EXPECT_GT(under.top + under.height, regular.top + regular.height) << "a line below the text";

    CaptionFont strike = plain;
    strike.strikeOut = true;
    const Ink struck = inkOf(drawn("face", strike));
    EXPECT_GT(struck.pixels, regular.pixels + regular.width * 0.8);
    EXPECT_LE(struck.top + struck.height, regular.top + regular.height + 1)
        << "the line crosses the letters";
}

TEST(Text, ColourIsBgrAndTheBackgroundStaysUnlessOpaque) {
    CImageBox box;
    box.PutBitmap(solid(200, 60, {0, 0, 0}));
    box.SetFont(sized(30));
    box.SetTextColor(0x000000FF);  // red in 0x00BBGGRR
    box.SetTransparentText(true);
    box.DrawTextAt(5, 5, "WWW");
    const VImage image = box.GetBitmap();
    EXPECT_EQ(image[0].max(), 255);
    EXPECT_LT(image[1].max(), 10);
    EXPECT_LT(image[2].max(), 10);
    EXPECT_EQ(pixel(image, 199, 59), (std::vector<int>{0, 0, 0}));

    box.PutBitmap(solid(200, 60, {0, 0, 0}));
    box.SetTransparentText(false);
    box.DrawTextAt(5, 5, "WWW");
    const VImage opaque = box.GetBitmap();
    const double whitePixels = (opaque == 255).bandand().avg() / 255 * 200 * 60;
    EXPECT_GT(whitePixels, 1000) << "text drawn on a white background";
    EXPECT_EQ(pixel(opaque, 199, 59), (std::vector<int>{0, 0, 0})) << "only behind the text";
}

TEST(Text, SeveralLinesChineseAndArial) {
    const CaptionFont font = sized(20);
    const Ink one = inkOf(drawn("Line", font));
    const Ink two = inkOf(drawn("Line\nLine", font));
    const Ink crlf = inkOf(drawn("Line\r\nLine", font));
    EXPECT_GT(two.height, one.height * 2);
    EXPECT_EQ(crlf.height, two.height);
    EXPECT_NEAR(two.width, one.width, 1);

    // "一" is one horizontal stroke: a real CJK glyph is wide and flat, a
    // missing-glyph box is not.
    const Ink stroke = inkOf(drawn("一", sized(40)));
    EXPECT_GT(stroke.width, stroke.height * 4);
    const Ink words = inkOf(drawn("中文图像", sized(20)));
    EXPECT_GT(words.width, words.height * 3);

    CaptionFont arial = sized(20);
    arial.face = "Arial";
    CaptionFont liberation = arial;
    liberation.face = "Liberation Sans";
    EXPECT_EQ(meanDifference(drawn("Arial face", arial), drawn("Arial face", liberation)), 0.0)
        << "Arial resolves to its metric twin";
    // A scheme that names no face draws as the editor's default does, not in
    // whatever fontconfig's generic family means on this machine.
    CaptionFont unnamed = arial;
    unnamed.face.clear();
    EXPECT_EQ(meanDifference(drawn("Arial face", unnamed), drawn("Arial face", arial)), 0.0);
}

TEST(Text, MarkupIsEscapedAndBlankTextDrawsNothing) {
    detail::TextStyle style;
    style.colorBgr = 0x00FF8000;
    const std::string markup = detail::textMarkup("<b>&\"x\"</b>", style);
    EXPECT_THAT(markup, ::testing::HasSubstr("&lt;b&gt;&amp;"));
    EXPECT_THAT(markup, ::testing::HasSubstr("#0080FF"));
    EXPECT_GT(inkOf(drawn("<b>&</b>", sized(20))).pixels, 0);
    // Text that is not valid UTF-8 still draws instead of failing.
    EXPECT_GT(inkOf(drawn("caf\xE9", sized(20))).pixels, 0);

    CImageBox box;
    box.CreateBlank(50, 20);
    const VImage before = box.GetBitmap();
    box.DrawTextAt(0, 0, "");
    box.DrawTextAt(0, 0, "  \n\t ");
    EXPECT_EQ(meanDifference(box.GetBitmap(), before), 0.0);
}

}  // namespace
}  // namespace varnetto::testing
