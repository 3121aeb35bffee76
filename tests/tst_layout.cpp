#include <QTest>

#include "form1layout.h"

using platform::TwipsRect;
using windows::layoutForm1;

Q_DECLARE_METATYPE(TwipsRect)

namespace QTest {
template <>
char *toString(const TwipsRect &r)
{
    return qstrdup(QByteArray::number(r.left) + ',' + QByteArray::number(r.top) + ',' +
                   QByteArray::number(r.width) + ',' + QByteArray::number(r.height));
}
}  // namespace QTest

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
};

void LayoutTest::layout_data()
{
    QTest::addColumn<float>("clientWidth");
    QTest::addColumn<float>("clientHeight");
    QTest::addColumn<float>("outerWidth");
    QTest::addColumn<TwipsRect>("text1");
    QTest::addColumn<TwipsRect>("webBrowser1");
    QTest::addRow("designed size, no frame")
        << 8490.f << 8310.f << 8490.f << TwipsRect{0, 720, 4235, 7210}
        << TwipsRect{4245, 720, 4235, 7210};
    QTest::addRow("frame widens the gap")
        << 8490.f << 8310.f << 8610.f << TwipsRect{0, 720, 4235, 7210}
        << TwipsRect{4305, 720, 4235, 7210};
    QTest::addRow("odd width in single precision")
        << 8495.f << 2000.f << 8495.f << TwipsRect{0, 720, 4237.5, 900}
        << TwipsRect{4247.5, 720, 4237.5, 900};
    QTest::addRow("2000 twips wider: each half 1000 wider, the pane 1000 right")
        << 10490.f << 8310.f << 10610.f << TwipsRect{0, 720, 5235, 7210}
        << TwipsRect{5305, 720, 5235, 7210};
    QTest::addRow("minimised: no negative sizes")
        << 0.f << 0.f << 0.f << TwipsRect{0, 720, 0, 0} << TwipsRect{0, 720, 0, 0};
    QTest::addRow("narrow and low")
        << 15.f << 1099.f << 135.f << TwipsRect{0, 720, 0, 0} << TwipsRect{67.5, 720, 0, 0};
}

void LayoutTest::layout()
{
    QFETCH(float, clientWidth);
    QFETCH(float, clientHeight);
    QFETCH(float, outerWidth);
    QFETCH(TwipsRect, text1);
    QFETCH(TwipsRect, webBrowser1);
    const windows::Form1Layout result = layoutForm1(clientWidth, clientHeight, outerWidth);
    QCOMPARE(result.text1, text1);
    QCOMPARE(result.webBrowser1, webBrowser1);
}

QTEST_GUILESS_MAIN(LayoutTest)
#include "tst_layout.moc"
