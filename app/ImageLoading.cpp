// How the image list gets its rows: folders and files are looked at on the
// disk in the background, under the wait cursor, and their rows read there.
#include "app/ImageCommands.h"

#include "app/Session.h"
#include "common/RegularFile.h"
#include "processing/ImageFiles.h"
#include "uikit/UserDialogs.h"

#include <filesystem>

namespace varnetto {

namespace {

std::string withoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::vector<std::string> fileNames(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    names.reserve(paths.size());
    for (const std::string& path : paths) names.push_back(path.substr(path.rfind('/') + 1));
    return names;
}

}  // namespace

void ImageCommands::chooseAndLoadFolder() {
    const QString chosen =
        parts_.dialogs.chooseFolder(parts_.window, QString::fromUtf8("选择图像目录"));
    const std::string folder = withoutTrailingSlashes(chosen.toStdString());
    if (!folder.empty()) loadFolder(folder);
}

void ImageCommands::loadFolder(const std::string& folder) {
    lookAtDisk([folder, list = listFolder_] {
        return Found{{folder, fileNames(list(folder)), {}}};
    });
}

void ImageCommands::addSingleFile(const std::string& folder, const std::string& fileName) {
    readAhead(folder + "/" + fileName, false);
}

void ImageCommands::addAndLockFile(const std::string& path) {
    readAhead(path, true);
}

void ImageCommands::readAhead(const std::string& path, bool lockWhenRead) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return;
    const std::string folder = path.substr(0, slash);
    const std::vector<std::string> names{path.substr(slash + 1)};
    // A file listed already is not listed twice, or a batch would write it
    // twice; added locked, the row it has is locked.
    if (const int listed = rows_.listedRow(folder, names.front()); listed >= 0) {
        if (!lockWhenRead) return;
        if (!rows_.isRead(listed)) {
            locksWhenRead_.insert(rows_.entry(listed).id);
        } else if (rows_.entry(listed).lockState != kLocked) {
            rows_.setLockState(listed, kLocked);
            parts_.session.refreshLockCount();
        }
        return;
    }
    const auto ids = rows_.appendPlaceholders(folder, names);
    waitedRows_.insert(ids.front());
    if (lockWhenRead) locksWhenRead_.insert(ids.front());
    rowLoader_->loadAhead(folder, names, ids);
    updateWaitCursor();
}

void ImageCommands::openPaths(const std::vector<std::string>& paths) {
    // Made absolute here, against the working folder of the moment.
    std::vector<std::pair<std::string, std::string>> asked;  // given, absolute
    for (const std::string& given : paths) {
        // An empty argument would otherwise name the working folder.
        if (given.empty()) continue;
        std::error_code error;
        const auto absolute = std::filesystem::absolute(given, error).lexically_normal();
        asked.emplace_back(given, withoutTrailingSlashes(error ? given : absolute.string()));
    }
    lookAtDisk([asked, list = listFolder_] {
        Found steps;
        // Files of one folder that come one after the other make one step.
        FoundStep files;
        auto queueFiles = [&] {
            if (files.names.empty()) return;
            steps.push_back(files);
            files.names.clear();
        };
        for (const auto& [given, path] : asked) {
            std::error_code error;
            if (std::filesystem::is_directory(path, error)) {
                queueFiles();
                steps.push_back({path, fileNames(list(path)), {}});
            } else if (isNonFolder(path)) {
                const auto slash = path.rfind('/');
                const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
                if (parent != files.folder) queueFiles();
                files.folder = parent;
                files.names.push_back(path.substr(slash + 1));
            } else {
                queueFiles();
                steps.push_back({{}, {}, given});
            }
        }
        queueFiles();
        return steps;
    });
}

void ImageCommands::lookAtDisk(std::function<Found()> find) {
    ++looksUnderWay_;
    updateWaitCursor();
    rowLoader_->look<Found>([find = std::move(find)](const JobToken&) { return find(); },
                            [this](Found steps) {
                                --looksUnderWay_;
                                updateWaitCursor();
                                follow(steps);
                            });
}

void ImageCommands::follow(const Found& steps) {
    for (const FoundStep& step : steps) {
        if (!step.missing.empty()) {
            parts_.dialogs.message(
                parts_.window,
                QString::fromUtf8("图像 %1 不存在。").arg(QString::fromStdString(step.missing)),
                MessageKind::Stop);
            continue;
        }
        const std::vector<std::string> names = rows_.unlisted(step.folder, step.names);
        rowLoader_->load(step.folder, names, rows_.appendPlaceholders(step.folder, names));
    }
}

void ImageCommands::rowRead(std::uint64_t id, const RowFacts& facts) {
    const bool filled = rows_.fillRow(id, facts);
    if (locksWhenRead_.erase(id) != 0 && filled) {
        rows_.toggleLock(rows_.rowOfId(id));
        parts_.session.refreshLockCount();
    }
    if (waitedRows_.erase(id) != 0) updateWaitCursor();
}

void ImageCommands::forgetWaits(const std::vector<std::uint64_t>& ids) {
    for (const std::uint64_t id : ids) {
        waitedRows_.erase(id);
        locksWhenRead_.erase(id);
    }
    updateWaitCursor();
}

void ImageCommands::updateWaitCursor() {
    const bool waiting = looksUnderWay_ > 0 || !waitedRows_.empty();
    if (waiting && !waitCursor_) waitCursor_.emplace();
    if (!waiting) waitCursor_.reset();
}

void ImageCommands::setDiskAccess(FolderLister listFolder, RowLoader::ReadRow readRow) {
    listFolder_ = std::move(listFolder);
    rowLoader_->setRowReader(std::move(readRow));
}

}  // namespace varnetto
