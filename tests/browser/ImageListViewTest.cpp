#include "browser/ImageListView.h"
#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"

#include <QSignalSpy>
#include <QTest>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

bool inView(const ImageListView& view, int row) {
    return view.visualRect(view.model()->index(row, 0)).intersects(view.viewport()->rect());
}

// first and last are in view, the rows just outside them are not.
bool isTheRowsInView(const ImageListView& view, int first, int last) {
    const int count = view.model()->rowCount();
    return first <= last && inView(view, first) && inView(view, last) &&
           (first == 0 || !inView(view, first - 1)) &&
           (last == count - 1 || !inView(view, last + 1));
}

}  // namespace

class ImageListViewTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // The rows the view reports are exactly those on screen, at the top, in
    // the middle and at the end, in every view mode.
    void reportsTheRowsInViewAfterScrolling_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("large icons") << int(ListViewMode::LargeIcons);
        QTest::newRow("small icons") << int(ListViewMode::SmallIcons);
        QTest::newRow("list") << int(ListViewMode::List);
        QTest::newRow("details") << int(ListViewMode::Details);
    }
    void reportsTheRowsInViewAfterScrolling() {
        QFETCH(int, mode);
        ImageListModel model(artwork::thumbnailArt());
        std::vector<std::string> names;
        for (int i = 0; i < 600; ++i) names.push_back(std::to_string(i) + ".jpg");
        model.appendPlaceholders("/pics", names);
        model.setViewMode(ListViewMode(mode));
        ImageListView view;
        view.applyViewMode(ListViewMode(mode));
        view.setModel(&model);
        view.resize(700, 500);
        QSignalSpy reports(&view, &ImageListView::visibleRowsChanged);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        auto lastReport = [&] {
            const QList<QVariant> args = reports.last();
            return std::pair(args.at(0).toInt(), args.at(1).toInt());
        };
        QTRY_VERIFY(!reports.isEmpty() && lastReport().first == 0 &&
                    isTheRowsInView(view, 0, lastReport().second));
        for (int target : {300, 599}) {
            // Rows far down can be reached once the batched layout is done.
            QTRY_VERIFY([&] {
                view.scrollTo(model.index(target), QAbstractItemView::PositionAtCenter);
                return inView(view, target);
            }());
            QTRY_VERIFY(lastReport().first <= target && lastReport().second >= target &&
                        isTheRowsInView(view, lastReport().first, lastReport().second));
            const auto [first, last] = lastReport();
            QVERIFY(first > 0);
        }
    }
};

VARNETTO_QTEST_MAIN(ImageListViewTest)
#include "ImageListViewTest.moc"
