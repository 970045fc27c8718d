#include "cli/Commands.h"
#include "imaging/CImageBox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <iostream>
#include <new>
#include <sstream>
#include <system_error>

namespace varnetto::cli {
namespace {

struct Outcome {
    int status;
    std::string err;
};

struct Printed {
    int status;
    std::string out;
    std::string err;
};

Printed runPrinting(const std::vector<std::string>& args, std::span<const CliCommand> commands) {
    std::ostringstream out;
    std::ostringstream err;
    auto* previousOut = std::cout.rdbuf(out.rdbuf());
    auto* previousErr = std::cerr.rdbuf(err.rdbuf());
    const int status = runCli(args, commands);
    std::cout.rdbuf(previousOut);
    std::cerr.rdbuf(previousErr);
    return {status, out.str(), err.str()};
}

Outcome runCaptured(const std::vector<std::string>& args, std::span<const CliCommand> commands) {
    const Printed printed = runPrinting(args, commands);
    return {printed.status, printed.err};
}

TEST(CliBoundary, EveryFailureNamesTheCommandAndTheReasonAndExitsWithTwo) {
    struct Case {
        CliCommand command;
        std::string reason;
        bool usage;
    };
    const std::vector<Case> cases = {
        {{"parse",
          [](const std::vector<std::string>&) -> int {
              throw std::invalid_argument("--jobs needs a positive number");
          }},
         "--jobs needs a positive number",
         true},
        {{"start",
          [](const std::vector<std::string>&) -> int {
              throw ImagingError("libvips cannot start: no memory");
          }},
         "libvips cannot start: no memory",
         false},
        {{"thread",
          [](const std::vector<std::string>&) -> int {
              throw std::system_error(EAGAIN, std::generic_category(), "thread");
          }},
         std::system_error(EAGAIN, std::generic_category(), "thread").what(),
         false},
        {{"memory", [](const std::vector<std::string>&) -> int { throw std::bad_alloc(); }},
         std::bad_alloc().what(),
         false},
        {{"other", [](const std::vector<std::string>&) -> int { throw 7; }},
         "unknown error",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command.name));
        const Outcome out = runCaptured({std::string(c.command.name), "x"}, {&c.command, 1});
        EXPECT_EQ(out.status, kExitUsage);
        const std::string line =
            "varnetto-cli " + std::string(c.command.name) + ": " + c.reason + "\n";
        EXPECT_EQ(out.err.substr(0, line.size()), line);
        EXPECT_EQ(out.err.find("usage:") != std::string::npos, c.usage) << out.err;
    }
}

TEST(CliBoundary, CommandsGetTheirArgumentsAndGiveTheirStatus) {
    const CliCommand echo{"count", [](const std::vector<std::string>& args) {
                              return static_cast<int>(args.size());
                          }};
    EXPECT_EQ(runCaptured({"count"}, {&echo, 1}).status, 0);
    EXPECT_EQ(runCaptured({"count", "a", "b", "c"}, {&echo, 1}).status, 3);

    const Outcome unknown = runCaptured({"frobnicate"}, cliCommands());
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_NE(unknown.err.find("unknown command frobnicate"), std::string::npos);
    EXPECT_EQ(runCaptured({}, cliCommands()).status, kExitUsage);
}

TEST(CliBoundary, HelpPrintsTheUsageOfEveryCommandAndSucceeds) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"help"}, {"run", "--help"}, {"import", "-h"}}) {
        const Printed printed = runPrinting(args, cliCommands());
        EXPECT_EQ(printed.status, kExitOk) << args.front();
        EXPECT_EQ(printed.err, "");
        for (const CliCommand& command : cliCommands()) {
            EXPECT_NE(printed.out.find("varnetto-cli " + std::string(command.name) + " "),
                      std::string::npos)
                << command.name;
        }
    }
    // Asked for by mistake, the usage goes to stderr with a failure.
    const Printed wrong = runPrinting({"--helpme"}, cliCommands());
    EXPECT_EQ(wrong.status, kExitUsage);
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("usage:"), std::string::npos);
}

}  // namespace
}  // namespace varnetto::cli
