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

}  // namespace varnetto
