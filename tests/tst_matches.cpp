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
        // The selection's start and end; then the match found from its start, the next after
        // it, the one before it, and the one it is.
        QTest::addColumn<QList<qsizetype>>("row");
        QTest::addRow("|at the top") << QList<qsizetype>{0, 0, 0, 0, 2, -1};
        QTest::addRow("|at a match's start") << QList<qsizetype>{10, 10, 1, 1, 0, -1};
        QTest::addRow("|a match| selected") << QList<qsizetype>{10, 12, 1, 2, 0, 1};
        QTest::addRow("|part of a match| selected") << QList<qsizetype>{10, 11, 1, 2, 0, -1};
        QTest::addRow("|inside| a match") << QList<qsizetype>{11, 11, 2, 2, 1, -1};
        QTest::addRow("|the last| selected: round to the first")
            << QList<qsizetype>{20, 23, 2, 0, 1, 2};
        QTest::addRow("|the first| selected: round to the last")
            << QList<qsizetype>{2, 4, 0, 1, 2, 0};
        QTest::addRow("|past the last") << QList<qsizetype>{30, 30, 0, 0, 2, -1};
    }
    void moves()
    {
        QFETCH(QList<qsizetype>, row);
        const qsizetype start = row[0], end = row[1];
        QCOMPARE(
            (QList<qsizetype>{matches::from(m_found, start), matches::next(m_found, start, end),
                              matches::previous(m_found, start), matches::at(m_found, start, end)}),
            row.sliced(2));
        // Without matches, nowhere to go.
        QCOMPARE((QList<qsizetype>{matches::from({}, start), matches::next({}, start, end),
                                   matches::previous({}, start), matches::at({}, start, end)}),
                 QList<qsizetype>(4, -1));
    }

    void within_data()
    {
        QTest::addColumn<QList<qsizetype>>("view");  // start, end, at most
        QTest::addColumn<QList<source::TextRange>>("marked");
        const QList<source::TextRange> all{{2, 4}, {10, 12}, {20, 23}};
        QTest::addRow("all of them") << QList<qsizetype>{0, 100, 10} << all;
        QTest::addRow("partly in view, either side") << QList<qsizetype>{3, 21, 10} << all;
        QTest::addRow("ends and starts at the edges")
            << QList<qsizetype>{4, 20, 10} << QList<source::TextRange>{{10, 12}};
        QTest::addRow("no more than most") << QList<qsizetype>{0, 100, 2} << all.first(2);
        QTest::addRow("between them") << QList<qsizetype>{13, 19, 10} << QList<source::TextRange>{};
    }
    void within()
    {
        QFETCH(QList<qsizetype>, view);
        QTEST(matches::within(m_found, view[0], view[1], view[2]), "marked");
    }
};

QTEST_GUILESS_MAIN(MatchesTest)
#include "tst_matches.moc"
