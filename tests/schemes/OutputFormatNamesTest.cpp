#include "schemes/SchemeCodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnetto {
namespace {

// Each stored outputFormat is one row of the table of formats, named and
// suffixed as that row says; the editor's list shows them in code order
// with the labels stores have always meant (the extensions: OutputNaming).
TEST(OutputFormatNames, EveryCodeIsItsRowInCodeOrder) {
    std::size_t rows = 0;
    for (const ImageFormat& format : imageFormats) {
        if (!format.output) continue;
        ++rows;
        const OutputFormatName* name = outputFormatName(stored(*format.output));
        ASSERT_NE(name, nullptr) << format.label;
        EXPECT_EQ(name->format, *format.output);
        EXPECT_EQ(name->label, format.label);
        EXPECT_EQ(name->extension, format.suffixes.first());
        EXPECT_NE(format.saver, Codec::None) << format.label;
    }
    EXPECT_EQ(outputFormatNames.size(), rows);

    std::vector<std::string> labels;
    for (std::size_t code = 0; code < outputFormatNames.size(); ++code) {
        EXPECT_EQ(stored(outputFormatNames[code].format), static_cast<std::int32_t>(code));
        labels.emplace_back(outputFormatNames[code].label);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"BMP", "GIF", "JPG/JPEG", "PCX", "PNG", "WBMP",
                                                "PSD", "TIF/TIFF", "PDF", "WebP", "AVIF"}));
}

}  // namespace
}  // namespace varnetto
