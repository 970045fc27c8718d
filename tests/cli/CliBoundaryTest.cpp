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

Outcome runCaptured(const std::vector<std::string>& args, std::span<const CliCommand> commands) {
    std::ostringstream err;
    auto* previous = std::cerr.rdbuf(err.rdbuf());
    const int status = runCli(args, commands);
    std::cerr.rdbuf(previous);
    return {status, err.str()};
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

}  // namespace
}  // namespace varnetto::cli
