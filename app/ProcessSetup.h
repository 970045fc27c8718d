#pragma once

namespace varnetto {

// Decoding leaves many large buffers behind; they are given back to the
// system at once instead of staying in the allocator's per-thread pools.
void returnLargeBuffersToTheSystem();

}  // namespace varnetto
