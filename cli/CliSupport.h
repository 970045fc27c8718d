#pragma once

#include "common/Reporter.h"
#include "schemes/SchemeStore.h"

#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnetto::cli {

// Prints every message to stderr and remembers that something went wrong.
class StderrReporter : public Reporter {
  public:
    void message(std::string_view text, MessageKind kind) override;
    bool ask(std::string_view text, MessageKind kind) override;
    int messageCount() const { return count_; }

  private:
    int count_ = 0;
};

// Takes "--name VALUE" out of args; nullopt when absent. Throws
// std::invalid_argument when the value is missing.
std::optional<std::string> takeOption(std::vector<std::string>& args, const std::string& name);

// Loads the store named by --store, or the store of the store's folders
// (made first when the user's is still missing). Returns false, having
// reported why, when it is missing or damaged.
bool loadStore(SchemeStore& store, const std::optional<std::string>& storePath);

// The schemes of store named by names, in that order; nullopt after saying
// on stderr which name command found no scheme for and what the store holds.
std::optional<std::vector<Scheme>> storedSchemes(const SchemeStore& store,
                                                 const std::vector<std::string>& names,
                                                 std::string_view command);

// The usage of every command; to stderr unless asked for.
void printUsage(std::ostream& out = std::cerr);

// One text per line: a backslash, line break, carriage return or tab is
// written as its escape (\\, \n, \r, \t), so a name never splits or bends
// its line.
std::string oneLine(const std::string& text);

// True for "--help", "-h" and "help".
bool isHelpRequest(const std::string& arg);

// Writes text to standard output and flushes it. Output that did not reach
// its file (a full disk, /dev/full) fails the command: kExitUsage after
// saying why; kExitOk otherwise.
int writeOutput(const std::string& command, std::string_view text);

}  // namespace varnetto::cli
