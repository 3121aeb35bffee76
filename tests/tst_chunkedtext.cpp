#include <QRandomGenerator>
#include <QTest>

#include "engine/chunkedtext.h"
#include "engine/textsnapshot.h"

using namespace Qt::StringLiterals;
using engine::ChunkedText;
using engine::TextSnapshot;

namespace {

// A text of many chunks, each of its characters telling where it stands.
QString numbered(qsizetype size)
{
    QString text;
    for (qsizetype i = 0; text.size() < size; ++i)
        text += QString::number(i) + u' ';
    return text.first(size);
}

// The same text as a plain string holds it, read every way the chunks can be read, and the
// chunks as they must be: none empty, none more than twice their size, no character cut in two.
void compare(const ChunkedText &chunks, const QString &text)
{
    QCOMPARE(chunks.size(), text.size());
    QCOMPARE(chunks.toString(), text);
    for (const QString &chunk : chunks.chunks()) {
        QVERIFY(!chunk.isEmpty() && chunk.size() <= 8192);
        QVERIFY(!chunk.back().isHighSurrogate());
    }
    const qsizetype middle = text.size() / 2;
    QCOMPARE(chunks.mid(middle / 2, middle), text.mid(middle / 2, middle));
    QCOMPARE(chunks.count(u'1', middle / 2, middle + 5000),
             QStringView(text)
                 .sliced(middle / 2, std::min(text.size(), middle + 5000) - middle / 2)
                 .count(u'1'));
    QCOMPARE(chunks.lastIndexOf(u' ', middle), text.lastIndexOf(u' ', middle - 1));
    // Found at the very start of a chunk too.
    qsizetype start = 0;
    for (const QString &chunk : chunks.chunks()) {
        QCOMPARE(chunks.lastIndexOf(chunk.front(), start + 1), start);
        start += chunk.size();
    }
    if (!text.isEmpty())
        QVERIFY(text.sliced(middle).startsWith(chunks.runAt(middle)));
}

}  // namespace

// The editor's text kept in shared chunks, and the snapshots the preview takes of it.
class ChunkedTextTest : public QObject {
    Q_OBJECT

private slots:
    void replace_data()
    {
        QTest::addColumn<qsizetype>("position");
        QTest::addColumn<qsizetype>("removed");
        QTest::addColumn<QString>("inserted");
        const auto row = [](const char *name, qsizetype at, qsizetype removed, const QString &in) {
            QTest::addRow("%s", name) << at << removed << in;
        };
        row("within a chunk", 10, 3, u"日本"_s);
        row("across chunks, the tail kept", 4090, 9000, u"xy"_s);
        row("to one character into a chunk", 4000, 4193, u"z"_s);
        row("a paste larger than a chunk", 5000, 0, numbered(20000));
        row("a paste across chunks", 4000, 200, QString(9000, u'p'));
        row("a character of two halves at the edge of a chunk", 4095, 0, u"😀"_s.repeated(5000));
        row("everything", 0, 30000, QString());
        row("at the very end", 30000, 0, u"end"_s);
        row("beyond the end, clamped", 40000, 10, u"!"_s);
    }
    void replace()
    {
        QFETCH(qsizetype, position);
        QFETCH(qsizetype, removed);
        QFETCH(QString, inserted);
        QString text = numbered(30000);
        ChunkedText chunks(text);
        compare(chunks, text);
        chunks.replace(position, removed, inserted);
        text.replace(std::min(position, text.size()), removed, inserted);
        compare(chunks, text);
    }

    // Edits of every size, from a character to more than a chunk, anywhere, emoji among them.
    void randomEdits()
    {
        QRandomGenerator random(29);
        QString text = u"😀"_s + numbered(9000);
        ChunkedText chunks(text);
        for (int step = 0; step < 300; ++step) {
            const qsizetype position = random.bounded(int(text.size()) + 1);
            qsizetype removed = random.bounded(
                int(std::min<qsizetype>(text.size() - position, step % 7 ? 50 : 12000)) + 1);
            // Never half a character.
            if (position + removed < text.size() && text[position + removed].isLowSurrogate())
                ++removed;
            if (position < text.size() && text[position].isLowSurrogate())
                continue;
            const QString inserted =
                (step % 3 ? u"ab😀"_s : numbered(random.bounded(9000))).repeated(step % 11 ? 1 : 4);
            chunks.replace(position, removed, inserted);
            text.replace(position, removed, inserted);
            QCOMPARE(chunks.toString(), text);
        }
        compare(chunks, text);
    }

    // Equal exactly when the file would hold the same text, however the parts are cut.
    void snapshotEquality_data()
    {
        QTest::addColumn<TextSnapshot>("a");
        QTest::addColumn<TextSnapshot>("b");
        QTest::addColumn<bool>("equal");
        const auto editor = [](const QStringList &parts) {
            return TextSnapshot::fromEditorChunks(parts);
        };
        const auto row = [](const char *name, const TextSnapshot &a, const TextSnapshot &b,
                            bool equal) { QTest::addRow("%s", name) << a << b << equal; };
        row("the same parts", editor({u"a"_s, u"b"_s}), editor({u"a"_s, u"b"_s}), true);
        row("a part differs", editor({u"a"_s, u"b"_s}), editor({u"a"_s, u"c"_s}), false);
        row("cut elsewhere", editor({u"ab"_s, u"c"_s}), editor({u"a"_s, u"bc"_s}), true);
        row("cut in more parts", editor({u"abc"_s}), editor({u"a"_s, u"bc"_s}), true);
        row("a line end, kept and as the file has it", editor({u"a\u2029b"_s}),
            TextSnapshot(u"a\r\nb"_s), true);
        row("the same characters, one of them a line end", editor({u"a\u2029"_s}),
            TextSnapshot(u"a\u2029"_s), false);
        row("longer", TextSnapshot(u"ab"_s), TextSnapshot(u"abc"_s), false);
    }
    void snapshotEquality()
    {
        QFETCH(TextSnapshot, a);
        QFETCH(TextSnapshot, b);
        QFETCH(bool, equal);
        QCOMPARE(a == b, equal);
        QCOMPARE(b == a, equal);
    }

    // The snapshot reads as the file has it, the same whether kept or converted.
    void snapshotReadsAsTheFile()
    {
        const TextSnapshot snapshot =
            TextSnapshot::fromEditorChunks({u"<p>\u2029"_s, u"x\ny\u2028z\r"_s, QString()});
        QCOMPARE(snapshot.toString(), u"<p>\r\nx\ny\u2028z\r"_s);
        QCOMPARE(snapshot.head(5), u"<p>\r\n"_s);
        QVERIFY(snapshot.sizeBound() >= snapshot.toString().size());
        QVERIFY(!snapshot.isEmpty());
        QVERIFY(TextSnapshot::fromEditorChunks({QString(), QString()}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ChunkedTextTest)
#include "tst_chunkedtext.moc"
