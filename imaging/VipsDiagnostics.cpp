// libvips 8.14 keeps one error buffer for the whole process: with several
// images decoding at once, one thread reads (and clears) another's error, and
// the JPEG reader even logs the whole buffer as its own warnings. Its
// warnings go to stderr, from whichever thread happened to decode.
//
// This file gives each image its own record instead. The error buffer
// functions below replace libvips' own (the program's definitions take
// precedence over the library's, which calls them through its symbol table):
// on a thread working for an image they use that image's DiagnosticLog, and
// anywhere else they hand over to libvips. libvips' worker threads learn
// whose image they compute from attributed(), which wraps a loaded picture
// so that pulling its pixels runs under the loader's log. Warnings of the
// "VIPS" log domain land in the current log too.
//
// libvips 8.14 has no error buffer per thread to use instead, so the
// mechanism stays; whether the precedence holds depends on how libvips was
// built and linked, and is checked once at start-up (errorsLandInTheirScope).
// Where it does not hold, batches run one picture at a time: libvips' own
// buffer then holds one picture's reasons only.

#include "imaging/ImageDiagnostics.h"

#include "imaging/ImagingDetail.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <utility>

namespace varnetto::detail {

// Everything said about one image's work, from any thread.
class DiagnosticLog : public std::enable_shared_from_this<DiagnosticLog> {
  public:
    void addError(const std::string& line) {
        std::lock_guard lock(mutex_);
        errors_ += line;
    }
    std::string errors() const {
        std::lock_guard lock(mutex_);
        return errors_;
    }
    std::string takeErrors() {
        std::lock_guard lock(mutex_);
        return std::exchange(errors_, {});
    }
    void clearErrors() {
        std::lock_guard lock(mutex_);
        errors_.clear();
    }
    void addWarning(std::string_view text) {
        std::lock_guard lock(mutex_);
        addWarningLines(text);
    }
    // Error text left behind by work that succeeded was a warning: the JPEG
    // reader files its warnings there.
    void settle() {
        std::lock_guard lock(mutex_);
        addWarningLines(errors_);
        errors_.clear();
    }
    std::vector<std::string> warnings() {
        settle();
        std::lock_guard lock(mutex_);
        return warnings_;
    }
    void sourceFailed(const std::string& path) {
        std::lock_guard lock(mutex_);
        if (failedSource_.empty()) failedSource_ = path;
    }
    std::string takeFailedSource() {
        std::lock_guard lock(mutex_);
        return std::exchange(failedSource_, {});
    }

  private:
    // What libvips says about sound files. libheif asks whether the file
    // goes on past its last box, and libvips files the answer "no" as a
    // failed seek beyond the end; libvips takes the colours of a HEIF from
    // its ICC profile or as sRGB, never from the nclx box.
    static bool isNotice(std::string_view line) {
        if (line.ends_with("ignoring nclx profile")) return true;
        const size_t at = line.rfind("bad seek to ");
        if (at == std::string_view::npos) return false;
        const std::string_view offset = line.substr(at + 12);
        return !offset.empty() && offset.find_first_not_of("0123456789") == std::string_view::npos;
    }

    void addWarningLines(std::string_view text) {
        for (std::string& line : distinctLines(text)) {
            // libvips' count of the warnings it then lists.
            if (line.rfind("read gave ", 0) == 0 && line.ends_with(" warnings")) continue;
            if (isNotice(line)) continue;
            // A damaged picture may repeat one warning thousands of times.
            if (warnings_.size() < kKeptWarnings &&
                std::find(warnings_.begin(), warnings_.end(), line) == warnings_.end())
                warnings_.push_back(std::move(line));
        }
    }

    static constexpr size_t kKeptWarnings = 8;
    mutable std::mutex mutex_;
    std::string errors_;
    std::vector<std::string> warnings_;
    std::string failedSource_;
};

namespace {

// The log of the image the calling thread works for, if any.
thread_local DiagnosticLog* current = nullptr;
// libvips' error_freeze is per process; here it is per thread.
thread_local int frozen = 0;
// What vips_error_buffer() last handed out on this thread.
thread_local std::string bufferCopy;

// libvips' own functions, for threads that work for no image.
template <class Function>
Function library(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}
const char* libraryBuffer() {
    static const auto function = library<const char* (*)()>("vips_error_buffer");
    return function();
}
char* libraryBufferCopy() {
    static const auto function = library<char* (*)()>("vips_error_buffer_copy");
    return function();
}
void libraryClear() {
    static const auto function = library<void (*)()>("vips_error_clear");
    function();
}
void libraryVerror(const char* domain, const char* format, va_list ap) {
    static const auto function =
        library<void (*)(const char*, const char*, va_list)>("vips_verror");
    function(domain, format, ap);
}

std::string formatted(const char* format, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, ap);
    text.resize(static_cast<size_t>(length));
    return text;
}

void logHandler(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
    // Without an image to belong to, a library warning has no one to tell.
    if (current && message) current->addWarning(message);
}

// A picture whose pixels are computed under the log of the thread that
// loaded it, on whichever thread libvips computes them.
struct Attribution {
    Attribution(std::shared_ptr<DiagnosticLog> log, std::string source)
        : log(std::move(log)), source(std::move(source)) {
        uses.store(0, std::memory_order_release);
    }
    // Made on one thread, read on libvips' threads and freed on whichever
    // drops the picture last: libvips orders these through locks of its own,
    // and the atomic says so where a thread checker can see it.
    void beginUse() const { uses.load(std::memory_order_acquire); }
    void endUse() const { uses.fetch_add(1, std::memory_order_release); }
    void beforeRelease() const { uses.load(std::memory_order_acquire); }

    std::shared_ptr<DiagnosticLog> log;
    std::string source;  // the file decoded, or empty
    mutable std::atomic<unsigned> uses;
};

int attributedGenerate(VipsRegion* out, void* sequence, void*, void* b, gboolean*) {
    auto* input = static_cast<VipsRegion*>(sequence);
    const Attribution& attribution = *static_cast<const Attribution*>(b);
    attribution.beginUse();
    DiagnosticLog* previous = current;
    current = attribution.log.get();
    const VipsRect* area = &out->valid;
    int result = vips_region_prepare(input, area);
    if (result == 0) {
        result = vips_region_region(out, input, area, area->left, area->top);
    } else if (!attribution.source.empty()) {
        attribution.log->sourceFailed(attribution.source);
    }
    current = previous;
    attribution.endUse();
    return result;
}

void releaseAttribution(VipsImage*, gpointer data) {
    auto* attribution = static_cast<Attribution*>(data);
    attribution->beforeRelease();
    delete attribution;
}

}  // namespace

ErrorScope::ErrorScope() {
    if (current) return;
    own_ = std::make_shared<DiagnosticLog>();
    current = own_.get();
}

ErrorScope::~ErrorScope() {
    if (own_ && current == own_.get()) current = nullptr;
}

void installDiagnostics() {
    g_log_set_handler("VIPS",
                      static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                      logHandler, nullptr);
}

std::string takeUnattributedErrors() {
    char* text = libraryBufferCopy();
    std::string taken = text ? text : "";
    g_free(text);
    return taken;
}

std::string takeFailedSource() {
    return current ? current->takeFailedSource() : std::string();
}

void settleWarnings() {
    if (current) current->settle();
}

Bitmap attributed(const Bitmap& image, const std::string& source) {
    if (!current) return image;
    VipsImage* in = image.get_image();
    VipsImage* out = vips_image_new();
    auto* attribution = new Attribution{current->shared_from_this(), source};
    g_signal_connect(out, "close", G_CALLBACK(releaseAttribution), attribution);
    g_object_ref(in);
    vips_object_local(out, in);
    if (vips_image_pipelinev(out, VIPS_DEMAND_STYLE_THINSTRIP, in, nullptr) ||
        vips_image_generate(out, vips_start_one, attributedGenerate, vips_stop_one, in,
                            attribution)) {
        g_object_unref(out);
        throw vips::VError();
    }
    return Bitmap(out, vips::STEAL);
}

}  // namespace varnetto::detail

namespace varnetto {

ImageDiagnostics::ImageDiagnostics()
    : log_(std::make_shared<detail::DiagnosticLog>()), outer_(detail::current) {
    detail::current = log_.get();
}

ImageDiagnostics::~ImageDiagnostics() {
    detail::current = outer_;
    if (outer_)
        for (const std::string& warning : log_->warnings()) outer_->addWarning(warning);
}

std::vector<std::string> ImageDiagnostics::warnings() const {
    return log_->warnings();
}

namespace {

// The nickname of the operation raiseKnownLibraryError fails, which libvips
// puts before its (translated) reason.
constexpr const char* kKnownErrorDomain = "extract_area";
std::atomic<bool> attributionWorks{true};

}  // namespace

void raiseKnownLibraryError() {
    VipsImage* pixel = nullptr;
    VipsImage* out = nullptr;
    if (vips_black(&pixel, 1, 1, nullptr) != 0) return;
    if (vips_crop(pixel, &out, 5, 5, 1, 1, nullptr) == 0) g_object_unref(out);
    g_object_unref(pixel);
}

bool errorsLandInTheirScope(void (*raise)()) {
    bool inScope = false;
    {
        const ImageDiagnostics scope;
        raise();
        inScope = detail::current->errors().find(kKnownErrorDomain) != std::string::npos;
        detail::current->clearErrors();
    }
    const char* library = detail::libraryBuffer();
    const bool leaked = library && std::strstr(library, kKnownErrorDomain) != nullptr;
    if (leaked) detail::libraryClear();
    return inScope && !leaked;
}

bool errorsStayWithTheirPicture() {
    return attributionWorks.load();
}

namespace detail {

void checkErrorAttribution() {
    attributionWorks = errorsLandInTheirScope(raiseKnownLibraryError);
}

}  // namespace detail

}  // namespace varnetto

// libvips' error buffer, kept per image where a thread works for one.
extern "C" {

const char* vips_error_buffer(void) {
    using varnetto::detail::current;
    if (!current) return varnetto::detail::libraryBuffer();
    varnetto::detail::bufferCopy = current->errors();
    return varnetto::detail::bufferCopy.c_str();
}

char* vips_error_buffer_copy(void) {
    using varnetto::detail::current;
    if (!current) return varnetto::detail::libraryBufferCopy();
    return g_strdup(current->takeErrors().c_str());
}

void vips_error_clear(void) {
    using varnetto::detail::current;
    if (!current) return varnetto::detail::libraryClear();
    current->clearErrors();
}

void vips_error_freeze(void) {
    ++varnetto::detail::frozen;
}

void vips_error_thaw(void) {
    if (varnetto::detail::frozen > 0) --varnetto::detail::frozen;
}

void vips_verror(const char* domain, const char* format, va_list ap) {
    using namespace varnetto::detail;
    if (frozen > 0) return;
    if (!current) return libraryVerror(domain, format, ap);
    std::string line = domain ? std::string(domain) + ": " : std::string();
    line += formatted(format, ap);
    current->addError(line + "\n");
}

void vips_error(const char* domain, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    vips_verror(domain, format, ap);
    va_end(ap);
}

void vips_verror_system(int error, const char* domain, const char* format, va_list ap) {
    vips_verror(domain, format, ap);
    vips_error("unix error", "%s", std::strerror(error));
}

void vips_error_system(int error, const char* domain, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    vips_verror_system(error, domain, format, ap);
    va_end(ap);
}

void vips_error_g(GError** error) {
    static const GQuark domain = g_quark_from_static_string("libvips");
    std::string text = vips_error_buffer();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    g_set_error(error, domain, -1, "%s", text.c_str());
    vips_error_clear();
}

void vips_g_error(GError** error) {
    if (!error || !*error) return;
    vips_error("glib", "%s\n", (*error)->message);
    g_error_free(*error);
    *error = nullptr;
}

}  // extern "C"
