#include "app/ProcessSetup.h"

#include <malloc.h>

namespace varnetto {

void returnLargeBuffersToTheSystem() {
    // A fixed threshold also stops glibc from raising it after each large free.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

}  // namespace varnetto
