#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace varnetto {

// "常规设置": the scheme's name, output folder and naming rule, and the
// list that copies every setting of another stored scheme into the editor.
class GeneralPage final : public EditorPage {
    Q_OBJECT
  public:
    GeneralPage(EditorFrame& frame, QWidget* parent);

    QString title() const override;
    void load(const Scheme& scheme) override;
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* outputFolderEdit() const { return outputFolder_; }
    QLineEdit* renamePrefixEdit() const { return prefix_; }

  private:
    void applyRenameRule();
    void browseOutputFolder();
    void fillInheritList();
    void inherit(int index);

    QLineEdit* name_ = nullptr;
    QLineEdit* outputFolder_ = nullptr;
    QPushButton* browse_ = nullptr;
    CodedList* naming_ = nullptr;
    QLabel* prefixLabel_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLabel* startLabel_ = nullptr;
    WholeNumberEdit* startNumber_ = nullptr;
    QComboBox* inheritFrom_ = nullptr;
};

// The output folder as stored: without surrounding blanks and trailing
// slashes ("/" itself stays).
std::string storedOutputFolder(const QString& typed);

}  // namespace varnetto
