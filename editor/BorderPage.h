#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorPage.h"
#include "uikit/BackgroundJobs.h"

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace varnetto {

class PictureBox;
struct ShownPreview;

// "添加边框": a border set of the application's Borders folder or eight
// chosen pieces, adaptive or not, outside the picture or over its margins,
// with a small preview of the border on the picture.
class BorderPage final : public EditorPage {
    Q_OBJECT
  public:
    BorderPage(EditorFrame& frame, QWidget* parent);

    QString title() const override;
    void load(const Scheme& scheme) override;
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

  private:
    // What a load showed, so that a choice left as it was reads back as
    // stored.
    struct LoadedChoice {
        std::string name;
        std::int32_t kind = stored(DecorationKind::Named);
        std::array<std::string, 8> pieces;
        int index = -1;
        std::array<std::string, 8> shownPieces;
    };

    void fillSetList();
    void applyMasterRule();
    void applySelectionRule();
    void choosePieces();
    void renderBorderPreview();
    void showBorderPreview(int generation, const ShownPreview& shown);
    bool customSelected() const;
    int customIndex() const { return list_->count() - 1; }
    std::array<std::string, 8> setPieces(const QString& set) const;

    QCheckBox* master_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    QComboBox* list_ = nullptr;
    QPushButton* pieces_ = nullptr;
    QCheckBox* adaptive_ = nullptr;
    QCheckBox* inner_ = nullptr;
    QGroupBox* previewGroup_ = nullptr;
    PictureBox* preview_ = nullptr;
    std::array<std::string, 8> paths_;
    LoadedChoice loaded_;
    int generation_ = 0;
    BackgroundJobs renders_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
};

}  // namespace varnetto
