#include <QTest>

#include "source/matches.h"

using namespace Qt::StringLiterals;
namespace matches = source::matches;

// Moving between the matches of a search, without the bar: the matches are at 2-4, 10-12 and
// 20-23 ("|" marks where a selection starts and ends in the rows' names).
class MatchesTest : public QObject {
    Q_OBJECT

    const QList<source::Match> m_found{{2, 2}, {10, 2}, {20, 3}};

private slots:
    void moves_data()
    {
        QTest::addColumn<qsizetype>("start");  // of the selection
        QTest::addColumn<qsizetype>("end");
        QTest::addColumn<qsizetype>("from");      // the first found from start
        QTest::addColumn<qsizetype>("next");      // after the selection
        QTest::addColumn<qsizetype>("previous");  // before it
        QTest::addColumn<qsizetype>("at");        // the one selected
        QTest::addRow("|at the top") << qsizetype(0) << qsizetype(0) << qsizetype(0) << qsizetype(0)
                                     << qsizetype(2) << qsizetype(-1);
        QTest::addRow("|at a match's start") << qsizetype(10) << qsizetype(10) << qsizetype(1)
                                             << qsizetype(1) << qsizetype(0) << qsizetype(-1);
        QTest::addRow("|a match| selected") << qsizetype(10) << qsizetype(12) << qsizetype(1)
                                            << qsizetype(2) << qsizetype(0) << qsizetype(1);
        QTest::addRow("|part of a match| selected")
            << qsizetype(10) << qsizetype(11) << qsizetype(1) << qsizetype(2) << qsizetype(0)
            << qsizetype(-1);
        QTest::addRow("|inside| a match") << qsizetype(11) << qsizetype(11) << qsizetype(2)
                                          << qsizetype(2) << qsizetype(1) << qsizetype(-1);
        QTest::addRow("|the last| selected: round to the first")
            << qsizetype(20) << qsizetype(23) << qsizetype(2) << qsizetype(0) << qsizetype(1)
            << qsizetype(2);
        QTest::addRow("|the first| selected: round to the last")
            << qsizetype(2) << qsizetype(4) << qsizetype(0) << qsizetype(1) << qsizetype(2)
            << qsizetype(0);
        QTest::addRow("|past the last") << qsizetype(30) << qsizetype(30) << qsizetype(0)
                                        << qsizetype(0) << qsizetype(2) << qsizetype(-1);
    }
    void moves()
    {
        QFETCH(qsizetype, start);
        QFETCH(qsizetype, end);
        QTEST(matches::from(m_found, start), "from");
        QTEST(matches::next(m_found, start, end), "next");
        QTEST(matches::previous(m_found, start), "previous");
        QTEST(matches::at(m_found, start, end), "at");
        QCOMPARE(matches::from({}, start), -1);
        QCOMPARE(matches::next({}, start, end), -1);
        QCOMPARE(matches::previous({}, start), -1);
        QCOMPARE(matches::at({}, start, end), -1);
    }

    void within_data()
    {
        QTest::addColumn<qsizetype>("start");
        QTest::addColumn<qsizetype>("end");
        QTest::addColumn<qsizetype>("most");
        QTest::addColumn<QList<source::TextRange>>("marked");
        QTest::addRow("all of them") << qsizetype(0) << qsizetype(100) << qsizetype(10)
                                     << QList<source::TextRange>{{2, 4}, {10, 12}, {20, 23}};
        QTest::addRow("partly in view, either side")
            << qsizetype(3) << qsizetype(21) << qsizetype(10)
            << QList<source::TextRange>{{2, 4}, {10, 12}, {20, 23}};
        QTest::addRow("ends and starts at the edges")
            << qsizetype(4) << qsizetype(20) << qsizetype(10) << QList<source::TextRange>{{10, 12}};
        QTest::addRow("no more than most") << qsizetype(0) << qsizetype(100) << qsizetype(2)
                                           << QList<source::TextRange>{{2, 4}, {10, 12}};
        QTest::addRow("between them")
            << qsizetype(13) << qsizetype(19) << qsizetype(10) << QList<source::TextRange>{};
    }
    void within()
    {
        QFETCH(qsizetype, start);
        QFETCH(qsizetype, end);
        QFETCH(qsizetype, most);
        QTEST(matches::within(m_found, start, end, most), "marked");
    }
};

QTEST_GUILESS_MAIN(MatchesTest)
#include "tst_matches.moc"
