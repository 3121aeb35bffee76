#include "forms/form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSessionManager>
#include <QTimer>

#include "editor/documentloader.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "engine/previewpane.h"
#include "engine/textfile.h"
#include "forms/form1layout.h"
#include "forms/form2.h"
#include "forms/form3.h"
#include "forms/journalkeeper.h"
#include "forms/pagelink.h"
#include "forms/problemwatch.h"
#include "forms/twipsgeometry.h"
#include "forms/warning.h"
#include "platform/memory.h"

using namespace Qt::StringLiterals;

namespace forms {

Form1::Form1(const PaneMaker &makePane, const Folders &folders, QWidget *parent)
    : QWidget(parent),
      m_webBrowser1(makePane(this)),
      m_preview(*m_webBrowser1.pane, folders.program, folders.fallback),
      m_policy(m_preview)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Quorvane"_s);

    m_document = new editor::SourceDocument(this);
    m_text1 = new editor::SourceEdit(*m_document, this);
    m_text1->setObjectName(u"Text1"_s);
    m_text1->setAccessibleName(u"HTML ソース"_s);
    m_text1->setPageEncoding(m_preview.documentEncoding());
    m_webBrowser1.widget->setObjectName(u"WebBrowser1"_s);
    m_webBrowser1.widget->setAccessibleName(u"プレビュー"_s);
    m_cmdsave = makeButton(this, u"cmdsave"_s);
    m_cmd = makeButton(this, u"cmd"_s);
    m_command1 = makeButton(this, u"Command1"_s);
    m_command2 = makeButton(this, u"Command2"_s);
    applyDesign(this, design::kForm1, false);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(u"Timer1"_s);
    m_timer1->setInterval(0);

    connect(m_document, &editor::SourceDocument::changed, this, &Form1::Text1_Change);
    m_journal = new JournalKeeper(*m_document, folders.journal, this);
    // A new document is restored as one that saves, in the encoding it would have saved in.
    m_journal->setDocument(QString(), documentEncoding());
    connect(m_journal, &JournalKeeper::failed, this, [this](const QString &reason) {
        m_journalNotice =
            u"保存していない内容の控えを書けません。編集は続けられますが、異常終了したときに"
            u"戻せません。理由: %1"_s.arg(reason);
        showNotices();
    });
    // Ctrl+S and Ctrl+O wherever the focus is in the window.
    const auto shortcut = [this](const QKeySequence &keys, auto slot) {
        auto *action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), [this] { save(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &Form1::cmdsave_Click);
    // The desktop session ending asks as closing the window does; where it lets nothing be
    // asked, what is not saved waits in the journal for the next start.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &session) {
        if (!session.allowsInteraction())
            m_journal->keepForNextStart();
        else if (!mayEnd())
            session.cancel();
    });
    new PageLink(*m_text1, *m_webBrowser1.pane);
    new ProblemWatch(*m_text1, *m_webBrowser1.pane);
    connect(m_text1, &editor::SourceEdit::failed, this,
            [this](const QString &why) { warn(this, u"Quorvane"_s, why); });
    connect(m_timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(m_command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(m_cmd, &QPushButton::clicked, this, &Form1::cmd_Click);
    connect(m_cmdsave, &QPushButton::clicked, this, &Form1::cmdsave_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    Form_Load();
}

Form1::~Form1() = default;

const QString &Form1::previewPath() const
{
    return m_preview.previewPath();
}

void Form1::setDocument(const QString &path, const QString &encoding)
{
    m_documentPath = path;
    m_documentFolder =
        path.isEmpty() ? QString() : QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    m_preview.setDocument(m_documentFolder, encoding);
    m_text1->setPageEncoding(encoding);
    m_journal->setDocument(path, encoding);
}

std::optional<QString> Form1::saveDocument(const QString &path)
{
    const QString encoding = documentEncoding();
    if (std::optional<engine::FileError> error =
            engine::WriteTextFile(path, m_document->text(), encoding))
        return error->message();
    setDocument(path, encoding);
    m_document->setModified(false);
    // The file holds the bytes saving writes now.
    if (!std::exchange(m_openNotice, QString()).isEmpty())
        showNotices();
    return std::nullopt;
}

void Form1::showNotices()
{
    QStringList notices{m_journalNotice, m_openNotice};
    notices.removeAll(QString());
    m_webBrowser1.pane->setNotice(notices.join(u'\n'));
}

bool Form1::save()
{
    if (m_documentPath.isEmpty()) {
        cmdsave_Click();
        return false;
    }
    const std::optional<QString> error = saveDocument(m_documentPath);
    // The window stays in use, and the text as it was.
    if (error)
        warn(this, u"Quorvane"_s, *error);
    return !error;
}

bool Form1::mayEnd()
{
    if (!m_document->isModified())
        return true;
    const QString name = m_documentPath.isEmpty()
                             ? u"新しい文書"_s
                             : u"「%1」"_s.arg(QFileInfo(m_documentPath).fileName());
    QMessageBox question(QMessageBox::Question, u"Quorvane"_s,
                         u"%1 への変更が保存されていません。保存しますか?"_s.arg(name),
                         QMessageBox::NoButton, this);
    question.setObjectName(u"saveQuestion"_s);
    QPushButton *save = question.addButton(u"保存"_s, QMessageBox::AcceptRole);
    QPushButton *discard = question.addButton(u"保存しない"_s, QMessageBox::DestructiveRole);
    QPushButton *cancel = question.addButton(u"キャンセル"_s, QMessageBox::RejectRole);
    question.setDefaultButton(save);
    question.setEscapeButton(cancel);
    question.exec();
    if (question.clickedButton() == discard)
        return true;
    // A new document is saved through the file dialog, and the window stays meanwhile.
    return question.clickedButton() == save && this->save();
}

void Form1::endForTheSystem()
{
    if (const std::optional<QString> error = m_journal->keepForNextStart()) {
        warn(this, u"Quorvane"_s,
             u"終了するよう求められましたが、保存していない内容の控えを書けないため、終了せずに"
             u"います。保存してから終了してください。理由: %1"_s.arg(*error));
        return;
    }
    QCoreApplication::exit(0);
}

std::optional<QString> Form1::openDocument(const QString &path)
{
    const engine::ReadText read = engine::ReadTextFile(path);
    if (read.error)
        return read.error->message();
    // Before the text, whose change refreshes the preview: it is shown from the document's place.
    setDocument(path, read.encoding);
    m_openNotice = read.notice;
    showNotices();
    m_document->setText(read.text);
    return std::nullopt;
}

void Form1::openDocument(const QString &path, QWidget *asking, const Opened &done)
{
    if (m_opening.isBusy()) {
        done(u"別のファイルを読み込んでいるところです。終わってから開いてください。"_s);
        return;
    }
    if (QFileInfo(path).size() < kOpenHere) {
        done(openDocument(path));
        return;
    }
    // Shown only when the wait is long enough to notice; the rest of the program stays in use.
    auto *progress =
        new QProgressDialog(u"「%1」を読み込んでいます…"_s.arg(QFileInfo(path).fileName()),
                            u"キャンセル"_s, 0, 100, asking);
    progress->setObjectName(u"openProgress"_s);
    progress->setWindowTitle(u"読み込み中"_s);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(500);
    progress->setValue(0);
    asking->setCursor(Qt::BusyCursor);
    QPointer<QProgressDialog> shown(progress);
    QPointer<QWidget> asker(asking);
    const auto ended = [shown, asker] {
        if (shown)
            shown->deleteLater();
        if (asker)
            asker->unsetCursor();
    };
    // Cancelled, the reading stops soon, and nothing of it is heard again.
    connect(progress, &QProgressDialog::canceled, this, [this, ended, done] {
        m_opening.cancel();
        ended();
        done(QString());
    });
    m_opening.run(
        [path, style = m_document->style(), home = thread()](const engine::Task &task) {
            return editor::loadDocument(path, style, home, task);
        },
        [this, path, ended, done](editor::LoadedDocument loaded) {
            ended();
            if (loaded.error) {
                done(*loaded.error);
                return;
            }
            // Before the text, whose change refreshes the preview: it is shown from the
            // document's place.
            setDocument(path, loaded.encoding);
            m_openNotice = std::move(loaded.notice);
            showNotices();
            m_document->adopt(std::move(loaded));
            platform::releaseFreeMemory();
            done(std::nullopt);
        },
        [shown](int share) {
            if (shown)
                shown->setValue(share);
        });
}

const QString &Form1::documentEncoding() const
{
    return m_preview.documentEncoding();
}

void Form1::Form_Load()
{
    Form_Resize();
    // A failure is shown in the preview pane itself; the editor has nothing to lose yet.
    m_preview.RefreshPreview(QString());
    if (!m_form3)
        m_form3 = new Form3(*this);
    m_form3->setMode(engine::RefreshMode::EveryEdit);
}

void Form1::Form_Resize()
{
    const double dpi = logicalDpiX();
    const QRect frame = frameGeometry();
    const float outerWidth = pixelsToTwips(frame.width(), dpi);
    const Form1Layout layout =
        layoutForm1(pixelsToTwips(width(), dpi), pixelsToTwips(height(), dpi), outerWidth);
    placeInTwips(m_text1, layout.text1);
    placeInTwips(m_webBrowser1.widget, layout.webBrowser1);
}

void Form1::Text1_Change()
{
    m_policy.OnEdit(m_document->snapshot(), m_form3 ? m_form3->countingMode() : std::nullopt);
    if (m_form3 && m_form3->lineBreakOn())
        AutoLineBreak();
}

void Form1::AutoLineBreak()
{
    if (!m_document->endsWith(u'>'))
        return;
    // Raises the nested change notification, which counts once more.
    m_document->appendLineBreak();
    m_text1->moveCaretToEnd();
}

void Form1::Timer1_Timer()
{
    m_policy.OnTick(m_document->snapshot());
}

void Form1::Command1_Click()
{
    m_policy.ReflectNow(m_document->snapshot());
}

void Form1::cmd_Click()
{
    m_form3->openForSettings();
}

void Form1::cmdsave_Click()
{
    if (!m_form2)
        m_form2 = new Form2(*this);
    m_form2->setVisible(true);
    m_form2->raise();
    m_form2->activateWindow();
}

void Form1::Command2_Click()
{
    // exit, not quit: quit first asks every window to close, and any of them could refuse.
    QCoreApplication::exit(0);
}

void Form1::applyMode(std::optional<int> timerInterval)
{
    if (timerInterval) {
        m_timer1->setInterval(*timerInterval);
        // A Qt timer at 0 would fire on every pass of the event loop; 0 means idle here.
        if (*timerInterval > 0)
            m_timer1->start();
        else
            m_timer1->stop();
    }
    m_policy.OnModeApplied();
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (!mayEnd()) {
        event->ignore();
        return;
    }
    // The hidden dialogs must not keep the program running.
    event->accept();
    QCoreApplication::exit(0);
}

}  // namespace forms
