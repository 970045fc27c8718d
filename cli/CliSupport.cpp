#include "cli/CliSupport.h"

#include "cli/Commands.h"
#include "common/AppFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace varnetto::cli {

void StderrReporter::message(std::string_view text, MessageKind) {
    ++count_;
    std::cerr << text << '\n';
}

bool StderrReporter::ask(std::string_view text, MessageKind) {
    ++count_;
    std::cerr << text << " (no)\n";
    return false;
}

std::optional<std::string> takeOption(std::vector<std::string>& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != name) continue;
        if (i + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
        std::string value = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return value;
    }
    return std::nullopt;
}

bool loadStore(SchemeStore& store, const std::optional<std::string>& storePath) {
    StderrReporter reporter;
    if (storePath) {
        store.setPath(*storePath);
    } else {
        prepareUserStore(store.folders(), reporter);
    }
    store.load(reporter);
    if (reporter.messageCount() > 0) {
        std::cerr << "store: " << store.path() << '\n';
        return false;
    }
    return true;
}

void printUsage(std::ostream& out) {
    out << "usage:\n"
           "  varnetto-cli list [--store FILE]\n"
           "      prints the scheme names, one a line, in store order\n"
           "  varnetto-cli show NAME [--store FILE]\n"
           "      prints a scheme's parameters, label TAB value, one a line\n"
           "  varnetto-cli export [--store FILE]\n"
           "      prints the whole store as JSON\n"
           "  varnetto-cli import FILE.json [--store FILE]\n"
           "      writes a complete store from such JSON\n"
           "  varnetto-cli run --scheme NAME [--scheme NAME]... [--store FILE] [--app-folder DIR]\n"
           "                   [--jobs N] [--memory SIZE] [--shard K/N] [--existing MODE]\n"
           "                   [--report FILE] [--dry-run] [--recursive] [--] INPUT...\n"
           "      applies stored schemes to pictures and to the pictures of folders; each\n"
           "      picture is decoded once for all the schemes\n"
           "  varnetto-cli watch --scheme NAME [--scheme NAME...] [--existing MODE]\n"
           "                     [--store FILE] [--app-folder DIR] [--jobs N] [--memory SIZE]\n"
           "                     [--recursive] FOLDER...\n"
           "      processes the folders' pictures (--existing newer unless given), then each\n"
           "      picture that arrives or changes, until interrupted\n"
           "  varnetto-cli --help\n"
           "      prints this text\n"
           "--store defaults to the store below (for run, to Schemes/Schemes.bis in --app-folder\n"
           "when given); --jobs defaults to the number of cores. --memory is the memory the\n"
           "pictures running at once may take together (e.g. 2G, 512M; default: a quarter of\n"
           "the physical memory): a picture waits until it fits, and one larger than SIZE runs\n"
           "alone. --existing says what becomes of an output that exists: replace (default),\n"
           "skip, newer (replace it only when its source changed since) or number (keep it\n"
           "and write NAME (2).EXT...). --report writes one JSON line per output and one with\n"
           "the totals. Arguments after -- are INPUTs, even when they begin with -.\n"
           "Exit status: 0 success, 1 some pictures failed, 2 usage or store error.\n";
    out << "store: " << currentAppFolders().storePath() << '\n';
}

std::optional<std::vector<Scheme>> storedSchemes(const SchemeStore& store,
                                                 const std::vector<std::string>& names,
                                                 std::string_view command) {
    std::vector<Scheme> schemes;
    for (const std::string& name : names) {
        const Scheme* found = store.findByName(name);
        if (found) {
            schemes.push_back(*found);
            continue;
        }
        std::cerr << "varnetto-cli " << command << ": no scheme named \"" << name << "\" in "
                  << store.path() << '\n';
        if (store.size() == 0) {
            std::cerr << "the store holds no scheme\n";
        } else {
            std::cerr << "the store holds:\n";
            for (const Scheme& held : store) std::cerr << "  " << held.name << '\n';
        }
        return std::nullopt;
    }
    return schemes;
}

std::string oneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            case '\t':
                line += "\\t";
                break;
            default:
                line += c;
        }
    }
    return line;
}

bool isHelpRequest(const std::string& arg) {
    return arg == "--help" || arg == "-h" || arg == "help";
}

int writeOutput(const std::string& command, std::string_view text) {
    // The reason is taken from the call that failed, before anything else
    // can change errno.
    errno = 0;
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    int error = std::cout ? 0 : errno;
    if (error == 0) {
        std::cout.flush();
        if (!std::cout) error = errno;
    }
    if (error == 0 && std::fflush(stdout) != 0) error = errno;
    if (error == 0 && !std::ferror(stdout) && std::cout) return kExitOk;
    std::cerr << "varnetto-cli " << command
              << ": cannot write to standard output: " << std::strerror(error ? error : EIO)
              << '\n';
    return kExitUsage;
}

}  // namespace varnetto::cli
