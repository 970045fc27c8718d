#pragma once

#include "common/AppFolder.h"
#include "imaging/CImageBox.h"
#include "schemes/Scheme.h"
#include "uikit/LatestRequestWorker.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

namespace varnetto {

// One finished preview: the picture for the box, or a null picture when the
// scheme could not be applied, and what the pipeline said meanwhile.
struct RenderedPreview {
    int generation = 0;
    QImage picture;
    QStringList messages;
};

// scheme without the stamp or border whose files cannot be decoded, so that
// a preview shows everything else; what was left out is said in said.
Scheme withReadableDecorations(Scheme scheme, const AppFolders& appFolder, CImageBox& control,
                               QStringList& said);

// Applies schemes to the editor's source picture on a thread of its own and
// fits the result into the preview box. Only the newest request is worth
// finishing: older waiting ones are dropped and a running one that has been
// overtaken gives up at the next step.
class PreviewRenderer : public QObject {
    Q_OBJECT
  public:
    using Shown = std::function<void(const RenderedPreview&)>;

    PreviewRenderer(Bitmap source, AppFolders appFolder, Shown shown, QObject* parent);

    // Fits the result into box, keeping its shape, or stretches it to exact
    // when that is given.
    void render(const Scheme& scheme, QSize box, int generation, QSize exact = QSize());

  private:
    Bitmap source_;
    AppFolders appFolder_;
    Shown shown_;
    // Used on the worker thread only, one job at a time.
    std::shared_ptr<CImageBox> control_ = std::make_shared<CImageBox>();
    LatestRequestWorker worker_{QStringLiteral("schemePreview")};
};

}  // namespace varnetto
