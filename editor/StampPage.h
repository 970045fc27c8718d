#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorPage.h"
#include "uikit/BackgroundJobs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace varnetto {

class PictureBox;
class PositionRow;
class ScaleRow;

// "添加印章": a stamp picture of the application's Stamps folder or any
// picture file, placed by typed percentages or by clicking the preview, with
// a small preview of the stamp itself.
class StampPage final : public EditorPage {
    Q_OBJECT
  public:
    StampPage(EditorFrame& frame, QWidget* parent);

    QString title() const override;
    void load(const Scheme& scheme) override;
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

  private:
    // What a load showed, so that a choice left as it was reads back as
    // stored.
    struct LoadedChoice {
        std::string name;
        std::string file;
        std::string path;
        std::int32_t kind = stored(DecorationKind::Named);
        int index = -1;
        std::string shownPath;
    };

    void buildLayout();
    void fillStampList();
    void applyMasterRule();
    void applySelectionRule();
    void chooseFile();
    void showStampPreview();
    bool customSelected() const;
    int customIndex() const { return list_->count() - 1; }
    int findStamp(const std::string& name, const std::string& file) const;

    QCheckBox* master_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    QComboBox* list_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    QPushButton* browse_ = nullptr;
    PositionRow* position_ = nullptr;
    ScaleRow* scale_ = nullptr;
    QGroupBox* previewGroup_ = nullptr;
    PictureBox* preview_ = nullptr;

    std::string name_;
    std::string file_;
    std::string path_;
    LoadedChoice loaded_;
    int generation_ = 0;
    BackgroundJobs renders_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
};

}  // namespace varnetto
