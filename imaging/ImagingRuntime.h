#pragma once

// What a program sets up once before any imaging work, and how libvips
// shares the cores with the program's own workers.

namespace varnetto {

// Starts libvips and ImageMagick for the process; later calls do nothing.
// Call it from one thread before any imaging work. Throws ImagingError when
// libvips cannot start.
void initImaging(const char* argv0);

// Decoding leaves many large buffers behind; from now on they go back to the
// system at once instead of staying in the allocator's per-thread pools.
// Call it first in main, before any thread starts.
void returnLargeBuffersToTheSystem();

// Decoded pictures fill buffers of hundreds of megabytes, and on a system
// that grants transparent huge pages only on request, faulting them in page
// by page costs a fifth of a camera RAW conversion. glibc requests them only
// when told at start-up, so the program starts itself again, once, so told.
// Call it first in main; returns when nothing is to be done or the restart
// failed.
void startWithHugePages(char** argv);

// Threads libvips gives one image operation.
int imagingThreads();
// 0 or less: one per core.
void setImagingThreads(int threads);

// While alive, the libvips thread policy for that many workers each
// processing its own image: several workers get one libvips thread each
// (libvips' own pools would only compete with them for the cores); a single
// worker keeps them all. Policies may overlap; the thread count in force
// before the first comes back when the last one ends.
class ImagingThreadPolicy {
  public:
    explicit ImagingThreadPolicy(int workers);
    ~ImagingThreadPolicy();
    ImagingThreadPolicy(const ImagingThreadPolicy&) = delete;
    ImagingThreadPolicy& operator=(const ImagingThreadPolicy&) = delete;

  private:
    bool engaged_ = false;
};

}  // namespace varnetto
