#pragma once

#include "common/AppFolder.h"
#include "common/Reporter.h"
#include "imaging/CImageBox.h"
#include "processing/DecorationPictures.h"
#include "processing/ExistingOutput.h"
#include "schemes/Scheme.h"

#include <string>
#include <utility>
#include <vector>

namespace varnetto {

// What processing one file produced. error is empty on success; otherwise it
// names the file and the reason, and nothing was written.
struct ProcessResult {
    Bitmap image;
    std::string outputPath;  // set when saving was asked for
    std::string error;
    // On success, what the decoders said about damaged data that still
    // decoded, naming the file; empty when they said nothing.
    std::string warning;
    // Time it took, its decode included.
    double milliseconds = 0;
    SaveReport saved;  // what the save wrote, when there was one
    bool ok() const { return error.empty(); }
};

// Applies scheme to source through control and returns the processed image;
// the control holds no image afterwards. appFolder resolves named stamps and
// borders; a missing stamp is reported through reporter (once) and skipped.
// Stamps and border pieces come from decorations when given, otherwise from
// their files. A caption or stamp that falls partly outside the picture is
// still drawn and, when warnings is given, said there. Throws ImagingError
// when a pixel operation fails.
Bitmap applyScheme(CImageBox& control, const Bitmap& source, const Scheme& scheme,
                   const AppFolders& appFolder, Reporter& reporter,
                   DecorationPictures* decorations = nullptr,
                   std::vector<std::string>* warnings = nullptr);

// applyScheme as a save to outputPath applies it: a profiled source whose
// output format cannot carry its profile is converted to sRGB first.
Bitmap applySchemeFor(CImageBox& control, const Bitmap& source, const std::string& outputPath,
                      const Scheme& scheme, const AppFolders& appFolder, Reporter& reporter,
                      DecorationPictures* decorations = nullptr,
                      std::vector<std::string>* warnings = nullptr);

// The point size at which text in font has ink pixels high.
double captionPointsForHeight(CImageBox& control, CaptionFont font, const std::string& text,
                              double pixels);

// The size the resize step of scheme gives a width x height picture; the
// picture's own size when the scheme does not resize it.
std::pair<int, int> resizedSize(const Scheme& scheme, int width, int height);

// Loads sourcePath, applies scheme and, when save is set, writes the result
// under outputPath(scheme, index, sourcePath). Never throws for a bad picture:
// failures come back in the result. A caller that only wants the file saved
// passes keepImage false: the result then holds no image, and work that reads
// the picture once in order may stream it instead of decoding it whole.
// existing says how the file is put in place: Number never replaces a file
// (outputPath then names the file written), Newer gives it the source's
// change stamp as its modification time; whether to write at all is the
// caller's to decide.
ProcessResult processFile(CImageBox& control, const std::string& sourcePath, int index,
                          const Scheme& scheme, bool save, const AppFolders& appFolder,
                          Reporter& reporter, bool keepImage = true,
                          ExistingOutput existing = ExistingOutput::Replace);

// processFile for a source decoded already: applies scheme to source and
// writes the result under outputPath(scheme, index, sourcePath). Never
// throws; the result holds no image.
ProcessResult saveProcessed(CImageBox& control, const Bitmap& source, const std::string& sourcePath,
                            int index, const Scheme& scheme, const AppFolders& appFolder,
                            Reporter& reporter, DecorationPictures* decorations = nullptr);

// processFile with saving for several schemes over one decode: sourcePath is
// decoded whole once and each scheme applied to that picture, writing the
// file processFile would write for that scheme alone. One result per scheme,
// in order; the results hold no image.
std::vector<ProcessResult> processFileWithSchemes(
    CImageBox& control, const std::string& sourcePath, int index,
    const std::vector<Scheme>& schemes, const AppFolders& appFolder, Reporter& reporter,
    ExistingOutput existing = ExistingOutput::Replace);

// reason, after the source's path unless it names that file already.
std::string failureText(const std::string& sourcePath, const std::string& reason);

// True when scheme only resizes and recompresses into a format whose saver
// takes the picture once, top to bottom (JPEG, WebP, AVIF), so its source can
// be decoded top to bottom while the result is written.
bool readsSourceOnceInOrder(const Scheme& scheme, const std::string& output);

}  // namespace varnetto
