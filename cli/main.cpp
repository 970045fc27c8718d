#include "cli/CliSupport.h"
#include "cli/Commands.h"

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace varnetto::cli;
    if (argc < 2) {
        printUsage();
        return kExitUsage;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "list") return listCommand(args);
        if (command == "export") return exportCommand(args);
        if (command == "import") return importCommand(args);
        if (command == "run") return runCommand(args);
    } catch (const std::invalid_argument& error) {
        std::cerr << "varnetto-cli " << command << ": " << error.what() << '\n';
        printUsage();
        return kExitUsage;
    }
    std::cerr << "varnetto-cli: unknown command " << command << '\n';
    printUsage();
    return kExitUsage;
}
