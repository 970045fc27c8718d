#include "cli/Commands.h"
#include "imaging/ImagingRuntime.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    varnetto::startWithHugePages(argv);
    return varnetto::cli::runCli(std::vector<std::string>(argv + 1, argv + argc));
}
