#include "cli/CliSupport.h"
#include "cli/Commands.h"

#include <array>
#include <exception>
#include <iostream>
#include <stdexcept>

namespace varnetto::cli {

namespace {

constexpr std::array<CliCommand, 6> kCommands{{
    {"list", listCommand},
    {"show", showCommand},
    {"export", exportCommand},
    {"import", importCommand},
    {"run", runCommand},
    {"watch", watchCommand},
}};

}  // namespace

std::span<const CliCommand> cliCommands() {
    return kCommands;
}

int runCli(const std::vector<std::string>& args, std::span<const CliCommand> commands) {
    if (args.empty()) {
        printUsage();
        return kExitUsage;
    }
    const std::string& name = args.front();
    // "--help" alone, or right after a command, asks for the usage.
    if (isHelpRequest(name) || (args.size() == 2 && isHelpRequest(args[1]))) {
        printUsage(std::cout);
        return kExitOk;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const CliCommand& command : commands) {
        if (command.name != name) continue;
        // Failures no command reports itself (libvips cannot start, the
        // system refuses a thread, memory runs out) end here with a reason.
        try {
            return command.run(rest);
        } catch (const std::invalid_argument& error) {
            std::cerr << "varnetto-cli " << name << ": " << error.what() << '\n';
            printUsage();
        } catch (const std::exception& error) {
            std::cerr << "varnetto-cli " << name << ": " << error.what() << '\n';
        } catch (...) {
            std::cerr << "varnetto-cli " << name << ": unknown error\n";
        }
        return kExitUsage;
    }
    std::cerr << "varnetto-cli: unknown command " << name << '\n';
    printUsage();
    return kExitUsage;
}

}  // namespace varnetto::cli
