#include "cli/Commands.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    return varnetto::cli::runCli(std::vector<std::string>(argv + 1, argv + argc));
}
