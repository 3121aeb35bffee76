#include <sys/resource.h>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "form1.h"
#include "form2.h"
#include "previewfile.h"
#include "previewpane.h"
#include "sourceedit.h"
#include "testsupport.h"
#include "textfile.h"

using namespace Qt::StringLiterals;
using testsupport::readAll;
using testsupport::writeAll;
using windows::Form1;
using windows::Form2;

namespace {

QStringList texts(const QListWidget *list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row)
        result.append(list->item(row)->text().trimmed());
    return result;
}

}  // namespace

class Form2Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fileListShowsTheHtmlNamesOnly();
    void foldersAreBrowsedByActivatingThem();
    void drivesListTheRootAndHome();
    void openFillsTheEditorAndRefreshes();
    void unixDocumentOpensAndSavesBackByTheFormat();
    void windowsPageKeepsItsEncoding();
    void saveWithoutAUsableNameShowsThePrompt_data();
    void saveWithoutAUsableNameShowsThePrompt();
    void saveUsesTheNameAsTyped();
    void failuresChangeNothingAndSayWhy_data();
    void failuresChangeNothingAndSayWhy();
    void failedSaveKeepsTheExistingFile();
    void vanishedFolderKeepsTheLastGoodOne();

private:
    QString root(const QString &name = {}) const
    {
        return QDir::toNativeSeparators(name.isEmpty() ? m_docs->path() : m_docs->filePath(name));
    }
    QListWidget *list(const QString &name) { return m_form2->findChild<QListWidget *>(name); }
    QLineEdit *nameBox() { return m_form2->findChild<QLineEdit *>(u"Text1"_s); }
    void click(const QString &name) { m_form2->findChild<QPushButton *>(name)->click(); }
    // With the mouse, as a person does: the item becomes current before it is selected.
    void select(const QString &file)
    {
        QListWidget *file1 = list(u"File1"_s);
        const QList<QListWidgetItem *> items = file1->findItems(file, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        file1->scrollToItem(items.first());
        QTest::mouseClick(file1->viewport(), Qt::LeftButton, {},
                          file1->visualItemRect(items.first()).center());
        QCOMPARE(nameBox()->text(), file);
    }
    // The messages shown since the last call, each closed.
    QStringList takeMessages()
    {
        QStringList messages;
        for (QMessageBox *box : m_form2->findChildren<QMessageBox *>()) {
            messages.append(box->text());
            delete box;
        }
        return messages;
    }

    std::unique_ptr<QTemporaryDir> m_docs;
    std::unique_ptr<QTemporaryDir> m_program;
    platform::RecordingPane m_pane;
    std::unique_ptr<engine::PreviewFile> m_preview;
    std::unique_ptr<Form1> m_form1;
    Form2 *m_form2 = nullptr;
};

void Form2Test::init()
{
    m_docs = std::make_unique<QTemporaryDir>();
    m_program = std::make_unique<QTemporaryDir>();
    for (const QString &name : {u"b.html"_s, u"A.HTML"_s, u"c.htm"_s, u"notes.txt"_s, u"page"_s})
        QVERIFY(writeAll(root(name), "<p>" + name.toUtf8() + "</p>\r\n"));
    QVERIFY(QDir(root()).mkpath(u"sub"_s));
    QVERIFY(QDir(root()).mkpath(u".hidden"_s));
    QVERIFY(QDir(root()).mkpath(u"folder.html"_s));
    QVERIFY(writeAll(root(u"sub/inner.html"_s), "<p>inner</p>"));
    QVERIFY(writeAll(root(u"plain.txt"_s), "plain"));

    m_pane = {};
    m_preview = std::make_unique<engine::PreviewFile>(
        m_pane, QDir::toNativeSeparators(m_program->path()), QString());
    m_form1 = std::make_unique<Form1>(*m_preview, nullptr);
    m_form1->show();
    QVERIFY(!m_form1->form2());  // made when first shown
    m_form1->findChild<QPushButton *>(u"cmdsave"_s, Qt::FindDirectChildrenOnly)->click();
    m_form2 = m_form1->form2();
    QVERIFY(m_form2 && m_form2->isVisible());
    QCOMPARE(m_form2->windowTitle(), u"read&write"_s);
    QVERIFY(m_form2->setDirPath(root()));
    QVERIFY(takeMessages().isEmpty());
}

void Form2Test::cleanup()
{
    m_form1.reset();
    m_preview.reset();
}

void Form2Test::fileListShowsTheHtmlNamesOnly()
{
    QCOMPARE(texts(list(u"File1"_s)), (QStringList{u"A.HTML"_s, u"b.html"_s}));
    select(u"b.html"_s);
    QCOMPARE(nameBox()->text(), u"b.html"_s);
    QCOMPARE(m_form2->fileName(), u"b.html"_s);
}

void Form2Test::foldersAreBrowsedByActivatingThem()
{
    QListWidget *dir1 = list(u"Dir1"_s);
    const QStringList entries = texts(dir1);
    QCOMPARE(entries.mid(entries.size() - 3),
             (QStringList{QDir(root()).dirName(), u"folder.html"_s, u"sub"_s}));
    emit dir1->itemActivated(dir1->findItems(u"sub"_s, Qt::MatchEndsWith).first());
    QCOMPARE(m_form2->dirPath(), root(u"sub"_s));
    QCOMPARE(texts(list(u"File1"_s)), QStringList{u"inner.html"_s});
    // Its parent is in the chain above it.
    emit dir1->itemActivated(dir1->item(dir1->count() - 2));
    QCOMPARE(m_form2->dirPath(), root());
}

void Form2Test::drivesListTheRootAndHome()
{
    auto *drive1 = m_form2->findChild<QComboBox *>(u"Drive1"_s);
    QVERIFY(drive1->findData(u"/"_s) >= 0);
    QVERIFY(drive1->findData(QDir::toNativeSeparators(QDir::homePath())) >= 0);
    drive1->setCurrentIndex(drive1->findData(u"/"_s));
    m_form2->Drive1_Change();
    QCOMPARE(m_form2->dirPath(), u"/"_s);
    QVERIFY(texts(list(u"Dir1"_s)).contains(u"tmp"_s));
}

void Form2Test::openFillsTheEditorAndRefreshes()
{
    QVERIFY(writeAll(root(u"three.html"_s), "<p>1</p>\r\n<p>2</p>\r\n<p>3</p>"));
    QVERIFY(m_form2->setDirPath(root()));
    select(u"three.html"_s);
    const qsizetype before = m_pane.navigations.size();
    click(u"Command1"_s);
    QCOMPARE(m_form1->Text1().text(), u"<p>1</p>\r\n<p>2</p>\r\n<p>3</p>\r\n"_s);
    QCOMPARE(m_pane.navigations.size(), before + 1);
    QCOMPARE(readAll(m_preview->previewPath()),
             QByteArray("<p>1</p>\r\n<p>2</p>\r\n<p>3</p>\r\n\r\n"));
    QVERIFY(!m_form2->isVisible());
}

void Form2Test::unixDocumentOpensAndSavesBackByTheFormat()
{
    QVERIFY(writeAll(root(u"unix.html"_s), "x\ny"));
    QVERIFY(m_form2->setDirPath(root()));
    select(u"unix.html"_s);
    click(u"Command1"_s);
    QCOMPARE(m_form1->Text1().text(), u"x\ny\r\n"_s);
    m_form1->cmdsave_Click();
    QCOMPARE(nameBox()->text(), u"unix.html"_s);
    click(u"Command2"_s);
    QCOMPARE(readAll(root(u"unix.html"_s)), QByteArray("x\ny\r\n\r\n"));
    QVERIFY(!m_form2->isVisible());
}

void Form2Test::windowsPageKeepsItsEncoding()
{
    const QByteArray page("<p>\x93\xfa\x96\x7b\x81\x60\x87\x40</p>\r\n");
    QVERIFY(writeAll(root(u"win.html"_s), page));
    QVERIFY(m_form2->setDirPath(root()));
    QVERIFY(m_pane.documentFolder.isEmpty());
    select(u"win.html"_s);
    click(u"Command1"_s);
    QCOMPARE(m_form1->Text1().text(), u"<p>日本～①</p>\r\n"_s);
    // Previewed from its own folder, in its own encoding.
    QCOMPARE(m_pane.documentFolder, root());
    QCOMPARE(m_pane.encodings.last(), u"Shift_JIS"_s);
    QCOMPARE(readAll(m_preview->previewPath()), page + "\r\n");
    m_form1->cmdsave_Click();
    click(u"Command2"_s);
    QCOMPARE(readAll(root(u"win.html"_s)), page + "\r\n");

    m_form1->Text1().setText(u"<p>日本</p>\r\n<p>😀</p>"_s);
    m_form1->cmdsave_Click();
    click(u"Command2"_s);
    const QStringList messages = takeMessages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(u"2 行目の文字「😀」は文字コード Shift_JIS で表せない"_s),
             qPrintable(messages.first()));
    QCOMPARE(readAll(root(u"win.html"_s)), page + "\r\n");
    QVERIFY(m_form2->isVisible());
}

void Form2Test::saveWithoutAUsableNameShowsThePrompt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("empty") << QString();
    QTest::addRow("the prompt itself") << Form2::namePrompt();
}

void Form2Test::saveWithoutAUsableNameShowsThePrompt()
{
    QFETCH(QString, name);
    const QStringList before = QDir(root()).entryList(QDir::AllEntries | QDir::Hidden);
    nameBox()->setText(name);
    click(u"Command2"_s);
    QCOMPARE(nameBox()->text(), u"ファイル名を入れてください"_s);
    QCOMPARE(QDir(root()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QVERIFY(m_form2->isVisible());
}

void Form2Test::saveUsesTheNameAsTyped()
{
    m_form1->Text1().setText(u"<p>新しいページ</p>"_s);
    nameBox()->setText(u"page2"_s);
    click(u"Command2"_s);
    QCOMPARE(
        readAll(root(u"page2"_s)),
        QByteArray(
            "<p>\xe6\x96\xb0\xe3\x81\x97\xe3\x81\x84\xe3\x83\x9a\xe3\x83\xbc\xe3\x82\xb8</p>\r\n"));
    QVERIFY(!m_form2->isVisible());
    QCOMPARE(m_pane.documentFolder, root());
    // Replaced without asking; the list is not read again.
    m_form1->Text1().setText(u"again"_s);
    m_form1->cmdsave_Click();
    nameBox()->setText(u"b.html"_s);
    click(u"Command2"_s);
    QCOMPARE(readAll(root(u"b.html"_s)), QByteArray("again\r\n"));
    nameBox()->setText(u"new.html"_s);
    m_form1->cmdsave_Click();
    click(u"Command2"_s);
    QCOMPARE(texts(list(u"File1"_s)), (QStringList{u"A.HTML"_s, u"b.html"_s}));
}

void Form2Test::failuresChangeNothingAndSayWhy_data()
{
    QTest::addColumn<QString>("action");  // "open" a listed file, or "save" under a name
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("says");
    QTest::addRow("open with nothing selected") << u"open"_s << QString() << u"選ばれていません"_s;
    QTest::addRow("open a file gone since listing")
        << u"open"_s << u"gone.html"_s << u"開けません。\n理由: 見つかりません"_s;
    QTest::addRow("open bytes in no encoding")
        << u"open"_s << u"bad.html"_s << u"文字コードを判別できません"_s;
    QTest::addRow("save below a regular file")
        << u"save"_s << u"plain.txt/x.html"_s << u"書き込めません。\n理由: パスの途中"_s;
    QTest::addRow("save into a missing folder")
        << u"save"_s << u"nowhere/x.html"_s << u"書き込めません。\n理由: 見つかりません"_s;
    QTest::addRow("save under a folder's name")
        << u"save"_s << u"sub"_s << u"理由: ファイルではなくフォルダーです"_s;
}

void Form2Test::failuresChangeNothingAndSayWhy()
{
    QFETCH(QString, action);
    QFETCH(QString, name);
    QFETCH(QString, says);
    QVERIFY(writeAll(root(u"gone.html"_s), "x"));
    QVERIFY(writeAll(root(u"bad.html"_s), "<p>\x81\x20\xff</p>"));
    QVERIFY(m_form2->setDirPath(root()));
    QVERIFY(QFile::remove(root(u"gone.html"_s)));
    m_form1->Text1().setText(u"<p>unsaved work</p>"_s);
    const QStringList before = QDir(root()).entryList(QDir::AllEntries | QDir::Hidden);

    if (action == u"open"_s) {
        if (!name.isEmpty())
            select(name);
        click(u"Command1"_s);
    } else {
        nameBox()->setText(name);
        click(u"Command2"_s);
    }
    const QStringList messages = takeMessages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(says), qPrintable(messages.first()));
    // The reason is in Japanese, never the system's English.
    QVERIFY(!messages.first().section(u"理由: "_s, 1).contains(QRegularExpression(u"[A-Za-z]"_s)));
    if (!name.isEmpty())
        QVERIFY2(messages.first().contains(name.section(u'/', 0, 0)), qPrintable(messages.first()));
    QCOMPARE(m_form1->Text1().text(), u"<p>unsaved work</p>"_s);
    QVERIFY(m_form2->isVisible());
    QCOMPARE(QDir(root()).entryList(QDir::AllEntries | QDir::Hidden), before);
}

void Form2Test::failedSaveKeepsTheExistingFile()
{
    m_form1->Text1().setText(QString(100000, u'x'));
    nameBox()->setText(u"b.html"_s);
    {
        const testsupport::FullDisk full;
        click(u"Command2"_s);
    }

    QCOMPARE(takeMessages().size(), 1);
    QCOMPARE(readAll(root(u"b.html"_s)), QByteArray("<p>b.html</p>\r\n"));
    QVERIFY(m_form2->isVisible());
}

void Form2Test::vanishedFolderKeepsTheLastGoodOne()
{
    const QStringList files = texts(list(u"File1"_s));
    const QStringList folders = texts(list(u"Dir1"_s));
    QVERIFY(!m_form2->setDirPath(root(u"gone"_s)));
    const QStringList messages = takeMessages();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages.first().contains(root(u"gone"_s)));
    QCOMPARE(m_form2->dirPath(), root());
    QCOMPARE(texts(list(u"File1"_s)), files);
    QCOMPARE(texts(list(u"Dir1"_s)), folders);
}

QTEST_MAIN(Form2Test)
#include "tst_form2.moc"
