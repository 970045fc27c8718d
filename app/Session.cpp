#include "app/Session.h"

#include "browser/PreviewLoader.h"
#include "browser/RowReader.h"
#include "common/RegularFile.h"
#include "schemes/SchemeStore.h"
#include "uikit/Artwork.h"

#include <QItemSelectionModel>

namespace varnetto {

namespace {

// What the disk tells of a folder tree item.
struct TreeItemFacts {
    RowFacts facts;
    bool file = false;
};

TreeItemFacts treeItemFacts(const std::string& path) {
    TreeItemFacts found;
    if (const auto slash = path.rfind('/'); slash != std::string::npos)
        readFileFacts(path.substr(0, slash), path.substr(slash + 1), found.facts);
    found.file = isNonFolder(path);
    return found;
}

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

Session::Session(AppFolders appFolder, const ThumbnailArt& art, QObject* parent)
    : QObject(parent), appFolder_(std::move(appFolder)), treeLooks_(DiskLooks::Cursor::None, this) {
    rows_ = new ImageListModel(art, this);
    rows_->setObjectName("imageRows");
    selection_ = new QItemSelectionModel(rows_, this);
    treeLooks_.setObjectName("treeItemLooks");
    connect(selection_, &QItemSelectionModel::selectionChanged, this, &Session::selectionChanged);
    connect(rows_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsAboutToGo(first, last); });
    connect(rows_, &QAbstractItemModel::rowsRemoved, this, &Session::rowsGone);
    connect(rows_, &QAbstractItemModel::modelReset, this, &Session::clearShownPicture);

    // A preview that arrives after its picture has gone from the list (or
    // after another was asked for) is not shown.
    previewLoader_ = std::make_unique<PreviewLoader>();
    connect(previewLoader_.get(), &PreviewLoader::previewReady, this,
            [this](const QString& path, const QImage& picture) {
                if (path == previewPath_) Q_EMIT previewReady(picture);
            });
    connect(previewLoader_.get(), &PreviewLoader::previewFailed, this, [this](const QString& path) {
        if (path == previewPath_) Q_EMIT previewReady(artwork::brokenPicture());
    });
    connect(previewLoader_.get(), &PreviewLoader::previewMissing, this,
            [this](const QString& path) {
                if (path == previewPath_) Q_EMIT previewMissing(path);
            });
}

Session::~Session() = default;

void Session::reloadStore(Reporter& reporter) {
    if (!store_) {
        prepareUserStore(appFolder_, reporter);
        store_ = std::make_unique<SchemeStore>(appFolder_);
    }
    store_->load(reporter);
    Q_EMIT schemesChanged();
}

void Session::keepEditedSchemes(Reporter& reporter) {
    Q_EMIT schemesChanged();
    if (store_) store_->save(reporter);
}

QList<int> Session::selectedRows() const {
    return varnetto::selectedRows(*selection_);
}

int Session::firstSelectedRow() const {
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

std::vector<ViewerRow> Session::viewerRows() const {
    std::vector<ViewerRow> rows;
    rows.reserve(static_cast<size_t>(rows_->rowCount()));
    for (int row = 0; row < rows_->rowCount(); ++row) {
        const ImageEntry& entry = rows_->entry(row);
        rows.push_back({rows_->rowPath(row), entry.lockState == kLocked, entry.facts.dimensionText,
                        entry.facts.sizeText, entry.facts.timeText});
    }
    return rows;
}

std::string Session::previewCandidate() const {
    const int row = std::max(firstSelectedRow(), 0);
    return row < rows_->rowCount() ? rows_->rowPath(row) : std::string();
}

void Session::removeRows(const QList<int>& rows) {
    const bool wasRemoving = removing_;
    removing_ = true;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) rows_->removeRowAt(*it);
    removing_ = wasRemoving;
}

void Session::refreshLockCount() {
    Q_EMIT lockedCountChanged(rows_->lockedCount());
}

void Session::setPreviewSize(QSize size) {
    previewSize_ = size;
    requestPreview();
}

void Session::showTreeSelection(const std::string& path) {
    // The path shows at once; what the disk tells follows.
    Q_EMIT shownFactsChanged({std::nullopt, text(path), {}, {}, {}});
    treeLooks_.look<TreeItemFacts>([path] { return treeItemFacts(path); },
                                   [this, path](TreeItemFacts found) {
                                       Q_EMIT shownFactsChanged({std::nullopt,
                                                                 text(path),
                                                                 {},
                                                                 text(found.facts.sizeText),
                                                                 text(found.facts.timeText)});
                                       if (found.file) showPicture(text(path));
                                   });
}

void Session::selectionChanged() {
    // Rows leaving the selection one by one as they are removed never
    // become the current row on their way out.
    if (removing_) return;
    const QList<int> rows = selectedRows();
    if (rows.size() != 1) return;
    const QModelIndex index = rows_->index(rows.first());
    if (current_ == index) return;
    current_ = index;
    treeLooks_.cancel();
    if (!rows_->isRead(index.row())) {
        showPlaceholderFacts(index.row());
        return;
    }
    requestPreview();
    showCurrentFacts();
}

void Session::rowsAboutToGo(int first, int last) {
    currentGoing_ = current_.isValid() && current_.row() >= first && current_.row() <= last;
}

void Session::rowsGone() {
    // The shown picture goes with its row.
    if (!currentGoing_) return;
    currentGoing_ = false;
    clearShownPicture();
}

void Session::showCurrentFacts() {
    const int row = currentRow();
    const ImageEntry& entry = rows_->entry(row);
    Q_EMIT shownFactsChanged({entry.lockState == kLocked, text(rows_->rowPath(row)),
                              text(entry.facts.dimensionText), text(entry.facts.sizeText),
                              text(entry.facts.timeText)});
}

void Session::showPlaceholderFacts(int row) {
    // What the file tells before its picture is read; the size comes with it.
    const ImageEntry& entry = rows_->entry(row);
    Q_EMIT shownFactsChanged({false,
                              text(rows_->rowPath(row)),
                              {},
                              text(entry.facts.sizeText),
                              text(entry.facts.timeText)});
}

void Session::requestPreview() {
    if (removing_ || !current_.isValid()) return;
    const int first = firstSelectedRow();
    if (first < 0) return;
    const QString path = text(rows_->rowPath(first));
    if (!path.isEmpty()) showPicture(path);
}

void Session::showPicture(const QString& path) {
    previewPath_ = path;
    Q_EMIT previewPathChanged(path);
    previewLoader_->request(path, previewSize_);
}

void Session::clearShownPicture() {
    treeLooks_.cancel();
    Q_EMIT shownFactsChanged({false, {}, {}, {}, {}});
    previewPath_.clear();
    Q_EMIT previewPathChanged({});
}

}  // namespace varnetto
