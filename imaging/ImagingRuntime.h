#pragma once

// What a program sets up once before any imaging work.

namespace varnetto {

// Starts libvips and ImageMagick for the process; later calls do nothing.
// Call it from one thread before any imaging work. Throws ImagingError when
// libvips cannot start.
void initImaging(const char* argv0);

// Decoding leaves many large buffers behind; from now on they go back to the
// system at once instead of staying in the allocator's per-thread pools.
// Call it first in main, before any thread starts.
void returnLargeBuffersToTheSystem();

}  // namespace varnetto
