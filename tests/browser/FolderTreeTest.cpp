#include "browser/DriveList.h"
#include "browser/FolderScan.h"
#include "browser/FolderTree.h"
#include "support/UiTestSupport.h"

#include <QContextMenuEvent>
#include <QSignalSpy>

#include <filesystem>
#include <fstream>

using namespace varnetto;
using namespace varnetto::testing;
namespace fs = std::filesystem;

namespace {

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

// A tree whose only drive is a temporary folder.
struct TreeFixture {
    TreeFixture() {
        tree.setDriveSource([this] { return listing; });
        listing.drives = {{"Data(" + QString::fromStdString(root.str()) + ")", root.str()}};
        tree.resize(400, 600);
    }
    bool populate() {
        tree.populate();
        return settle();
    }
    bool settle() {
        return QTest::qWaitFor([this] { return !tree.reading(); }, 20000);
    }
    QModelIndex child(const QModelIndex& parent, const QString& label) const {
        for (int row = 0; row < tree.model()->rowCount(parent); ++row) {
            const QModelIndex index = tree.model()->index(row, 0, parent);
            if (index.data().toString() == label) return index;
        }
        return {};
    }
    QModelIndex drive() const { return tree.model()->index(0, 0); }
    QModelIndex expand(const QModelIndex& index) {
        tree.expand(index);
        settle();
        return index;
    }
    QStringList labels(const QModelIndex& parent) const {
        QStringList out;
        for (int row = 0; row < tree.model()->rowCount(parent); ++row) {
            out << tree.model()->index(row, 0, parent).data().toString();
        }
        return out;
    }

    TempDir root;
    DriveListing listing;
    FolderTree tree;
};

}  // namespace

class FolderTreeTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void picturesAreKnownByTheTextFromTheLastDot() {
        const struct {
            const char* name;
            bool picture;
        } cases[] = {
            {"photo.JPEG", true}, {"scan.tiff", true},      {"x.jpgold", true},
            {"a.TIF", true},      {"notes.txt", false},     {"README", false},
            {"jpg", false},       {"photo.jpg.txt", false}, {"shot.Wbm", true},
            {"phone.HEIC", true}, {"web.webp", true},       {"c.heif", true},
            {"d.Avif", true},     {"e.jxl", true},          {"f.jx", false},
            {"g.web", false},
        };
        for (const auto& c : cases) QVERIFY2(isTreeImageName(c.name) == c.picture, c.name);
    }

    void foldersComeFirstAndBothSortIgnoringCase() {
        TreeFixture f;
        for (const char* folder : {"c", "a", "B"}) fs::create_directories(f.root.path() / folder);
        for (const char* file : {"z.png", "Photo.JPEG", "scan.tiff", "notes.txt", "README",
                                 "x.jpgold", "A.gif", "b.PNG"}) {
            touch(f.root.path() / file);
        }
        QVERIFY(f.populate());
        QCOMPARE(f.labels({}), QStringList{"Data(" + QString::fromStdString(f.root.str()) + ")"});
        f.expand(f.drive());
        QCOMPARE(f.labels(f.drive()), (QStringList{"a", "B", "c", "A.gif", "b.PNG", "Photo.JPEG",
                                                   "scan.tiff", "x.jpgold", "z.png"}));
        QCOMPARE(f.tree.lastError(), QString());
    }

    void itemPathsOfDrivesFoldersAndFiles() {
        TreeFixture f;
        touch(f.root.path() / "trip" / "day1.jpg");
        f.listing.drives.push_back({"disk(/)", "/"});
        QVERIFY(f.populate());
        QCOMPARE(f.tree.itemPath(f.drive()), f.root.str());
        const QModelIndex trip = f.child(f.expand(f.drive()), "trip");
        QCOMPARE(f.tree.itemPath(trip), f.root.str("trip"));
        QCOMPARE(f.tree.itemPath(f.child(f.expand(trip), "day1.jpg")), f.root.str("trip/day1.jpg"));
        // The root keeps its slash, and its folders get no second one.
        const QModelIndex slash = f.tree.model()->index(1, 0);
        QCOMPARE(f.tree.itemPath(slash), std::string("/"));
        f.expand(slash);
        const QModelIndex first = f.tree.model()->index(0, 0, slash);
        QCOMPARE(f.tree.itemPath(first), "/" + first.data().toString().toStdString());
    }

    // Hidden entries stay out of sight, as in a file manager, and a folder
    // shows an expand button only where it holds something the tree lists.
    void expandButtonsOnlyWhereAnEntryIsListed() {
        TreeFixture f;
        const struct {
            const char* folder;
            std::vector<const char*> files;  // "sub/" makes a folder
            bool expandable;
        } cases[] = {
            {"withPicture", {"a.jpg"}, true},     {"withFolder", {"sub/"}, true},
            {"onlyText", {"notes.txt"}, false},   {"onlyHidden", {".secret.jpg"}, false},
            {"hiddenFolder", {".cache/"}, false}, {"empty", {}, false},
        };
        for (const auto& c : cases) {
            fs::create_directories(f.root.path() / c.folder);
            for (const std::string file : c.files) {
                if (file.ends_with('/'))
                    fs::create_directories(f.root.path() / c.folder / file);
                else
                    touch(f.root.path() / c.folder / file);
            }
        }
        fs::create_directories(f.root.path() / ".config" / "app");
        touch(f.root.path() / ".hidden.jpg");
        QVERIFY(f.populate());
        f.expand(f.drive());
        QCOMPARE(f.labels(f.drive()), (QStringList{"empty", "hiddenFolder", "onlyHidden",
                                                   "onlyText", "withFolder", "withPicture"}));
        for (const auto& c : cases) {
            QVERIFY2(f.tree.model()->hasChildren(f.child(f.drive(), c.folder)) == c.expandable,
                     c.folder);
        }
        // Found empty when read (its picture went meanwhile), it loses the button.
        const QModelIndex gone = f.child(f.drive(), "withPicture");
        fs::remove(f.root.path() / "withPicture" / "a.jpg");
        f.expand(gone);
        QCOMPARE(f.tree.model()->rowCount(gone), 0);
        QVERIFY(!f.tree.model()->hasChildren(gone));
    }

    void collapsingDropsChildrenAndExpandingReadsTheDiskAgain() {
        TreeFixture f;
        touch(f.root.path() / "one.jpg");
        QVERIFY(f.populate());
        f.expand(f.drive());
        QCOMPARE(f.labels(f.drive()), QStringList{"one.jpg"});
        f.tree.collapse(f.drive());
        QCOMPARE(f.tree.model()->rowCount(f.drive()), 0);
        QVERIFY(f.tree.model()->hasChildren(f.drive()));
        touch(f.root.path() / "two.jpg");
        f.expand(f.drive());
        QCOMPARE(f.labels(f.drive()), (QStringList{"one.jpg", "two.jpg"}));
    }

    void vanishedFoldersAreRecordedAndRefreshRecovers() {
        TreeFixture f;
        touch(f.root.path() / "album" / "a.jpg");
        QVERIFY(f.populate());
        const QModelIndex album = f.child(f.expand(f.drive()), "album");
        fs::remove_all(f.root.path() / "album");
        f.expand(album);
        QCOMPARE(f.tree.model()->rowCount(album), 0);
        QCOMPARE(f.tree.lastError(), QString("Error Gettting SystemFileInfo!"));

        // The drive itself goes: it is left out of the next refresh.
        const fs::path moved = f.root.path().string() + "-moved";
        fs::rename(f.root.path(), moved);
        QVERIFY(f.populate());
        QCOMPARE(f.tree.model()->rowCount(), 0);
        QCOMPARE(f.tree.lastError(), QString("读取系统文件信息出错!"));
        fs::rename(moved, f.root.path());
        touch(f.root.path() / "album" / "b.jpg");
        QVERIFY(f.populate());
        const QModelIndex back = f.child(f.expand(f.drive()), "album");
        QCOMPARE(f.labels(f.expand(back)), QStringList{"b.jpg"});
    }

    void anUnreadableDriveListLeavesTheTreeEmpty() {
        TreeFixture f;
        f.listing = {true, {}};
        QVERIFY(f.populate());
        QCOMPARE(f.tree.model()->rowCount(), 0);
        QCOMPARE(f.tree.lastError(), QString("获取逻辑磁盘字符串出错!"));
    }

    void largeFoldersArriveInBatchesBehindALoadingItem() {
        TreeFixture f;
        fs::create_directories(f.root.path() / "big");
        for (int i = 0; i < 3000; ++i) {
            std::ofstream(f.root.path() / "big" / ("p" + std::to_string(10000 + i) + ".jpg"));
        }
        QVERIFY(f.populate());
        const QModelIndex big = f.child(f.expand(f.drive()), "big");
        QSignalSpy inserted(f.tree.model(), &QAbstractItemModel::rowsInserted);
        f.tree.expand(big);
        QCOMPARE(f.labels(big), QStringList{"加载中..."});
        QVERIFY(f.settle());
        QCOMPARE(f.tree.model()->rowCount(big), 3000);
        QCOMPARE(f.labels(big).first(), QString("p10000.jpg"));
        QCOMPARE(f.labels(big).last(), QString("p12999.jpg"));
        QVERIFY2(inserted.count() > 2, QByteArray::number(inserted.count()));

        // Collapsed while it is read: what is still coming is dropped.
        f.tree.collapse(big);
        f.tree.expand(big);
        f.tree.collapse(big);
        QVERIFY(f.settle());
        QTest::qWait(200);
        QCOMPARE(f.tree.model()->rowCount(big), 0);
    }

    void rightClickOnALabelSelectsItAndAsksForTheMenu() {
        TreeFixture f;
        touch(f.root.path() / "a.jpg");
        QVERIFY(f.populate());
        const QModelIndex file = f.child(f.expand(f.drive()), "a.jpg");
        f.tree.show();
        QSignalSpy menu(&f.tree, &FolderTree::contextMenuWanted);
        QSignalSpy selected(&f.tree, &FolderTree::selectedPathChanged);
        const QRect cell = f.tree.visualRect(file);
        auto rightClick = [&](QPoint at) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                    f.tree.viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(f.tree.viewport(), &event);
        };
        rightClick({cell.left() + 20, cell.center().y()});
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu[0][0].value<std::string>(), f.root.str("a.jpg"));
        QCOMPARE(selected.count(), 1);
        QCOMPARE(f.tree.currentPath(), f.root.str("a.jpg"));
        rightClick({cell.right() - 2, cell.center().y()});
        QCOMPARE(menu.count(), 1);
    }

    void drivesStartWithTheRootAndTheHomeFolder() {
        const std::vector<MountEntry> mounts = {
            {"/proc", "proc", "proc", {}},
            {"/media/u/STICK", "/dev/sdb1", "vfat", "STICK"},
            {"/", "overlay", "overlay", {}},
            {"/sys/fs/cgroup", "cgroup2", "cgroup2", {}},
            {"/snap/core/42", "/dev/loop3", "squashfs", {}},
            {"/run/user/1000", "tmpfs", "tmpfs", {}},
            {"/run/media/u/DVD", "/dev/sr0", "iso9660", "DVD"},
            {"/data", "/dev/sda3", "ext4", {}},
            {"/home/u", "/dev/sda2", "ext4", "Home"},
            {"/mnt/share", "server:/share", "nfs4", {}},
            {"/data", "/dev/sda3", "ext4", {}},
        };
        const auto kinds = [](const MountEntry& m) {
            if (m.fsType == "iso9660") return DriveKind::Optical;
            return m.device == "/dev/sdb1" ? DriveKind::Removable : DriveKind::Fixed;
        };
        QStringList labels;
        for (const Drive& drive : arrangeDrives(mounts, "/home/u", kinds)) labels << drive.label;
        QCOMPARE(labels,
                 (QStringList{"overlay(/)", "Home(/home/u)", "可移动磁盘(/media/u/STICK)",
                              "光盘(/run/media/u/DVD)", "sda3(/data)", "share(/mnt/share)"}));
        // A home folder that is no mount of its own is listed by its name.
        const auto plain = arrangeDrives({{"/", "/dev/vda", "ext4", {}}}, "/root", kinds);
        QCOMPARE(plain.size(), size_t(2));
        QCOMPARE(plain[0].label, QString("vda(/)"));
        QCOMPARE(plain[1].label, QString("root(/root)"));
        QCOMPARE(plain[1].kind, DriveKind::Home);
    }

    void removableAndOpticalMediaAreToldByTheKernel() {
        TempDir sys;
        // Disks as the kernel shows them: a partition's entry lies in its disk's.
        touch(sys.path() / "devices/sdb/sdb1/dev");
        std::ofstream(sys.path() / "devices/sdb/removable") << "1\n";
        touch(sys.path() / "devices/sda/sda1/dev");
        std::ofstream(sys.path() / "devices/sda/removable") << "0\n";
        fs::create_directories(sys.path() / "class");
        for (const char* name : {"sda", "sdb"}) {
            fs::create_directory_symlink(sys.path() / "devices" / name,
                                         sys.path() / "class" / name);
        }
        for (const char* name : {"sda1", "sdb1"}) {
            fs::create_directory_symlink(
                sys.path() / "devices" / (std::string(name).substr(0, 3)) / name,
                sys.path() / "class" / name);
        }
        const std::string block = sys.str("class");
        QCOMPARE(driveKindOf({"/m", "/dev/sdb1", "vfat", {}}, block), DriveKind::Removable);
        QCOMPARE(driveKindOf({"/m", "/dev/sdb", "vfat", {}}, block), DriveKind::Removable);
        QCOMPARE(driveKindOf({"/m", "/dev/sda1", "ext4", {}}, block), DriveKind::Fixed);
        QCOMPARE(driveKindOf({"/m", "/dev/sr0", "auto", {}}, block), DriveKind::Optical);
        QCOMPARE(driveKindOf({"/m", "/dev/sdc1", "udf", {}}, block), DriveKind::Optical);
        QCOMPARE(driveKindOf({"/m", "server:/x", "nfs", {}}, block), DriveKind::Fixed);
    }
};

VARNETTO_QTEST_MAIN(FolderTreeTest)
#include "FolderTreeTest.moc"
