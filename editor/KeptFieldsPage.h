#pragma once

#include "editor/EditorPage.h"

namespace varnetto {

// A page whose controls are not built yet: it carries the fields it is to
// edit from the loaded scheme to the read one unchanged.
class KeptFieldsPage final : public EditorPage {
    Q_OBJECT
  public:
    // Copies the page's fields from one scheme to another.
    using CopyFields = void (*)(const Scheme& from, Scheme& to);

    KeptFieldsPage(EditorFrame& frame, QWidget* parent, QString title, CopyFields copy);

    QString title() const override { return title_; }
    void load(const Scheme& scheme) override { loaded_ = scheme; }
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

  private:
    QString title_;
    CopyFields copy_;
    Scheme loaded_;
};

// The fields of the caption, border, stamp, enhancement and effects pages.
void copyCaptionFields(const Scheme& from, Scheme& to);
void copyBorderFields(const Scheme& from, Scheme& to);
void copyStampFields(const Scheme& from, Scheme& to);
void copyEnhancementFields(const Scheme& from, Scheme& to);
void copyEffectFields(const Scheme& from, Scheme& to);

}  // namespace varnetto
