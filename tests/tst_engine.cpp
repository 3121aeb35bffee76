#include <fcntl.h>
#include <sys/stat.h>
#include <QDir>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QStringEncoder>

#include "engine/loadgate.h"
#include "engine/previewfile.h"
#include "engine/refreshpolicy.h"
#include "engine/textcodec.h"
#include "engine/textfile.h"
#include "platform/folders.h"
#include "platform/systemerror.h"
#include "tests/testsupport.h"

using engine::FileError;
using testsupport::readAll;
using testsupport::writeAll;

namespace {
enum class Trouble { None, FileSizeLimit, FullDisk, ReadOnlyDisk };
}
Q_DECLARE_METATYPE(Trouble)

// The file format, encodings and file failures; the preview file; the refresh policy.
class EngineTest : public QObject, public testsupport::TestFolder {
    Q_OBJECT

private slots:
    void readAndSaveAgain_data()
    {
        QTest::addColumn<QByteArray>("bytes");  // or <missing>, <folder>, <huge>
        QTest::addColumn<QString>("encoding");  // empty: refused
        QTest::addColumn<QString>("text");      // refused: what the message says
        const QString page = u"<p>日本語</p>\r\n"_s, bom = u"\ufeff"_s;
        const QString unknown = u"文字コードを判別できません"_s;
        QTest::addRow("empty file") << QByteArray() << u"UTF-8"_s << QString();
        QTest::addRow("last line without one") << "a\r\nb"_ba << u"UTF-8"_s << u"a\r\nb\r\n"_s;
        QTest::addRow("lone LF stays inside the line") << "x\ny"_ba << u"UTF-8"_s << u"x\ny\r\n"_s;
        QTest::addRow("lone CR ends a line") << "\ra\rb"_ba << u"UTF-8"_s << u"\r\na\r\nb\r\n"_s;
        QTest::addRow("CR then CR LF") << "a\r\r\nb"_ba << u"UTF-8"_s << u"a\r\n\r\nb\r\n"_s;
        QTest::addRow("LF CR") << "a\n\rb"_ba << u"UTF-8"_s << u"a\n\r\nb\r\n"_s;
        QTest::addRow("UTF-8") << page.toUtf8() << u"UTF-8"_s << page;
        // Beyond one encoding slice, with a surrogate pair across its edge.
        QTest::addRow("long text") << QByteArray(256 * 1024 - 1, 'a') + "\xf0\x9f\x98\x80"
                                   << u"UTF-8"_s << QString(256 * 1024 - 1, u'a') + u"😀\r\n"_s;
        QTest::addRow("UTF-8 with its mark")
            << "\xef\xbb\xbf" + page.toUtf8() << u"UTF-8"_s << bom + page;
        QTest::addRow("UTF-16LE with its mark")
            << QByteArray(QStringEncoder(QStringConverter::Utf16LE).encode(bom + page))
            << u"UTF-16LE"_s << bom + page;
        QTest::addRow("UTF-16BE with its mark")
            << QByteArray(QStringEncoder(QStringConverter::Utf16BE).encode(bom + page))
            << u"UTF-16BE"_s << bom + page;
        // Wave dash, NEC row 13, IBM extensions as Windows writes them, and the other
        // look-alikes where CP932 and plain Shift_JIS part ways.
        QTest::addRow("CP932 without a declaration")
            << "<p>\x81\x60\x87\x40\x87\x8a\xfb\xfc\xfa\x40\x81\xca\x81\x5f\x81\x7c</p>\r\n"_ba
            << u"Shift_JIS"_s << u"<p>～①㈱髙ⅰ￢＼－</p>\r\n"_s;
        QTest::addRow("CP932 declaring Shift_JIS")
            << "<meta charset=\"Shift_JIS\">\x93\xfa\x96\x7b\r\n"_ba << u"Shift_JIS"_s
            << u"<meta charset=\"Shift_JIS\">日本\r\n"_s;
        QTest::addRow("EUC-JP declared by http-equiv")
            << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">\xc6\xfc"_ba
            << u"EUC-JP"_s
            << u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">日\r\n"_s;
        QTest::addRow("ISO-2022-JP, all ASCII, declared")
            << "<meta charset=iso-2022-jp>\x1b$BF|K\\\x1b(B\r\n"_ba << u"ISO-2022-JP"_s
            << u"<meta charset=iso-2022-jp>日本\r\n"_s;
        QTest::addRow("missing file") << "<missing>"_ba << QString() << u"見つかりません"_s;
        QTest::addRow("a folder") << "<folder>"_ba << QString() << u"フォルダーです"_s;
        QTest::addRow("larger than the editor takes") << "<huge>"_ba << QString() << u"64 MB"_s;
        // Its first page is mapped to nothing: reading it fails as a failing drive does.
        QTest::addRow("a read that fails") << "<unreadable>"_ba << QString() << u"読み込めません"_s;
        QTest::addRow("no encoding reads it") << "ok\x81\x20\xff"_ba << QString() << unknown;
        QTest::addRow("invalid after a UTF-8 mark")
            << "\xef\xbb\xbf\x93\xfa"_ba << QString() << unknown;
        QTest::addRow("odd byte after a UTF-16 mark")
            << QByteArray("\xff\xfe<\0p", 5) << QString() << unknown;
        QTest::addRow("lone surrogate in UTF-16")
            << QByteArray("\xff\xfe\x00\xd8", 4) << QString() << unknown;
        QTest::addRow("Latin-1 declared, read as Windows writes it")
            << "<meta charset=iso-8859-1>\x93q\x94\r\n"_ba << u"windows-1252"_s
            << u"<meta charset=iso-8859-1>“q”\r\n"_s;
        // Found by fuzzing: ISO-2022-JP read a kanji that it cannot write, so the page did
        // not save; all ASCII, it is UTF-8 as well.
        QTest::addRow("ISO-2022-JP with a kanji it cannot write")
            << "<meta charset=iso-2022-jp>\r\n\x1b$BF=|Kso"_ba << u"UTF-8"_s
            << u"<meta charset=iso-2022-jp>\r\n\x1b$BF=|Kso\r\n"_s;
        QTest::addRow("declared, but invalid in it")
            << "<meta charset=euc-jp>\xc6\xfc\xcb\xff"_ba << QString() << unknown;
    }
    // A stylesheet or script reads its encoding as a browser reads it: a byte-order mark, then a
    // stylesheet's own @charset, then the page's encoding (EUC-JP here), then UTF-8; it saves
    // back in it.
    void stylesheetsAndScripts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::newRow("@charset")
            << u"a.css"_s << "@charset \"Shift_JIS\";\r\np::after { content: \"\x93\xfa\"; }"_ba
            << u"Shift_JIS"_s;
        QTest::newRow("@charset spelt otherwise is none")
            << u"b.css"_s << "@CHARSET \"Shift_JIS\"; \xc6\xfc"_ba << u"EUC-JP"_s;
        QTest::newRow("a UTF-16 label means UTF-8")
            << u"c.css"_s << "@charset \"utf-16\"; \xe6\x97\xa5"_ba << u"UTF-8"_s;
        QTest::newRow("a <meta> is no stylesheet's")
            << u"d.css"_s << "/* <meta charset=shift_jis> */ \xc6\xfc"_ba << u"EUC-JP"_s;
        QTest::newRow("a script in its page's")
            << u"e.js"_s << "var s = '\xc6\xfc';"_ba << u"EUC-JP"_s;
        QTest::newRow("a mark over the page's")
            << u"f.js"_s << "\xef\xbb\xbfvar s;"_ba << u"UTF-8"_s;
        QTest::newRow("invalid in the page's")
            << u"g.mjs"_s << "var s = '\xe6\x97\xa5';"_ba << u"UTF-8"_s;
        // Found by fuzzing: once saved, the bytes of a UTF-16 page's script without a mark read
        // as UTF-16, another text.
        QTest::newRow("a UTF-16 page's, without a mark")
            << u"h.js"_s << "<\0\0\r\r<\r\0em"_ba << u"UTF-8"_s;
    }
    void stylesheetsAndScripts()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QVERIFY(writeAll(path(name), bytes));
        const QString page = name == u"h.js" ? u"UTF-16BE"_s : u"EUC-JP"_s;
        const engine::ReadText read = engine::ReadTextFile(path(name), page);
        QTEST(read.encoding, "encoding");
        QVERIFY(!engine::WriteTextFile(path(name), read.text, read.encoding));
        // Read again, the same text, with the line end saving adds.
        const engine::ReadText again = engine::ReadTextFile(path(name), page);
        QCOMPARE(again.encoding, read.encoding);
        QCOMPARE(again.text, read.text + u"\r\n"_s);
        if (!bytes.contains('\r'))
            QCOMPARE(readAll(path(name)), bytes + "\r\n\r\n");
    }

    // Bytes that their encoding reads, but writes otherwise, are told on opening, with the
    // first such character and its line; bytes that come back as they are, are not.
    void openingSaysWhatSavingChanges_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("said");
        QTest::addRow("CP932, IBM's kanji where NEC put them")
            << "<p>a\r\n\xed\x40</p>\r\n"_ba << u"2 行目の「纊」"_s;
        QTest::addRow("CP932, a numeral in IBM's row")
            << "<p>\xfa\x4a</p>\r\n"_ba << u"1 行目の「Ⅰ」"_s;
        QTest::addRow("ISO-2022-JP, JIS Roman")
            << "<meta charset=iso-2022-jp>\r\n\x1b(Jabc\x1b(B\r\n"_ba << u"2 行目の「a」"_s;
        QTest::addRow("CP932 as Windows writes it")
            << "<p>\x87\x54\xfa\x5c</p>\r\n"_ba << QString();
        QTest::addRow("UTF-8") << "<p>\xe6\x97\xa5</p>\r\n"_ba << QString();
        // Found by fuzzing: saving ends each lone CR in CR LF, which pushed the charset past
        // the prescan's 1024 bytes, and the file saved no longer opened.
        QTest::addRow("a charset that saving pushes further")
            << QByteArray(990, '\r') + "<meta charset=iso-8859-1>\xff\r\n"
            << QString();
    }
    void openingSaysWhatSavingChanges()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        QVERIFY(writeAll(path(u"page.html"_s), bytes));
        const engine::ReadText read = engine::ReadTextFile(path(u"page.html"_s));
        QVERIFY(!read.error);
        QVERIFY2(said.isEmpty() ? read.notice.isEmpty() : read.notice.startsWith(said),
                 qPrintable(read.notice));
        // Saved, the text is the same, and the bytes now come back.
        QVERIFY(!engine::WriteTextFile(path(u"page.html"_s), read.text, read.encoding));
        const engine::ReadText again = engine::ReadTextFile(path(u"page.html"_s));
        QCOMPARE(again.text, read.text + u"\r\n"_s);
        QCOMPARE(again.notice, QString());
    }

    // The charset a page declares, found as HTML's prescan finds it, by the encoding standard's
    // labels; none where a browser finds none.
    void prescan_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("encoding");
        const auto row = [](const char *name, const QByteArray &head, const QString &encoding) {
            QTest::addRow("%s", name) << head << encoding;
        };
        row("charset", "<meta charset=\"utf-8\">", u"UTF-8"_s);
        row("in a comment", "<!-- <meta charset=euc-jp> --><meta charset=shift_jis>",
            u"Shift_JIS"_s);
        row("a comment that ends at once", "<!--><meta charset=euc-jp>", u"EUC-JP"_s);
        row("content without http-equiv",
            "<meta name=x content=\"charset=euc-jp\"><meta http-equiv=\"Content-Style-Type\" "
            "content=\"text/css; charset=euc-jp\">",
            QString());
        row("content after http-equiv, reversed and quoted",
            "<meta content=\"text/html; charset='EUC-JP'\"\nhttp-equiv=Content-Type>", u"EUC-JP"_s);
        row("a line break after meta", "<meta\r\ncharset=euc-jp>", u"EUC-JP"_s);
        row("a slash after meta", "<meta/charset=euc-jp>", u"EUC-JP"_s);
        row("no space after meta", "<metacharset=euc-jp>", QString());
        row("the first of two charsets", "<meta charset=euc-jp charset=shift_jis>", u"EUC-JP"_s);
        row("an unknown label, then another tag", "<meta charset=bogus><meta charset=euc-jp>",
            u"EUC-JP"_s);
        row("inside another tag's value", "<p title=\"<meta charset=euc-jp>\"><meta charset=sjis>",
            u"Shift_JIS"_s);
        row("in a script's text", "<script>s = '<meta charset=euc-jp>'</script>", u"EUC-JP"_s);
        row("ISO-8859-1", "<meta charset=ISO-8859-1>", u"windows-1252"_s);
        row("latin1", "<meta charset=latin1>", u"windows-1252"_s);
        row("us-ascii", "<meta charset=\" us-ascii \">", u"windows-1252"_s);
        row("x-sjis", "<meta charset=x-sjis>", u"Shift_JIS"_s);
        row("UTF-16 is read as UTF-8", "<meta charset=utf-16le>", u"UTF-8"_s);
        row("x-user-defined",
            "<meta http-equiv=content-type content=\"text/html;charset=x-user-defined\">",
            u"windows-1252"_s);
        row("the tag cut off", "<meta charset=euc-jp", QString());
        row("past 1024 bytes", QByteArray(1010, ' ') + "<meta charset=euc-jp>", QString());
    }
    void prescan()
    {
        QFETCH(QByteArray, head);
        QTEST(engine::prescanEncoding(head), "encoding");
        // A text is measured in the bytes of its file: 340 kanji are 1020 bytes in UTF-8.
        const QString before = QString(340, u'日');
        QCOMPARE(engine::declaredEncoding(before + QString::fromLatin1(head), u"Shift_JIS"_s),
                 head.size() + 680 <= 1024 ? engine::prescanEncoding(head) : QString());
        QCOMPARE(engine::declaredEncoding(before + QString::fromLatin1(head)), QString());
    }

    // Saved again, a document is its text and the CR LF the format adds, in its own encoding.
    void readAndSaveAgain()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        const QString file = bytes == "<unreadable>"
                                 ? u"/proc/self/mem"_s
                                 : path(QString::fromLatin1(QTest::currentDataTag()));
        if (bytes == "<folder>")
            QVERIFY(QDir().mkpath(file));
        else if (bytes == "<huge>")
            QVERIFY(writeAll(file, {}) && QFile(file).resize(65 * 1024 * 1024));  // sparse
        else if (bytes != "<missing>" && bytes != "<unreadable>")
            QVERIFY(writeAll(file, bytes));
        const engine::ReadText read = engine::ReadTextFile(file);
        if (encoding.isEmpty()) {
            QVERIFY(read.error && read.text.isEmpty());
            const QString message = read.error->message();
            QVERIFY2(message.contains(file) && message.contains(text), qPrintable(message));
            return;
        }
        QVERIFY(!read.error);
        QCOMPARE(read.encoding, encoding);
        QCOMPARE(read.text, text);
        QVERIFY(!engine::WriteTextFile(file, read.text, read.encoding));
        QCOMPARE(readAll(file),
                 QByteArray(QStringEncoder(encoding.toLatin1()).encode(text + u"\r\n"_s)));
    }

    void writeFailures_data()
    {
        QTest::addColumn<QString>("name");  // below the test's folder
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<QString>("says");  // each part, between "…", in the message
        const Trouble none = Trouble::None;
        const QString utf8 = u"UTF-8"_s, big(100000, u'x');
        QTest::addRow("below a regular file")
            << u"plain.txt/a.html"_s << u"x"_s << utf8 << none << u"フォルダーではないもの"_s;
        QTest::addRow("missing folder")
            << u"nowhere/a.html"_s << u"x"_s << utf8 << none << u"見つかりません"_s;
        QTest::addRow("name of a folder")
            << u"folder"_s << u"x"_s << utf8 << none << u"フォルダーです"_s;
        QTest::addRow("unpaired surrogate") << u"keep.html"_s << u"a"_s + QChar(0xd800) + u"b"_s
                                            << utf8 << none << u"1 行目の文字…&#xD800;"_s;
        QTest::addRow("emoji in a CP932 page")
            << u"keep.html"_s << u"<p>日本</p>\r\n😀"_s << u"Shift_JIS"_s << none
            << u"2 行目の文字「😀」は文字コード Shift_JIS で表せない…&#x1F600;"_s;
        QTest::addRow("file size limit")
            << u"keep.html"_s << big << utf8 << Trouble::FileSizeLimit << u"大きすぎます"_s;
        QTest::addRow("full disk")
            << u"disk/keep.html"_s << big << utf8 << Trouble::FullDisk << u"空き容量が足りません"_s;
        QTest::addRow("read-only file system")
            << u"disk/keep.html"_s << u"x"_s << utf8 << Trouble::ReadOnlyDisk << u"読み取り専用"_s;
    }
    // Every failure names the file and its reason, and leaves the earlier file whole with
    // nothing beside it.
    void writeFailures()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(Trouble, trouble);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QVERIFY(writeAll(dir.filePath(u"plain.txt"_s), "keep"));
        QVERIFY(QDir(dir.path()).mkpath(u"folder"_s));
        std::optional<testsupport::SmallDisk> disk;
        if (trouble == Trouble::FullDisk || trouble == Trouble::ReadOnlyDisk) {
            disk.emplace(dir.filePath(u"disk"_s), 32);
            if (!disk->error.isEmpty())
                QSKIP(qPrintable(u"no file system of the test's own here: "_s + disk->error));
        }
        const QString target = dir.filePath(name), folder = QFileInfo(target).path();
        const QString earlier = engine::JoinPath(folder, u"keep.html"_s);
        if (QFileInfo(folder).isDir())
            QVERIFY(writeAll(earlier, "<p>earlier</p>\r\n"));
        if (trouble == Trouble::ReadOnlyDisk)
            QVERIFY(disk->makeReadOnly());
        const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);
        const qsizetype openFiles = QDir(u"/proc/self/fd"_s).count();
        std::optional<testsupport::FullDisk> limit;
        if (trouble == Trouble::FileSizeLimit)
            limit.emplace();
        const std::optional<FileError> error = engine::WriteTextFile(target, text, encoding);
        limit.reset();
        QVERIFY(error);
        // Nothing is left open either: a failing refresh on every keystroke would soon run out.
        QCOMPARE(QDir(u"/proc/self/fd"_s).count(), openFiles);
        const QString message = error->message();
        bool saysAll = message.contains(target);
        for (const QString &part : says.split(u'…'))
            saysAll = saysAll && message.contains(part);
        QVERIFY2(saysAll, qPrintable(message));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), before);
        if (QFileInfo(folder).isDir())
            QCOMPARE(readAll(earlier), "<p>earlier</p>\r\n");
        QCOMPARE(readAll(dir.filePath(u"plain.txt"_s)), QByteArray("keep"));
    }

    // A pipe, like a device, cannot be replaced by a file: it is written to, and stays a pipe;
    // what cannot be encoded is refused there too.
    void specialFileIsWrittenNotReplaced()
    {
        const QByteArray fifo = QFile::encodeName(path(u"pipe"_s));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QVERIFY(!engine::WriteTextFile(path(u"pipe"_s), u"<p>"_s, u"UTF-8"_s));
        QVERIFY(engine::WriteTextFile(path(u"pipe"_s), u"a"_s + QChar(0xd800), u"UTF-8"_s));
        char bytes[16] = {};
        const ssize_t got = ::read(reader, bytes, sizeof bytes);
        ::close(reader);
        QCOMPARE(QByteArray(bytes, int(std::max<ssize_t>(got, 0))), QByteArray("<p>\r\n"));
        struct stat status {};
        QVERIFY(::lstat(fifo.constData(), &status) == 0 && S_ISFIFO(status.st_mode));
    }

    // A saved file keeps its permissions; saving through a link replaces, as a whole, the file
    // it names: rewritten in place, a failure would leave half a file.
    void savingKeepsModeAndLinks()
    {
        const QString real = path(u"real.html"_s), link = path(u"link.html"_s);
        QVERIFY(writeAll(real, "old") && QFile::link(real, link));
        QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
        const auto inode = [&] {
            struct stat status {};
            return ::stat(QFile::encodeName(real).constData(), &status) == 0 ? status.st_ino : 0;
        };
        const auto before = inode();
        QVERIFY(!engine::WriteTextFile(link, u"new"_s, u"UTF-8"_s));
        QVERIFY(QFileInfo(link).isSymLink() && inode() != before);
        QCOMPARE(readAll(real), "new\r\n");
        QCOMPARE(QFileInfo(real).permissions() & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

    // Every reason the table knows is Japanese; any other still says which error it was.
    void reasonsAreJapanese()
    {
        for (int code : {ENOSPC, EDQUOT, EROFS, EACCES, EPERM, ENOENT, ENOTDIR, EISDIR,
                         ENAMETOOLONG, EMFILE, ENFILE, EIO, EFBIG, ELOOP, EBUSY, ENXIO, ENOMEM}) {
            const QString reason = platform::systemErrorReason(code);
            QVERIFY2(!reason.contains(QRegularExpression(u"[A-Za-z]|エラー番号"_s)),
                     qPrintable(reason));
        }
        QVERIFY(platform::systemErrorReason(4321).contains(u"エラー番号 4321"_s));
    }

    void folders()
    {
        QCOMPARE(platform::folderChain(u"/a/b/"_s), (QStringList{u"/"_s, u"/a"_s, u"/a/b"_s}));
        QCOMPARE(platform::folderChain(u"/"_s), QStringList{u"/"_s});
        QCOMPARE(platform::folderChain(u"C:/Web/x"_s),
                 (QStringList{u"C:/"_s, u"C:/Web"_s, u"C:/Web/x"_s}));
        const QList<platform::Volume> volumes{
            {u"/"_s, {}}, {u"/home/u"_s, {}}, {u"/mnt/usb"_s, {}}};
        QCOMPARE(platform::volumeOf(volumes, u"/home/u/docs"_s), u"/home/u"_s);
        QCOMPARE(platform::volumeOf(volumes, u"/mnt/usb"_s), u"/mnt/usb"_s);
        QCOMPARE(platform::volumeOf(volumes, u"/mnt/usbstick"_s), u"/"_s);
        QVERIFY(QDir(path()).mkpath(u"locked"_s));
        QVERIFY(QFile::setPermissions(path(u"locked"_s), QFile::ReadOwner | QFile::ReadUser));
        const platform::Listing locked =
            testsupport::asAPerson([&] { return platform::listSubfolders(path(u"locked"_s)); });
        QVERIFY(locked.error && locked.error->reason.contains(u"読み取る権限がありません"_s));
        QVERIFY(QDir(path()).mkpath(u"list"_s));
        for (const QString &name : {u"10.html"_s, u"B.html"_s, u"9.html"_s, u"a.html"_s})
            QVERIFY(writeAll(path(u"list/"_s + name), {}));
        QCOMPARE(platform::listFiles(path(u"list"_s), u"*.html"_s).names,
                 (QStringList{u"9.html"_s, u"10.html"_s, u"a.html"_s, u"B.html"_s}));
        // Only the places a person keeps files: not /proc, /sys, /dev and the like.
        const QList<platform::Volume> listed = platform::volumesAmong({QStorageInfo(u"/proc"_s)});
        QVERIFY(listed.value(0).rootPath == u"/"_s && listed.last().rootPath != u"/proc"_s);
    }

    void previewFallsBackToAPrivateFolder()
    {
        QVERIFY(writeAll(path(u"plain.txt"_s), ""));
        testsupport::RecordingPane pane;
        const QString blocked = path(u"plain.txt/program"_s), own = path(u"private/preview"_s);
        engine::PreviewFile preview(pane, blocked, own);
        QVERIFY(!preview.RefreshPreview(u"<p>x</p>"_s));
        const QString fallback = engine::JoinPath(own, u"一時.html"_s);
        QCOMPARE(pane.navigations, QStringList{fallback});
        QCOMPARE(readAll(fallback), "<p>x</p>\r\n");
        QCOMPARE(QFileInfo(own).permissions() & 0x7077,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Neither a link in its place nor a folder that cannot be made will do.
        QVERIFY(QDir(path()).mkpath(u"elsewhere"_s));
        QVERIFY(QFile::link(path(u"elsewhere"_s), path(u"private/link"_s)));
        for (const QString &unusable : {path(u"private/link"_s), path(u"plain.txt/private"_s)}) {
            testsupport::RecordingPane failing;
            engine::PreviewFile nowhere(failing, blocked, unusable);
            QVERIFY(nowhere.RefreshPreview(u"x"_s));
            QCOMPARE(failing.failures.size(), 1);
            QVERIFY(failing.navigations.isEmpty() && nowhere.previewPath().isEmpty());
        }
        QVERIFY(QDir(path(u"elsewhere"_s)).isEmpty());
    }

    // A large text is written on a thread of its own: one write at a time, the latest text
    // taking the place of one still waiting, the pane told only of a whole file, a failure
    // still shown, the editor's chunks written with CR LF and lone LF.
    void largePreviewIsWrittenAside()
    {
        testsupport::RecordingPane pane;
        pane.readsFiles = true;
        engine::PreviewFile preview(pane, path(), QString());
        const QString large(engine::PreviewFile::kWriteHere, u'x');
        for (int i = 0; i < 5; ++i)
            QVERIFY(!preview.RefreshPreview(QString::number(i) + large));
        QVERIFY(preview.isWriting() && pane.contents.isEmpty());
        QTRY_VERIFY(!preview.isWriting());
        QCOMPARE(pane.contents,
                 (QList<QByteArray>{"0" + large.toUtf8() + "\r\n", "4" + large.toUtf8() + "\r\n"}));
        preview.RefreshPreview(
            engine::TextSnapshot::fromEditorChunks({large, u"a\u2029b\nc\u00a0"_s}));
        QTRY_COMPARE(pane.contents.size(), 3);
        QCOMPARE(pane.contents.last(), large.toUtf8() + "a\r\nb\nc\u00a0\r\n"_ba);
        preview.setDocument(QString(), u"Shift_JIS"_s);
        preview.RefreshPreview(large + u"\r\n😀"_s);
        QTRY_COMPARE(pane.contents.size(), 4);
        QVERIFY(pane.contents.last().endsWith("\r\n&#x1F600;\r\n") &&
                pane.warnings.last().startsWith(u"2: 「😀」"_s));
        // A failure found aside reaches the pane too.
        QVERIFY(writeAll(path(u"plain.txt"_s), ""));
        engine::PreviewFile blocked(pane, path(u"plain.txt"_s), QString());
        blocked.RefreshPreview(large);
        QTRY_COMPARE(pane.failures.size(), 1);
        QVERIFY(blocked.lastFailed());
        // Quitting waits for no write: the one under way is given up, never half written.
        QVERIFY(QDir().mkpath(path(u"quit"_s)));
        std::make_unique<engine::PreviewFile>(pane, path(u"quit"_s), QString())
            ->RefreshPreview(QString(20 * 1024 * 1024, u'y'));
        const QFileInfo left(path(u"quit/一時.html"_s));
        QVERIFY(!left.exists() || left.size() == 20 * 1024 * 1024 + 2);
        QCOMPARE(QDir(path(u"quit"_s)).entryList(QDir::Files | QDir::Hidden).size(),
                 int(left.exists()));
    }

    // Written as the page will be read: in the charset it declares, else the document's own.
    void previewIsWrittenInThePagesEncoding()
    {
        testsupport::RecordingPane pane;
        engine::PreviewFile preview(pane, path(), path(u"unused"_s));
        QVERIFY(!preview.RefreshPreview(u"日本"_s));
        preview.setDocument(path(u"docs"_s), u"Shift_JIS"_s);
        QCOMPARE(pane.documentFolder, path(u"docs"_s));
        QVERIFY(!preview.RefreshPreview(u"日本"_s));
        const QString utf8 = u"<meta charset=\"utf-8\">日本"_s;
        QVERIFY(!preview.RefreshPreview(utf8));
        QCOMPARE(pane.encodings, (QStringList{u"UTF-8"_s, u"Shift_JIS"_s, u"UTF-8"_s}));
        // What the encoding cannot hold is written as its reference, and told, with its line.
        QVERIFY(!preview.RefreshPreview(u"<p title=\"😀\">\r\n😀</p>"_s));
        QCOMPARE(readAll(preview.previewPath()), "<p title=\"&#x1F600;\">\r\n&#x1F600;</p>\r\n");
        QCOMPARE(pane.warnings.last(),
                 u"1: 「😀」(U+1F600) は Shift_JIS では保存できません。"
                 u"プレビューには文字参照 &#x1F600; で書いています。"_s);
        QVERIFY(pane.failures.isEmpty() && !QFileInfo::exists(path(u"unused"_s)));
        QVERIFY(!preview.RefreshPreview(u"日本"_s));
        QCOMPARE(pane.warnings.last(), QString());
    }

    // Each encoding both ways: a text's bytes and back. What it cannot hold is refused on save;
    // bytes not valid in it are refused on reading, never read as U+FFFD.
    void codecs_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");  // empty: the text is refused
        QTest::addRow("UTF-8") << u"UTF-8"_s << u"日本\r\n"_s << "\xe6\x97\xa5\xe6\x9c\xac\r\n"_ba;
        QTest::addRow("CP932, a wave dash and a circled digit")
            << u"Shift_JIS"_s << u"日本～①\r\n"_s << "\x93\xfa\x96\x7b\x81\x60\x87\x40\r\n"_ba;
        QTest::addRow("EUC-JP") << u"EUC-JP"_s << u"日本\r\n"_s << "\xc6\xfc\xcb\xdc\r\n"_ba;
        // Back to ASCII before the line end, as a file is written.
        QTest::addRow("ISO-2022-JP")
            << u"ISO-2022-JP"_s << u"日本\r\n"_s << "\x1b$BF|K\\\x1b(B\r\n"_ba;
        QTest::addRow("UTF-16LE") << u"UTF-16LE"_s << u"日\r\n"_s
                                  << QByteArray("\xe5\x65\r\0\n\0", 6);
        QTest::addRow("windows-1252, curly quotes")
            << u"windows-1252"_s << u"“é”\r\n"_s << "\x93\xe9\x94\r\n"_ba;
        QTest::addRow("an emoji in CP932") << u"Shift_JIS"_s << u"😀"_s << QByteArray();
        QTest::addRow("an unpaired surrogate in UTF-8")
            << u"UTF-8"_s << QString(QChar(0xd800)) << QByteArray();
    }
    void codecs()
    {
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QVERIFY(engine::isKnownEncoding(encoding));
        const engine::EncodedText encoded = engine::encodeText({text}, encoding);
        QCOMPARE(encoded.bytes, bytes);
        QCOMPARE(encoded.result, bytes.isEmpty() ? engine::EncodedText::Result::Unencodable
                                                 : engine::EncodedText::Result::Ok);
        if (!bytes.isEmpty())
            QCOMPARE(engine::decodeText(bytes, encoding), text);
        // A byte sequence that no text makes.
        QCOMPARE(engine::decodeText("\xff\xfe\xfd",
                                    encoding == u"windows-1252"_s ? u"UTF-8"_s : encoding),
                 std::nullopt);
    }
    void unknownEncodings()
    {
        for (const QString &name : {QString(), u"x-nonesuch"_s})
            QVERIFY(!engine::isKnownEncoding(name));
        QCOMPARE(engine::encodeText({u"a"_s}, u"x-nonesuch"_s).result,
                 engine::EncodedText::Result::UnknownEncoding);
    }

    void policy_data()
    {
        QTest::addColumn<int>("mode");  // the option button's index; -1: counting suspended
        // e: an edit, t: a timer tick, n: the reflect-now button, f: a tick that fails
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("refreshes");  // after each event: R refreshed, . not
        QTest::addRow("1 character") << 7 << u"ee"_s << u"RR"_s;
        QTest::addRow("5 characters") << 6 << u"eeeeeeeeee"_s << u"....R....R"_s;
        for (const int mode : {0, 1, 4, -1})
            QTest::addRow("%d: no count mode", mode) << mode << u"ee"_s << u".."_s;
        QTest::addRow("ticks: only on a changed text") << 0 << u"tettet"_s << u"..R..R"_s;
        QTest::addRow("reflect now restarts the count")
            << 5 << u"eeeeeeeneeeeeeeeee"_s << u".......R.........R"_s;
        QTest::addRow("reflect now leaves the tick's snapshot") << 0 << u"etent"_s << u".R.RR"_s;
        QTest::addRow("a failed tick is tried again") << 0 << u"eff"_s << u"..."_s;
    }
    void policy()
    {
        QFETCH(int, mode);
        QFETCH(QString, events);
        QFETCH(QString, refreshes);
        testsupport::RecordingPane pane;
        engine::PreviewFile preview(pane, path(), path(u"private"_s));
        engine::RefreshPolicy policy(preview);
        QString text, seen;
        for (const QChar event : events) {
            const qsizetype before = pane.navigations.size();
            if (event == u'e')
                policy.OnEdit(text += u'a', engine::refreshModeAt(mode));
            else if (event == u't')
                policy.OnTick(text);
            else if (event == u'n')
                policy.ReflectNow(text);
            else if (testsupport::FullDisk full; true)
                QVERIFY(policy.OnTick(text + QString(8192, u'x')));
            seen += pane.navigations.size() > before ? u'R' : u'.';
        }
        QCOMPARE(seen, refreshes);
        QCOMPARE(pane.failures.size(), events.count(u'f'));
        if (refreshes.contains(u'R'))
            QCOMPARE(readAll(preview.previewPath()), text.toUtf8() + "\r\n");
    }

    void loadsWaitForTheOneInFlight_data()
    {
        QTest::addColumn<QString>("events");  // R refresh, E load ended (any way), X failure page
        QTest::addColumn<QString>("loads");   // after each event: L a load starts, . none
        QTest::addRow("one more load for all refreshes meanwhile") << u"RRRE"_s << u"L..L"_s;
        QTest::addRow("then nothing is due") << u"RRREE"_s << u"L..L."_s;
        QTest::addRow("idle again: loads at once") << u"RREER"_s << u"L.L.L"_s;
        QTest::addRow("no refresh meanwhile, no load") << u"RE"_s << u"L."_s;
        QTest::addRow("a failure page ends the wait, and what was due") << u"RRXRE"_s << u"L..L."_s;
    }
    void loadsWaitForTheOneInFlight()
    {
        QFETCH(QString, events);
        QFETCH(QString, loads);
        engine::LoadGate gate;
        QString started;
        for (const QChar event : events) {
            if (event == u'X')
                gate.reset();
            const bool load = event == u'R' ? gate.refresh() : event == u'E' && gate.finished();
            started += load ? u'L' : u'.';
        }
        QCOMPARE(started, loads);
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
