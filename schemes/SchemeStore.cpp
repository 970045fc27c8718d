#include "schemes/SchemeStore.h"

#include "common/AppFolder.h"
#include "common/PendingFile.h"
#include "common/RegularFile.h"
#include "schemes/StoreFormat.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace varnetto {

namespace fs = std::filesystem;

SchemeStore::SchemeStore(AppFolders folders) : folders_(std::move(folders)) {}

std::string SchemeStore::path() const {
    return pathOverride_.empty() ? folders_.storePath() : pathOverride_;
}

bool SchemeStore::load(Reporter& reporter) {
    const std::string file = path();
    std::error_code error;
    if (!fs::exists(file, error)) {
        reporter.message("图像处理方案文件不存在，无法加载。", MessageKind::Stop);
        return false;
    }
    // Only a regular file of sane size is read: a FIFO would wait for a
    // writer forever, a device or a giant file would fill the memory.
    RegularFile in(file);
    if (in.notRegular()) {
        reporter.message(
            formatMessage("图像处理方案文件 %s 不是普通文件，无法加载。", file.c_str()),
            MessageKind::Stop);
        return false;
    }
    if (in.opened() && in.size() > kLargestStore) {
        reporter.message(formatMessage("图像处理方案文件 %s 太大（%llu 字节），无法加载。",
                                       file.c_str(), static_cast<unsigned long long>(in.size())),
                         MessageKind::Stop);
        return false;
    }
    schemes_.clear();
    std::string bytes;
    if (const int failure = in.readAll(bytes, kLargestStore); failure != 0) {
        reporter.message(
            formatMessage("无法读取图像处理方案文件 %s：%s", file.c_str(), std::strerror(failure)),
            MessageKind::Stop);
        return false;
    }
    if (bytes.empty()) return false;

    StoreContents contents = readStoreBytes(bytes);
    if (contents.headerRead) header_ = std::move(contents.header);
    for (Scheme& scheme : contents.schemes) schemes_.push_back(std::move(scheme));
    // Bytes after the last scheme mean schemes the count does not announce,
    // or damage: either way not everything was loaded.
    const bool whole = contents.complete && contents.trailingBytes == 0;
    if (!whole) {
        reporter.message(formatMessage("图像处理方案文件已损坏，只加载了 %d 个处理方案。",
                                       static_cast<int>(schemes_.size())),
                         MessageKind::Stop);
    }
    return whole;
}

bool SchemeStore::save(Reporter& reporter) const {
    const std::string file = path();
    std::error_code error;
    if (!fs::exists(file, error)) {
        reporter.message("图像处理方案文件不存在，无法保存。", MessageKind::Stop);
        return false;
    }
    // Replacing by rename would get past a file the user made read-only.
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((fs::status(file, error).permissions() & writable) == fs::perms::none ||
        ::access(file.c_str(), W_OK) != 0) {
        reporter.message(
            formatMessage("无法保存图像处理方案文件 %s：%s", file.c_str(), "文件是只读的"),
            MessageKind::Stop);
        return false;
    }
    try {
        writeFileAtomically(file, writeStoreBytes(header_, schemes_));
        // What an earlier save that was killed left beside the store.
        removeStalePendingFilesBeside(file, fs::file_time_type::clock::now());
    } catch (const std::system_error& failure) {
        reporter.message(formatMessage("无法保存图像处理方案文件 %s：%s", file.c_str(),
                                       failure.code().message().c_str()),
                         MessageKind::Stop);
        return false;
    }
    return true;
}

Scheme* SchemeStore::findByName(std::string_view name) {
    for (Scheme& scheme : schemes_)
        if (scheme.name == name) return &scheme;
    return nullptr;
}

const Scheme* SchemeStore::findByName(std::string_view name) const {
    return const_cast<SchemeStore*>(this)->findByName(name);
}

Scheme& SchemeStore::append(Scheme scheme) {
    schemes_.push_back(std::move(scheme));
    return schemes_.back();
}

Scheme* SchemeStore::at(size_t position) {
    if (position >= schemes_.size()) return nullptr;
    return &*std::next(schemes_.begin(), static_cast<std::ptrdiff_t>(position));
}

const Scheme* SchemeStore::at(size_t position) const {
    return const_cast<SchemeStore*>(this)->at(position);
}

bool SchemeStore::removeAt(size_t position) {
    if (position >= schemes_.size()) return false;
    schemes_.erase(std::next(schemes_.begin(), static_cast<std::ptrdiff_t>(position)));
    return true;
}

}  // namespace varnetto
