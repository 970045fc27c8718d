#pragma once

#include "common/Reporter.h"
#include "schemes/SchemeStore.h"

#include <iostream>
#include <optional>
#include <string>
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

// The usage of every command; to stderr unless asked for.
void printUsage(std::ostream& out = std::cerr);

// True for "--help", "-h" and "help".
bool isHelpRequest(const std::string& arg);

}  // namespace varnetto::cli
