#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include "editortext.h"
#include "sourceedit.h"

using namespace Qt::StringLiterals;
using windows::SourceEdit;

class EditorTest : public QObject {
    Q_OBJECT

private slots:
    void setThenGetGivesTheString_data();
    void setThenGetGivesTheString();
    void ownLineSeparatorSurvivesEditing();
    void enterTypesCrLf_data();
    void enterTypesCrLf();
    void pasteMakesLinesOfEveryBreak();
    void copyKeepsNoBreakSpaceAndLoneLf();
    void appendedLineBreakKeepsUndoHistory();
};

void EditorTest::setThenGetGivesTheString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("empty") << QString();
    QTest::addRow("CR LF lines") << u"<p>\r\n</p>\r\n"_s;
    QTest::addRow("lone LF, as from Unix") << u"a\nb\nc\r\n"_s;
    QTest::addRow("lone LF at the very end") << u"a\n"_s;
    QTest::addRow("LF before CR LF") << u"a\n\r\n"_s;
    QTest::addRow("no-break space and tab") << u"a\u00a0\tb&nbsp;"_s;
    QTest::addRow("Japanese") << u"<title>一時</title>\r\n"_s;
    QTest::addRow("empty lines") << u"\r\n\r\n\r\n"_s;
    QTest::addRow("line separator of its own") << u"a\u2028b\nc\u2028\r\n"_s;
    QTest::addRow("beyond 32767 characters") << QString(40000, u'x') + u">"_s;
}

void EditorTest::setThenGetGivesTheString()
{
    QFETCH(QString, text);
    SourceEdit edit;
    QSignalSpy changed(&edit, &SourceEdit::changed);
    edit.setText(text);
    QCOMPARE(edit.text(), text);
    QCOMPARE(changed.size(), 1);
}

void EditorTest::ownLineSeparatorSurvivesEditing()
{
    SourceEdit edit;
    edit.setText(u"x\u2028y\nz"_s);
    edit.moveCaretToEnd();
    QTest::keyClicks(&edit, u"!"_s);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.text(), u"x\u2028y\nz!\r\n"_s);
    edit.undo();
    QCOMPARE(edit.text(), u"x\u2028y\nz!"_s);
}

void EditorTest::enterTypesCrLf_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addRow("Enter") << int(Qt::NoModifier);
    QTest::addRow("Shift+Enter") << int(Qt::ShiftModifier);
}

void EditorTest::enterTypesCrLf()
{
    QFETCH(int, modifiers);
    SourceEdit edit;
    QSignalSpy changed(&edit, &SourceEdit::changed);
    QTest::keyClicks(&edit, u"ab"_s);
    QTest::keyClick(&edit, Qt::Key_Return, Qt::KeyboardModifiers(modifiers));
    QTest::keyClick(&edit, Qt::Key_Enter, Qt::KeyboardModifiers(modifiers) | Qt::KeypadModifier);
    QTest::keyClicks(&edit, u"c"_s);
    QCOMPARE(edit.text(), u"ab\r\n\r\nc"_s);
    QCOMPARE(changed.size(), 5);
}

void EditorTest::pasteMakesLinesOfEveryBreak()
{
    SourceEdit edit;
    QApplication::clipboard()->setText(u"1\n2\r\n3\r4\u20285"_s);
    edit.paste();
    QCOMPARE(edit.text(), u"1\r\n2\r\n3\r\n4\r\n5"_s);
}

void EditorTest::copyKeepsNoBreakSpaceAndLoneLf()
{
    SourceEdit edit;
    edit.setText(u"a\u00a0b\nc\r\nd"_s);
    edit.selectAll();
    edit.copy();
    QCOMPARE(QApplication::clipboard()->text(), u"a\u00a0b\nc\nd"_s);
}

void EditorTest::appendedLineBreakKeepsUndoHistory()
{
    SourceEdit edit;
    QTest::keyClicks(&edit, u"<b>"_s);
    QSignalSpy changed(&edit, &SourceEdit::changed);
    edit.appendLineBreak();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(edit.text(), u"<b>\r\n"_s);
    edit.undo();
    QCOMPARE(edit.text(), u"<b>"_s);
    edit.undo();
    QVERIFY(edit.text().size() < 3);
}

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
