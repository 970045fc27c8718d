#pragma once

#include "app/DiskLooks.h"
#include "browser/ImageListModel.h"
#include "common/AppFolder.h"
#include "viewer/ViewerRequest.h"

#include <QImage>
#include <QObject>
#include <QPersistentModelIndex>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QItemSelectionModel;

namespace varnetto {

class PreviewLoader;
class Reporter;
class SchemeStore;

// The facts of the picture the status bar shows.
struct ShownFacts {
    std::optional<bool> locked;  // unset: the lock part stays as it is
    QString path;
    QString dimensions;
    QString size;
    QString time;
};

// What the main window's commands work on, held in one place: the scheme
// store, the rows of the image list, their selection and the current row (the
// row last selected alone, followed by its picture while rows before it go),
// and the picture shown in the status bar and the preview box: the current
// row's, or the folder tree's file. The views follow its signals.
class Session : public QObject {
    Q_OBJECT
  public:
    Session(AppFolders appFolder, const ThumbnailArt& art, QObject* parent = nullptr);
    ~Session() override;

    const AppFolders& appFolder() const { return appFolder_; }

    // None until the first load.
    SchemeStore* store() { return store_.get(); }
    // An installed program's first load copies the bundled store first.
    void reloadStore(Reporter& reporter);
    // The store's schemes were changed in place: the views follow, then the
    // store file is written.
    void keepEditedSchemes(Reporter& reporter);

    ImageListModel& rows() { return *rows_; }
    const ImageListModel& rows() const { return *rows_; }
    QItemSelectionModel& selection() { return *selection_; }
    // Selected row numbers in ascending order.
    QList<int> selectedRows() const;
    int firstSelectedRow() const;
    // -1 when there is none.
    int currentRow() const { return current_.isValid() ? current_.row() : -1; }
    // The rows as the full-screen viewer steps through them.
    std::vector<ViewerRow> viewerRows() const;
    // The picture previews and the scheme editor show when it is there: the
    // first selected row's, or the first row's; "" when there is none.
    std::string previewCandidate() const;

    // Removes rows (ascending numbers); none of them becomes current on its
    // way out.
    void removeRows(const QList<int>& rows);
    // To be called after a command changed locks or removed rows.
    void refreshLockCount();

    // The preview box's room; the current row's picture is drawn again for it.
    void setPreviewSize(QSize size);
    // A folder tree item was selected: its facts, and its picture when it is
    // a file, once the disk has told.
    void showTreeSelection(const std::string& path);

  Q_SIGNALS:
    void schemesChanged();
    void lockedCountChanged(int count);
    void shownFactsChanged(const varnetto::ShownFacts& facts);
    // The preview box waits for the picture at path, or shows nothing ("").
    void previewPathChanged(const QString& path);
    void previewReady(const QImage& picture);
    // The picture the box waits for is not there.
    void previewMissing(const QString& path);

  private:
    void selectionChanged();
    void rowsAboutToGo(int first, int last);
    void rowsGone();
    void showCurrentFacts();
    void showPlaceholderFacts(int row);
    void requestPreview();
    void showPicture(const QString& path);
    void clearShownPicture();

    AppFolders appFolder_;
    std::unique_ptr<SchemeStore> store_;
    ImageListModel* rows_ = nullptr;
    QItemSelectionModel* selection_ = nullptr;
    QPersistentModelIndex current_;
    bool currentGoing_ = false;
    bool removing_ = false;  // no current row and no previews while rows go
    QSize previewSize_;
    QString previewPath_;
    std::unique_ptr<PreviewLoader> previewLoader_;
    DiskLooks treeLooks_;
};

}  // namespace varnetto
