#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QTest>

#include "engine/journal.h"
#include "tests/testsupport.h"

using engine::ChunkedText;
using engine::Journal;

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

    // A folder that cannot hold it: said once, however often it is tried.
    void failureIsSaidOnce()
    {
        QVERIFY(testsupport::writeAll(path(u"journals"_s), "not a folder"));
        Journal journal(path(u"journals"_s));
        QStringList said;
        journal.failed = [&](const QString &message) { said.append(message); };
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
