#include "app/WindowFixture.h"
#include "tests/rawsamples/DngSamples.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <vips/vips8>

using namespace varnetto;
using namespace varnetto::testing;
namespace fs = std::filesystem;

// A photographer's folder of camera files: the list shows them upright from
// their embedded previews, and a batch converts them.
class RawFolderTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void showsAndConvertsCameraFiles() {
        WindowFixture f;
        const std::vector<int> orientations{1, 6, 8};
        for (std::size_t i = 0; i < orientations.size(); ++i)
            rawsamples::writeDng({.width = 640,
                                  .height = 480,
                                  .orientation = orientations[i],
                                  .previewLongSide = 400,
                                  .seed = static_cast<int>(i)},
                                 f.pictures + "/" + std::to_string(i) + ".dng");
        QVERIFY(f.loadPictures());
        auto& list = f.list();
        QCOMPARE(list.rowCount(), 3);
        for (int row = 0; row < 3; ++row) {
            const RowFacts& facts = list.entry(row).facts;
            QVERIFY2(!facts.broken(), facts.error.c_str());
            QCOMPARE(facts.dimensionText, std::string("640 X 480"));
            const QImage cell = list.rowImage(row);
            const int left = (cell.width() - facts.pictureWidth) / 2;
            const int top = (cell.height() - facts.pictureHeight) / 2;
            auto at = [&](int x4, int y4) {
                return cell.pixelColor(left + facts.pictureWidth * x4 / 4,
                                       top + facts.pictureHeight * y4 / 4);
            };
            // Red top left, upright whatever the file's orientation.
            QVERIFY(at(1, 1).red() > 2 * at(1, 1).green() + 40);
            QVERIFY(at(3, 1).green() > 2 * at(3, 1).red());
            // The preview's lighter grey: no full decode was needed.
            QVERIFY(std::abs(at(3, 3).green() - rawsamples::kPreviewGrey) <= 8);
        }

        QVERIFY(!f.runBatchToTheEnd([&] { f.panel().startFolderBatch(f.pictures); }).isEmpty());
        // Kept in their own format, camera files are written as TIFF.
        for (int i = 0; i < 3; ++i) {
            const std::string out = f.outputFolder + "/" + std::to_string(i) + ".tif";
            QVERIFY2(fs::exists(out), out.c_str());
            const vips::VImage image = vips::VImage::new_from_file(out.c_str());
            QCOMPARE(image.width(), 640);
            QCOMPARE(image.height(), 480);
            const auto red = image.getpoint(160, 120);
            QVERIFY(red[0] > 2 * red[1] + 40);
        }
    }
};

VARNETTO_QTEST_MAIN(RawFolderTest)
#include "RawFolderTest.moc"
