#include "common/ImageFormats.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace varnetto {

namespace {

bool sameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The dialog's texts as it has always shown them, in OpenFileEntry order.
// An empty title is made from the entry's name (or its formats) and patterns.
constexpr std::array<std::string_view, 10> kEntryTitles{"JPEG 格式(*.jpg; *jpeg)",
                                                        "位图文件(*.bmp; *.wbmp)",
                                                        "\t\t图形转换格式(*.gif)",
                                                        "\t\tPNG 格式(*.png)",
                                                        "WBM 格式(*.wbm)",
                                                        "PCX 格式(*.pcx)",
                                                        "\t\tPhotoshop 格式(*.psd)",
                                                        "TIFF 格式(*.tif; *.tiff)",
                                                        {},
                                                        {}};
static_assert(kEntryTitles.size() == static_cast<std::size_t>(OpenFileEntry::NotOffered));
// Entries of many formats that go by one name.
constexpr std::array<std::pair<OpenFileEntry, std::string_view>, 1> kEntryNames{
    {{OpenFileEntry::CameraRaw, "相机 RAW"}}};

std::string_view entryName(std::size_t entry) {
    for (const auto& [named, name] : kEntryNames)
        if (static_cast<std::size_t>(named) == entry) return name;
    return {};
}

constexpr std::string_view kEveryFile = "所有文件(*.*) (*)";

std::string joined(const std::string& list, std::string_view separator, std::string_view item) {
    return list.empty() ? std::string(item) : list + std::string(separator) + std::string(item);
}

}  // namespace

const ImageFormat* formatForSuffix(std::string_view suffix) {
    for (const ImageFormat& format : imageFormats)
        for (const FormatSuffix& known : format.suffixes)
            if (sameNoCase(known.text, suffix)) return &format;
    return nullptr;
}

const ImageFormat* formatForOutput(std::int32_t storedFormat) {
    for (const ImageFormat& format : imageFormats)
        if (format.output && static_cast<std::int32_t>(*format.output) == storedFormat)
            return &format;
    return nullptr;
}

std::string openFileFilterText() {
    std::string filter;
    for (std::size_t entry = 0; entry < kEntryTitles.size(); ++entry) {
        std::string labels;
        std::string shown;
        std::string patterns;
        for (const ImageFormat& format : imageFormats) {
            bool listed = false;
            for (const FormatSuffix& suffix : format.suffixes) {
                if (static_cast<std::size_t>(suffix.entry) != entry) continue;
                const std::string pattern = "*." + std::string(suffix.text);
                shown = joined(shown, "; ", pattern);
                patterns = joined(patterns, " ", pattern);
                listed = true;
            }
            if (listed) labels = joined(labels, "、", format.label);
        }
        if (const std::string_view name = entryName(entry); !name.empty()) labels = name;
        const std::string title = kEntryTitles[entry].empty() ? labels + " 格式(" + shown + ")"
                                                              : std::string(kEntryTitles[entry]);
        filter += title + " (" + patterns + ");;";
    }
    return filter + std::string(kEveryFile);
}

}  // namespace varnetto
