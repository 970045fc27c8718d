#pragma once

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

// Applies schemes to the editor's source picture on a thread of its own and
// fits the result into the preview box. Only the newest request is worth
// finishing: older waiting ones are dropped and a running one that has been
// overtaken gives up at the next step.
class PreviewRenderer : public QObject {
    Q_OBJECT
  public:
    using Shown = std::function<void(const RenderedPreview&)>;

    PreviewRenderer(Bitmap source, std::string appFolder, Shown shown, QObject* parent);

    void render(const Scheme& scheme, QSize box, int generation);
    bool busy() const { return worker_.busy(); }

  private:
    Bitmap source_;
    std::string appFolder_;
    Shown shown_;
    // Used on the worker thread only, one job at a time.
    std::shared_ptr<CImageBox> control_ = std::make_shared<CImageBox>();
    LatestRequestWorker worker_{QStringLiteral("schemePreview")};
};

}  // namespace varnetto
