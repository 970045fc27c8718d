#include "common/AppFolder.h"

#include "common/PendingFile.h"
#include "common/RegularFile.h"
#include "common/Reporter.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>

namespace varnetto {

namespace fs = std::filesystem;

namespace {

bool present(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

std::string readWholeFile(const fs::path& path) {
    RegularFile file(path.string());
    std::string bytes;
    const int failure = file.readAll(bytes, std::numeric_limits<std::uint64_t>::max());
    if (failure != 0) throw std::system_error(failure, std::generic_category(), path.string());
    return bytes;
}

}  // namespace

std::string applicationFolder() {
    std::error_code error;
    const auto exe = fs::read_symlink("/proc/self/exe", error);
    if (error) return ".";
    return exe.parent_path().string();
}

std::string schemeStorePath(const std::string& folder) {
    return folder + "/Schemes/Schemes.bis";
}

std::string AppFolders::storePath() const {
    return schemeStorePath(user.empty() ? application : user);
}

std::vector<std::string> AppFolders::lookupOrder() const {
    if (user.empty() || user == application) return {application};
    return {user, application};
}

UserEnvironment UserEnvironment::current() {
    UserEnvironment environment;
    if (const char* xdg = std::getenv("XDG_DATA_HOME")) environment.xdgDataHome = xdg;
    if (const char* home = std::getenv("HOME"); home && *home) {
        environment.home = home;
    } else if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir) {
        environment.home = account->pw_dir;
    }
    return environment;
}

std::string userDataFolder(const UserEnvironment& environment) {
    // Relative values are to be ignored, as the base directory rules say.
    if (!environment.xdgDataHome.empty() && environment.xdgDataHome.front() == '/')
        return environment.xdgDataHome + "/varnetto";
    if (!environment.home.empty() && environment.home.front() == '/')
        return environment.home + "/.local/share/varnetto";
    return {};
}

bool storeIsWritable(const std::string& applicationFolder) {
    // Saving writes a temporary file beside the store and renames it.
    const std::string schemes = applicationFolder + "/Schemes";
    const std::string folder = present(schemes) ? schemes : applicationFolder;
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

AppFolders resolveAppFolders(const std::string& applicationFolder, bool storeWritable,
                             const UserEnvironment& environment) {
    if (storeWritable) return AppFolders(applicationFolder);
    const std::string user = userDataFolder(environment);
    // Without a home there is nowhere else; the store stays read-only.
    if (user.empty()) return AppFolders(applicationFolder);
    return AppFolders(applicationFolder, user);
}

AppFolders currentAppFolders() {
    const std::string folder = applicationFolder();
    return resolveAppFolders(folder, storeIsWritable(folder), UserEnvironment::current());
}

bool prepareUserStore(const AppFolders& folders, Reporter& reporter) {
    const fs::path target = folders.storePath();
    if (const bool there = present(target); folders.user.empty() || there) return there;
    const fs::path bundled = schemeStorePath(folders.application);
    if (!present(bundled)) return false;
    try {
        fs::create_directories(target.parent_path());
        // Where the user's own borders and stamps go.
        for (const char* name : {"Borders", "Stamps"})
            fs::create_directories(fs::path(folders.user) / name);
        // Another instance starting at the same moment may have made it:
        // theirs is kept.
        writeNewFileAtomically(target, readWholeFile(bundled));
    } catch (const std::system_error& error) {
        reporter.message(formatMessage("无法建立用户的方案文件 %s：%s", target.c_str(),
                                       error.code().message().c_str()),
                         MessageKind::Stop);
        return false;
    }
    return true;
}

}  // namespace varnetto
