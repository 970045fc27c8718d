#pragma once

#include <memory>
#include <string>
#include <vector>

namespace varnetto {

namespace detail {
class DiagnosticLog;
}

// While one lives on a thread, what libvips and its decoders say about the
// images this thread works on is kept here: errors become the reasons of
// that thread's failures, warnings (damaged data that still decoded) are
// collected for its caller, and nothing reaches stderr. This holds for what
// libvips' own worker threads say while computing pictures this thread
// loaded, and whatever other threads do at the same time. Scopes nest; an
// inner one hands its warnings to the outer one when it ends.
class ImageDiagnostics {
  public:
    ImageDiagnostics();
    ~ImageDiagnostics();
    ImageDiagnostics(const ImageDiagnostics&) = delete;
    ImageDiagnostics& operator=(const ImageDiagnostics&) = delete;

    // Distinct warnings so far, in the order first seen.
    std::vector<std::string> warnings() const;

  private:
    std::shared_ptr<detail::DiagnosticLog> log_;
    detail::DiagnosticLog* outer_;
};

// The self-test of the mechanism above, whose program definitions of
// libvips' error functions must take precedence over the library's own: a
// libvips linked otherwise (-Bsymbolic-functions, static, LTO, a release
// that calls them internally) would send reasons to the wrong picture or to
// none, without a sign. raise makes libvips report an error inside the
// library; true when it lands in the scope open around it and nowhere else.
bool errorsLandInTheirScope(void (*raise)());
// A libvips operation that fails inside the library (a crop outside its
// picture), the error the self-test looks for.
void raiseKnownLibraryError();
// The self-test's result, run once by initImaging. When false, a batch runs
// its pictures one at a time, so that every reason still has one owner.
bool errorsStayWithTheirPicture();

}  // namespace varnetto
