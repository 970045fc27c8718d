#pragma once

#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "schemes/SchemeStore.h"
#include "support/TestSupport.h"
#include "uikit/UserDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <QTest>
#include <vips/vips8>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varnetto::testing {

// Records what the windows say and answers from a script.
class RecordingDialogs final : public UserDialogs {
  public:
    void message(QWidget*, const QString& text, MessageKind kind) override {
        messages << text;
        kinds.push_back(kind);
        if (onMessage) onMessage(text);
    }
    bool ask(QWidget*, const QString& text, MessageKind kind) override {
        questions << text;
        kinds.push_back(kind);
        return answer;
    }
    QString chooseFolder(QWidget*, const QString& title) override {
        folderTitles << title;
        return folder;
    }
    QString chooseOpenFile(QWidget*, const QString& filterText, const QString& initial) override {
        filter = filterText;
        initialName = initial;
        return file;
    }
    QString chooseSaveFile(QWidget*, const QString& filterText, const QString& initial) override {
        filter = filterText;
        initialName = initial;
        return saveFile;
    }
    bool openFolder(const QString& opened) override {
        openedFolders << opened;
        return true;
    }
    void problemList(QWidget*, const QString& summary,
                     const std::vector<ProblemEntry>& entries) override {
        problemSummaries << summary;
        problems = entries;
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont& initial) override {
        fontsOffered.push_back(initial);
        return font;
    }
    std::optional<QColor> chooseColor(QWidget*, const QColor& initial) override {
        colorsOffered.push_back(initial);
        return color;
    }

    QStringList messages;
    QStringList questions;
    QStringList folderTitles;
    QStringList problemSummaries;
    std::vector<ProblemEntry> problems;  // the last list shown
    std::vector<MessageKind> kinds;
    std::function<void(const QString&)> onMessage;
    bool answer = true;
    QString folder;
    QString file;
    QString saveFile;  // what the save picker answers
    QStringList openedFolders;
    QString filter;
    QString initialName;
    // The font and colour the pickers start with, and what they answer (none:
    // cancelled).
    std::vector<QFont> fontsOffered;
    std::vector<QColor> colorsOffered;
    std::optional<QFont> font;
    std::optional<QColor> color;
};

// A width x height picture with a gradient, written by the file's extension.
// The texts of a drop-down list's entries, in order.
inline QStringList itemsOf(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

// Picks entry row of a drop-down list as a user's click does: the entry is
// made current and the choice is announced, even when it was current already.
inline void chooseItem(QComboBox* list, int row) {
    list->setCurrentIndex(row);
    Q_EMIT list->activated(row);
}

inline void writePicture(const std::filesystem::path& path, int width, int height) {
    vips::VImage x = vips::VImage::xyz(width, height)[0];
    vips::VImage y = vips::VImage::xyz(width, height)[1];
    vips::VImage r = (x * (255.0 / std::max(1, width))).cast(VIPS_FORMAT_UCHAR);
    vips::VImage g = (y * (255.0 / std::max(1, height))).cast(VIPS_FORMAT_UCHAR);
    vips::VImage b = (r * 0 + 128).cast(VIPS_FORMAT_UCHAR);
    r.bandjoin(g)
        .bandjoin(b)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .write_to_file(path.string().c_str());
}

// An application folder with a scheme store holding schemes with these
// names, each writing into outputFolder.
inline void writeSchemeStore(const std::string& appFolder, const std::vector<std::string>& names,
                             const std::string& outputFolder) {
    std::filesystem::create_directories(appFolder + "/Schemes");
    writeBytes(appFolder + "/Schemes/Schemes.bis", "");
    SchemeStore store(appFolder);
    for (const auto& name : names) {
        Scheme scheme;
        scheme.name = name;
        scheme.outputFolder = outputFolder;
        store.append(scheme);
    }
    SilentReporter silent;
    store.save(silent);
}

}  // namespace varnetto::testing

// QTEST_MAIN with libvips started first.
#define VARNETTO_QTEST_MAIN(TestObject)          \
    int main(int argc, char** argv) {            \
        varnetto::initImaging(argv[0]);          \
        QApplication app(argc, argv);            \
        app.setAttribute(Qt::AA_Use96Dpi, true); \
        TestObject test;                         \
        return QTest::qExec(&test, argc, argv);  \
    }
