#include "processing/OutputNaming.h"

#include "common/Reporter.h"
#include "processing/OutputFolder.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

namespace varnetto {

namespace {

std::string_view fileNameOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Taken from the file name only, so a dot in a folder name is never mistaken
// for the start of an extension.
std::string_view sourceExtensionOf(std::string_view path) {
    const std::string_view name = fileNameOf(path);
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string outputExtension(const Scheme& scheme, std::string_view sourcePath) {
    if (scheme.convertEnabled && scheme.formatConvertEnabled) {
        // A format this version does not know keeps the source's extension.
        if (const OutputFormatName* format = outputFormatName(scheme.outputFormat))
            return std::string(format->extension);
    }
    const std::string source = lowerCase(sourceExtensionOf(sourcePath));
    // Formats that are only read (camera RAW) are kept as TIFF, which holds
    // their 16 bits and EXIF.
    const ImageFormat* format = formatForSuffix(source);
    if (format && format->saver == Codec::None)
        return std::string(formatOf(FileKind::Tiff).suffixes.first());
    return source;
}

std::string joinName(const std::string& folder, std::string_view base, const std::string& ext) {
    std::string path = folder + "/";
    path += base;
    if (!ext.empty()) path += "." + ext;
    return path;
}

}  // namespace

std::string outputPath(const Scheme& scheme, int index, const std::string& sourcePath) {
    const std::string ext = outputExtension(scheme, sourcePath);
    switch (static_cast<NamingMode>(scheme.namingMode)) {
        case NamingMode::KeepName: {
            if (sourcePath.find('/') == std::string::npos) return {};
            const std::string_view name = fileNameOf(sourcePath);
            const std::string_view sourceExt = sourceExtensionOf(sourcePath);
            const std::string_view base = name.find('.') == std::string_view::npos
                                              ? name
                                              : name.substr(0, name.size() - sourceExt.size() - 1);
            return joinName(scheme.outputFolder, base, ext);
        }
        case NamingMode::Rename: {
            // Wide arithmetic: a stored start number near the integer limit
            // must not wrap into a negative name.
            const std::int64_t number =
                static_cast<std::int64_t>(scheme.renameStartNumber) + index - 1;
            return joinName(scheme.outputFolder, scheme.renamePrefix + "_" + std::to_string(number),
                            ext);
        }
        default:
            return {};
    }
}

std::string checkOutputPath(const Scheme& scheme, const std::string& path) {
    const char* folder = scheme.outputFolder.c_str();
    const auto naming = static_cast<NamingMode>(scheme.namingMode);
    if (naming == NamingMode::Rename && scheme.renamePrefix.find('/') != std::string::npos)
        return formatMessage("文件名前缀 %s 含有“/”，输出文件必须留在输出目录 %s 中。",
                             scheme.renamePrefix.c_str(), folder);
    if (path.empty()) {
        if (naming != NamingMode::KeepName && naming != NamingMode::Rename)
            return formatMessage("未知的命名方式 %d。", scheme.namingMode);
        return "源文件路径没有目录，无法生成输出文件名。";
    }
    if (scheme.outputFolder.empty()) return "处理方案没有输出目录。";
    // The system would read a shorter path and write (or remove) elsewhere.
    if (path.find('\0') != std::string::npos)
        return formatMessage("输出文件 %s 的路径中含有 NUL 字符。", printablePath(path).c_str());
    const std::string folderPrefix = scheme.outputFolder + "/";
    const std::string_view name =
        std::string_view(path).substr(std::min(folderPrefix.size(), path.size()));
    if (path.compare(0, folderPrefix.size(), folderPrefix) != 0 || name.empty() || name == "." ||
        name == ".." || name.find('/') != std::string_view::npos)
        return formatMessage("输出文件 %s 不在输出目录 %s 中。", path.c_str(), folder);
    return {};
}

}  // namespace varnetto
