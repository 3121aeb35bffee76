#include <QFile>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QTest>

#include "engine/journal.h"
#include "tests/testsupport.h"

using engine::ChunkedText;
using engine::Journal;
using testsupport::readAll;

namespace {

// The kept form of a text: each CR LF one U+2029.
ChunkedText kept(QString text)
{
    return ChunkedText(text.replace(u"\r\n"_s, QString(QChar::ParagraphSeparator)));
}

}  // namespace

// The journal of the text not saved: what is written is what is read back, byte for byte, with
// the document's file and encoding, however it was written, and only when its program is gone.
class JournalTest : public QObject, public testsupport::TestFolder {
    Q_OBJECT

private slots:
    void init() { renew(); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("ambiguous");  // the kept form cannot tell its line ends apart
        QTest::addRow("CP932, lines ending CR LF and LF") << u"Shift_JIS"_s << false;
        QTest::addRow("EUC-JP") << u"EUC-JP"_s << false;
        QTest::addRow("a U+2029 of the text's own") << u"UTF-8"_s << true;
    }
    void roundTrip()
    {
        QFETCH(QString, encoding);
        QFETCH(bool, ambiguous);
        QString text = u"<p>日本語～①\r\n</p>\n<b>\r😀"_s;
        if (ambiguous)
            text += QChar::ParagraphSeparator;
        const QString page = path(u"page.html"_s);
        Journal journal(path(u"journals"_s));
        const auto whole = [&] {
            return Journal::Whole{kept(text), ambiguous ? std::optional(text) : std::nullopt, page,
                                  encoding};
        };
        QVERIFY(journal.write(whole));
        QTRY_VERIFY(journal.isCurrent());
        // Edits appended after the whole copy: typed, deleted, pasted across lines.
        const QList<std::tuple<qsizetype, qsizetype, QString>> edits{
            {3, 0, u"x"_s}, {0, 2, QString()}, {5, 3, u"a\u2029b\nc"_s}};
        QString before;
        for (const auto &[position, removed, inserted] : edits) {
            before = text;
            journal.edited(position, removed, inserted);
            QString keptText = kept(text).toString();
            keptText.replace(position, removed, inserted);
            text = keptText.replace(QChar::ParagraphSeparator, u"\r\n"_s);
            QVERIFY(journal.write(whole));
            QTRY_VERIFY(journal.isCurrent());
        }
        // Read while its program still holds it, as the program's own copy.
        const std::optional<engine::JournalEntry> entry = Journal::read(journal.file());
        QVERIFY(entry);
        QCOMPARE(entry->text, text);
        QCOMPARE(entry->path, page);
        QCOMPARE(entry->encoding, encoding);
        QVERIFY(QFileInfo(journal.file()).permissions() ==
                (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));
        QVERIFY(Journal::orphans(path(u"journals"_s)).isEmpty());
        // A power cut while the last edit was appended: what was whole before it comes back.
        // (Written whole each time, the other form is replaced at once or not at all.)
        if (ambiguous)
            return;
        QFile file(journal.file());
        QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(file.size() - 1));
        file.close();
        QCOMPARE(Journal::read(journal.file())->text, before);
    }

    // A real journal damaged as a power cut or a bad disk leaves it: the whole records before the
    // damage come back, and what follows is dropped and counted, never read into the text.
    void damagedJournal_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("record");    // of those written: the whole copy, then three edits
        QTest::addColumn<int>("restored");  // the text after that many records; -1: none
        QTest::addRow("whole") << QString() << 3 << 3;
        QTest::addRow("a zero-filled tail") << u"zeros"_s << 3 << 3;
        QTest::addRow("a random tail") << u"random"_s << 3 << 3;
        QTest::addRow("the last edit cut short") << u"cut"_s << 3 << 2;
        QTest::addRow("a byte flipped in the last edit") << u"flip"_s << 3 << 2;
        QTest::addRow("a byte flipped in the first edit") << u"flip"_s << 1 << 0;
        QTest::addRow("a byte flipped in the whole copy") << u"flip"_s << 0 << -1;
        QTest::addRow("an edit outside the text") << u"outside"_s << 3 << 3;
    }
    void damagedJournal()
    {
        QFETCH(QString, damage);
        QFETCH(int, record);
        QFETCH(int, restored);
        Journal journal(path(u"journals"_s));
        QString text = u"<p>控え</p>\r\n"_s;
        QStringList texts{text};
        QList<qint64> sizes;
        const auto writeNow = [&] {
            QCOMPARE(journal.writeNow([&] {
                return Journal::Whole{kept(text), {}, {}, {}};
            }),
                     std::nullopt);
            sizes.append(QFileInfo(journal.file()).size());
        };
        writeNow();
        for (const auto &[position, removed, inserted] :
             {std::tuple{3, 0, u"あ"_s}, {0, 3, QString()}, {1, 1, u"x\u2029"_s}}) {
            journal.edited(position, removed, inserted);
            text.replace(position, removed, QString(inserted).replace(u"\u2029"_s, u"\r\n"_s));
            texts.append(text);
            writeNow();
        }
        QFile file(journal.file());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        const qint64 start = record == 0 ? 0 : sizes[record - 1];
        if (damage == u"zeros"_s)
            bytes += QByteArray(4096, '\0');
        else if (damage == u"random"_s)
            for (QRandomGenerator random(7); bytes.size() < sizes.last() + 999;)
                bytes += char(random.bounded(256));
        else if (damage == u"cut"_s)
            bytes.chop(1);
        else if (damage == u"flip"_s)
            bytes[(start + sizes[record]) / 2] ^= 0x10;
        QVERIFY(file.resize(0) && file.write(bytes) == bytes.size());
        file.close();
        if (damage == u"outside"_s) {
            journal.edited(text.size() + 1, 0, u"y"_s);
            writeNow();
            bytes = readAll(journal.file());
        }
        const std::optional<engine::JournalEntry> entry = Journal::read(journal.file());
        QCOMPARE(entry.has_value(), restored >= 0);
        if (!entry)
            return;
        QCOMPARE(entry->text, texts[restored]);
        QCOMPARE(entry->dropped, bytes.size() - sizes[restored]);
    }

    // Journals the first version left, with no frame around their records, are still read, and
    // an edit outside the text ends them there too.
    void firstVersionStillRead()
    {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << quint32(0x51564a31) << qint32(1) << quint8('D') << u"/a.html"_s << u"EUC-JP"_s
            << quint8('K') << u"abc"_s << quint8('E') << qint64(1) << qint64(1) << u"X"_s
            << quint8('E') << qint64(9) << qint64(0) << u"y"_s << quint8('E') << qint64(0)
            << qint64(0) << u"z"_s;
        const std::optional<engine::JournalEntry> entry = Journal::parse(bytes);
        QVERIFY(entry);
        QCOMPARE(entry->text, u"aXc"_s);
        QCOMPARE(entry->encoding, u"EUC-JP"_s);
    }

    // A folder that cannot hold it: said once, however often it is tried.
    void failureIsSaidOnce()
    {
        QVERIFY(testsupport::writeAll(path(u"journals"_s), "not a folder"));
        Journal journal(path(u"journals"_s));
        QStringList said;
        connect(&journal, &Journal::failed, this,
                [&](const QString &message) { said.append(message); });
        for (int i = 0; i < 2; ++i) {
            journal.edited(0, 0, u"x"_s);
            QVERIFY(journal.write([] { return Journal::Whole{kept(u"x"_s), {}, {}, {}}; }));
            QTRY_VERIFY(!journal.isWriting());
        }
        QCOMPARE(said.size(), 1);
    }

    // Offered once the program that kept it is gone, its lock left behind: while it lives, the
    // round trip finds none.
    void orphans()
    {
        const QString folder = path(u"journals"_s);
        QString left;
        {
            Journal journal(folder);
            QVERIFY(journal.write([] { return Journal::Whole{kept(u"x"_s), {}, {}, {}}; }));
            QTRY_VERIFY(journal.isCurrent());
            left = journal.file();
        }
        // The lock a program that died leaves behind.
        QFile lock(left + u".lock"_s);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("2147483000\ntst_journal\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QCOMPARE(Journal::orphans(folder), QStringList{left});
    }
};

QTEST_GUILESS_MAIN(JournalTest)
#include "tst_journal.moc"
