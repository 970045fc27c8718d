#pragma once

#include <string>
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

}  // namespace varnetto::cli
