#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnetto::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

int listCommand(const std::vector<std::string>& args);
int exportCommand(const std::vector<std::string>& args);
int importCommand(const std::vector<std::string>& args);
int runCommand(const std::vector<std::string>& args);
// Processes folders' pictures, then those that arrive, until interrupted.
int watchCommand(const std::vector<std::string>& args);
// A scheme's parameters as the scheme viewer lists them: label TAB value.
int showCommand(const std::vector<std::string>& args);

struct CliCommand {
    std::string_view name;
    int (*run)(const std::vector<std::string>& args);
};

// list, show, export, import, run and watch.
std::span<const CliCommand> cliCommands();

// Runs the command args[0] names with the arguments after it. Nothing passes
// this boundary: a usage error prints the usage, any other failure
// "varnetto-cli COMMAND: reason"; both exit with kExitUsage.
int runCli(const std::vector<std::string>& args,
           std::span<const CliCommand> commands = cliCommands());

}  // namespace varnetto::cli
