#pragma once

#include <string>
#include <vector>

namespace varnetto {

class Reporter;

// The folder holding the running program file, without a trailing slash.
std::string applicationFolder();

// <folder>/Schemes/Schemes.bis
std::string schemeStorePath(const std::string& folder);

// Where the program's data lives. The application folder holds what comes
// with the program. When the user may not write there (an installed
// program), the user's own folder holds their scheme store and is searched
// before the application folder for borders and stamps.
struct AppFolders {
    AppFolders() = default;
    // One folder holding everything, as a build leaves it; implicit, so a
    // lone folder goes wherever folders are asked for.
    AppFolders(std::string applicationFolder) : application(std::move(applicationFolder)) {}
    AppFolders(const char* applicationFolder) : application(applicationFolder) {}
    AppFolders(std::string applicationFolder, std::string userFolder)
        : application(std::move(applicationFolder)), user(std::move(userFolder)) {}

    std::string application;
    std::string user;  // empty: the application folder is the user's own

    // The store the windows and the command-line tool read and save.
    std::string storePath() const;
    // Where borders and stamps are looked for, the user's folder first.
    std::vector<std::string> lookupOrder() const;

    bool operator==(const AppFolders&) const = default;
};

// What the user's folder depends on; passed in so tests choose it.
struct UserEnvironment {
    std::string xdgDataHome;  // $XDG_DATA_HOME
    std::string home;         // $HOME, or the account's home folder
    static UserEnvironment current();
};

// $XDG_DATA_HOME/varnetto, or ~/.local/share/varnetto when that is unset or
// not absolute; "" when neither is known.
std::string userDataFolder(const UserEnvironment& environment);

// Whether this process may create and replace the store in applicationFolder.
bool storeIsWritable(const std::string& applicationFolder);

// The application folder alone when the user may write its store there,
// else together with the user's folder.
AppFolders resolveAppFolders(const std::string& applicationFolder, bool storeWritable,
                             const UserEnvironment& environment);

// The folders of the running program: what it uses and what its About and
// --help name.
AppFolders currentAppFolders();

// On the first start of an installed program, makes the user's store a copy
// of the bundled one, written whole under a temporary name. An existing user
// store is never touched, damaged or not. A failure is reported; a missing
// bundled store is left for the store's own load to report. Returns whether
// the store to use exists afterwards.
bool prepareUserStore(const AppFolders& folders, Reporter& reporter);

}  // namespace varnetto
