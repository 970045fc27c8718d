#include "imaging/ImagingDetail.h"

#include <dlfcn.h>
#include <vips/vector.h>
#include <vips/vips.h>

#include <mutex>

// liborc 0.4.33 keeps the code of every compiled program in one list for
// the whole process and changes that list without a lock when a program is
// freed. libvips compiles a program when an operation such as a resize is
// built and frees it when the operation ends, in whichever thread that
// happens: two workers ending resizes at once freed the same piece of the
// list twice and broke the heap. These two definitions come before liborc's
// in the process, so libvips' calls reach them, and they let one thread at a
// time into liborc's compile and free.

struct _OrcProgram;

namespace {

std::mutex orcMutex;

template <typename Function>
Function liborcOwn(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int orc_program_compile(_OrcProgram* program) {
    using Compile = int (*)(_OrcProgram*);
    static const Compile compile = liborcOwn<Compile>("orc_program_compile");
    const std::lock_guard lock(orcMutex);
    return compile(program);
}

void orc_program_free(_OrcProgram* program) {
    using Free = void (*)(_OrcProgram*);
    static const Free release = liborcOwn<Free>("orc_program_free");
    const std::lock_guard lock(orcMutex);
    release(program);
}

}  // extern "C"

namespace varnetto::detail {

void serialiseVectorPrograms() {
    // Where the program was linked so that libvips reaches liborc directly,
    // the vector code is left unused rather than used unsafely.
    const bool reachesThese =
        ::dlsym(RTLD_DEFAULT, "orc_program_free") == reinterpret_cast<void*>(&orc_program_free) &&
        ::dlsym(RTLD_DEFAULT, "orc_program_compile") ==
            reinterpret_cast<void*>(&orc_program_compile);
    const bool liborcFound = ::dlsym(RTLD_NEXT, "orc_program_free") != nullptr;
    if (!reachesThese || !liborcFound) vips_vector_set_enabled(FALSE);
}

}  // namespace varnetto::detail
