#include "forms/form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSessionManager>
#include <QTabBar>
#include <QTimer>
#include <QUrl>

#include "editor/documentloader.h"
#include "editor/sourcecolours.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "engine/previewpane.h"
#include "engine/textcodec.h"
#include "engine/textfile.h"
#include "forms/accessibilitywatch.h"
#include "forms/form1layout.h"
#include "forms/form2.h"
#include "forms/form3.h"
#include "forms/journalkeeper.h"
#include "forms/pagelink.h"
#include "forms/problemwatch.h"
#include "forms/twipsgeometry.h"
#include "forms/warning.h"
#include "platform/fileio.h"
#include "platform/memory.h"
#include "source/languages.h"
#include "source/pagelinks.h"
#include "source/pagewidths.h"

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

    m_journalFolder = folders.journal;
    m_newEncoding = m_preview.documentEncoding();
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(u"documentTabs"_s);
    m_tabs->setAccessibleName(u"開いている文書"_s);
    m_tabs->setDocumentMode(true);
    m_tabs->setExpanding(false);
    m_tabs->setTabsClosable(true);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    m_tabs->hide();
    makeCurrent(&newDocument());
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
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &Form1::changedOnDisk);
    // The page's links are read again a while after it changes, not on each key.
    m_watchSoon = new QTimer(this);
    m_watchSoon->setSingleShot(true);
    m_watchSoon->setInterval(2000);
    connect(m_watchSoon, &QTimer::timeout, this, &Form1::watchFiles);
    m_usedPause = new QTimer(this);
    m_usedPause->setObjectName(u"usedPause"_s);
    m_usedPause->setSingleShot(true);
    m_usedPause->setInterval(kUsedPause);
    connect(m_usedPause, &QTimer::timeout, this, [this] {
        const QStringList edited = std::exchange(m_usedEdited, {});
        if (std::any_of(edited.cbegin(), edited.cend(),
                        [this](const QString &file) { return pageUses(file); }))
            m_webBrowser1.pane->usedChanged();
    });

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && index < documentCount())
            makeCurrent(m_documents[size_t(index)].get());
    });
    connect(m_tabs, &QTabBar::tabCloseRequested, this, &Form1::closeDocument);
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
    const auto step = [this](int by) {
        setCurrentDocument((currentDocument() + by + documentCount()) % documentCount());
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), [step] { step(1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), [step] { step(1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), [step] { step(-1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), [step] { step(-1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_W), [this] { closeDocument(currentDocument()); });
    // The desktop session ending asks as closing the window does; where it lets nothing be
    // asked, what is not saved waits in the journal for the next start.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &session) {
        if (!session.allowsInteraction()) {
            for (const auto &open : m_documents)
                open->journal->keepForNextStart();
        } else if (!mayEnd()) {
            session.cancel();
        }
    });
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

Form1::Open &Form1::newDocument()
{
    auto open = std::make_unique<Open>();
    Open *it = open.get();
    it->document = new editor::SourceDocument(this);
    it->edit = new editor::SourceEdit(*it->document, this);
    it->edit->setAccessibleName(u"HTML ソース"_s);
    it->encoding = m_newEncoding;
    it->edit->setPageEncoding(it->encoding);
    // The line break after ">" takes the caret to the end: an end tag put after it would not do.
    it->edit->setClosingStartTags([this] { return !(m_form3 && m_form3->lineBreakOn()); });
    it->edit->hide();
    connect(it->document, &editor::SourceDocument::changed, this, [this, it] {
        // Edits in a stylesheet or script do not count toward the page's refreshes.
        if (it == m_page) {
            Text1_Change();
            m_watchSoon->start();
        } else {
            otherChanged(*it);
        }
    });
    // Saved, it is served from its file again; an undo back to the saved text is a change too.
    connect(it->document, &editor::SourceDocument::modificationChanged, this, [this, it] {
        showTabs();
        if (it != m_page)
            serveUnsaved(*it);
    });
    connect(it->edit, &editor::SourceEdit::failed, this,
            [this](const QString &why) { warn(this, u"Quorvane"_s, why); });
    connect(it->edit, &editor::SourceEdit::linkClicked, this, &Form1::followLink);
    it->journal = new JournalKeeper(*it->document, m_journalFolder, this);
    // A new document is restored as one that saves, in the encoding it would have saved in.
    it->journal->setDocument(QString(), it->encoding);
    connect(it->journal, &JournalKeeper::failed, this, [this, it](const QString &reason) {
        it->journalNotice =
            u"保存していない内容の控えを書けません。編集は続けられますが、異常終了したときに"
            u"戻せません。理由: %1"_s.arg(reason);
        showNotices();
    });
    m_documents.push_back(std::move(open));
    m_tabs->addTab(QString());
    return *it;
}

int Form1::currentDocument() const
{
    for (size_t i = 0; i < m_documents.size(); ++i)
        if (m_documents[i].get() == m_current)
            return int(i);
    return -1;
}

void Form1::setCurrentDocument(int index)
{
    if (index >= 0 && index < documentCount())
        makeCurrent(m_documents[size_t(index)].get());
}

void Form1::addDocument()
{
    makeCurrent(&newDocument());
}

bool Form1::isPage(const Open &open)
{
    static const QStringList kPages{u"html"_s, u"htm"_s, u"xhtml"_s, u"shtml"_s};
    return open.path.isEmpty() || kPages.contains(QFileInfo(open.path).suffix().toLower());
}

void Form1::makeCurrent(Open *open)
{
    // Typing goes on in the document gone to (not at the start, where the design gives focus).
    const bool focus = m_current != nullptr;
    if (m_current && m_current != open) {
        m_current->edit->hide();
        m_current->edit->setObjectName(QString());
    }
    m_current = open;
    m_recent.removeAll(open);
    m_recent.append(open);
    // The designed control is the editor in hand.
    open->edit->setObjectName(u"Text1"_s);
    open->edit->show();
    if (focus)
        open->edit->setFocus();
    const QSignalBlocker quiet(m_tabs);
    m_tabs->setCurrentIndex(currentDocument());
    choosePage();
    showTabs();
    showNotices();
}

void Form1::choosePage()
{
    Open *page = nullptr;
    for (auto it = m_recent.crbegin(); it != m_recent.crend() && !page; ++it)
        if (isPage(**it) && !(*it)->opening)
            page = *it;
    if (!page)
        page = m_current;
    if (page == m_page)
        return;
    // The first page is shown by the start's own refresh.
    const bool first = !m_pageLink;
    m_page = page;
    delete m_pageLink;
    delete m_problemWatch;
    delete m_accessibilityWatch;
    m_pageLink = new PageLink(*page->edit, *m_webBrowser1.pane);
    m_problemWatch = new ProblemWatch(*page->edit, *m_webBrowser1.pane);
    m_accessibilityWatch = new AccessibilityWatch(*page->edit, *m_webBrowser1.pane);
    m_preview.setDocument(page->folder, page->encoding);
    // Another page is shown at once, whatever the refresh mode.
    if (!first)
        m_policy.ReflectNow(page->document->snapshot());
}

void Form1::showTabs()
{
    for (size_t i = 0; i < m_documents.size(); ++i) {
        const Open &open = *m_documents[i];
        const QString name =
            open.path.isEmpty() ? u"新しい文書"_s : QFileInfo(open.path).fileName();
        m_tabs->setTabText(int(i), open.document->isModified() ? name + u" *"_s : name);
        m_tabs->setAccessibleTabName(
            int(i), open.document->isModified() ? name + u" (保存していない変更あり)"_s : name);
        m_tabs->setTabToolTip(int(i), open.path.isEmpty() ? name : open.path);
    }
    const bool shown = m_documents.size() > 1;
    if (m_tabs->isVisible() != shown || (shown && m_tabs->isHidden())) {
        m_tabs->setVisible(shown);
        Form_Resize();
    }
}

bool Form1::closeDocument(int index)
{
    if (index < 0 || index >= documentCount())
        return false;
    Open *open = m_documents[size_t(index)].get();
    if (!mayLose({open}))
        return false;
    if (m_documents.size() == 1)
        addDocument();
    m_recent.removeAll(open);
    if (open == m_current)
        makeCurrent(m_recent.last());
    if (open == m_page) {
        m_page = nullptr;
        choosePage();
    }
    serveUnsaved(*open, true);
    const QSignalBlocker quiet(m_tabs);
    m_tabs->removeTab(index);
    delete open->journal;
    delete open->edit;
    delete open->document;
    m_documents.erase(m_documents.begin() + index);
    m_tabs->setCurrentIndex(currentDocument());
    showTabs();
    return true;
}

void Form1::openAnother(const QString &path, QWidget *asking,
                        const std::function<void(const std::optional<QString> &)> &done)
{
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (const auto &open : m_documents) {
        if (!open->path.isEmpty() && QFileInfo(open->path).absoluteFilePath() == wanted) {
            makeCurrent(open.get());
            done(std::nullopt);
            return;
        }
    }
    // An unchanged new document gives way to the file, as 開く would.
    const bool reuse = m_current->path.isEmpty() && !m_current->document->isModified() &&
                       m_current->document->size() == 0;
    // Not the page while it has no name: the preview stays with the page shown.
    if (!reuse) {
        Open &added = newDocument();
        added.opening = true;
        makeCurrent(&added);
        added.opening = false;
    }
    QPointer<editor::SourceDocument> added(reuse ? nullptr : m_current->document);
    openDocument(wanted, asking, [this, added, done](const std::optional<QString> &error) {
        if (error && added) {
            for (size_t i = 0; i < m_documents.size(); ++i)
                if (m_documents[i]->document == added)
                    closeDocument(int(i));
        }
        done(error);
    });
}

void Form1::followLink(const QString &link, int line)
{
    auto *edit = qobject_cast<editor::SourceEdit *>(sender());
    const Open *from = m_current;
    for (const auto &open : m_documents)
        if (open->edit == edit)
            from = open.get();
    const std::optional<QString> file = source::linkedFile(link, from->folder);
    m_linkNotice.clear();
    if (!file) {
        const bool relative = QUrl(link).scheme().isEmpty() && !link.startsWith(u'#');
        m_linkNotice =
            relative && from->folder.isEmpty()
                ? u"%1 行目のリンク「%2」: 新しい文書にはフォルダーがないため、相対リンクの先が"
                  u"分かりません。先に保存してください。"_s.arg(line)
                      .arg(link)
                : u"%1 行目のリンク「%2」はこのコンピューターのファイルではないため、開けません。"_s
                      .arg(line)
                      .arg(link);
        showNotices();
        return;
    }
    openAnother(*file, this, [this](const std::optional<QString> &error) {
        if (error && !error->isEmpty())
            warn(this, u"Quorvane"_s, *error);
    });
    showNotices();
}

void Form1::serveUnsaved(const Open &open, bool closing)
{
    if (open.path.isEmpty())
        return;
    std::optional<QByteArray> bytes;
    if (!closing && open.document->isModified()) {
        // As saving would write it; what the encoding cannot hold is served from disk instead.
        engine::EncodedText encoded =
            engine::encodeText(open.document->snapshot(), u"\r\n", open.encoding);
        if (encoded.result == engine::EncodedText::Result::Ok)
            bytes = std::move(encoded.bytes);
    }
    m_webBrowser1.pane->setUnsaved(open.path, bytes);
    if (closing && open.document->isModified() && pageUses(open.path))
        m_webBrowser1.pane->usedChanged();
}

void Form1::otherChanged(Open &open)
{
    if (open.path.isEmpty() || open.reading)
        return;
    serveUnsaved(open);
    // A stylesheet the page uses restyles it at once, with no load.
    if (open.path.endsWith(u".css"_s, Qt::CaseInsensitive) &&
        usedFiles().contains(QFileInfo(open.path).absoluteFilePath())) {
        // The snapshot's: text() builds the whole text from the editor's blocks, ms a key.
        m_webBrowser1.pane->restyle(open.path, open.document->snapshot().toString());
        return;
    }
    if (!m_usedEdited.contains(open.path))
        m_usedEdited.append(open.path);
    m_usedPause->start();
}

QStringList Form1::usedFiles() const
{
    // Read again only after the page changed, not on each key in a stylesheet.
    if (m_usedRead == m_page->document->revision() && m_usedFor == m_page)
        return m_used;
    m_usedRead = m_page->document->revision();
    m_usedFor = m_page;
    // The page's links, then what its stylesheets import, a few deep, as the editor has them.
    QStringList files;
    for (const QString &link : source::linksOf(m_page->document->text()))
        if (const std::optional<QString> linked = source::linkedFile(link, m_page->folder))
            files.append(QFileInfo(*linked).absoluteFilePath());
    for (qsizetype from = 0, depth = 0; depth < 4 && from < files.size(); ++depth) {
        const qsizetype to = files.size();
        for (qsizetype i = from; i < to && files.size() < 64; ++i) {
            if (!files[i].endsWith(u".css"_s, Qt::CaseInsensitive))
                continue;
            const Open *open = documentAt(files[i]);
            const QString css = open ? open->document->text() : engine::ReadTextFile(files[i]).text;
            const QString folder = QFileInfo(files[i]).absolutePath();
            for (const QString &import : source::cssImports(css))
                if (const std::optional<QString> linked = source::linkedFile(import, folder))
                    files.append(QFileInfo(*linked).absoluteFilePath());
        }
        from = to;
    }
    files.removeDuplicates();
    m_used = files;
    return files;
}

bool Form1::pageUses(const QString &file) const
{
    return usedFiles().contains(QFileInfo(file).absoluteFilePath());
}

Form1::Open *Form1::documentAt(const QString &file) const
{
    const QString wanted = QFileInfo(file).absoluteFilePath();
    for (const auto &open : m_documents)
        if (!open->path.isEmpty() && QFileInfo(open->path).absoluteFilePath() == wanted)
            return open.get();
    return nullptr;
}

void Form1::watchFiles()
{
    QStringList wanted = usedFiles();
    for (const auto &open : m_documents)
        if (!open->path.isEmpty())
            wanted.append(QFileInfo(open->path).absoluteFilePath());
    wanted.removeDuplicates();
    const QStringList watched = m_watcher->files();
    for (const QString &file : watched)
        if (!wanted.contains(file))
            m_watcher->removePath(file);
    for (const QString &file : std::as_const(wanted))
        if (!watched.contains(file) && QFileInfo::exists(file))
            m_watcher->addPath(file);
}

void Form1::changedOnDisk(const QString &file)
{
    // A file replaced by a rename is no longer watched: it is watched again.
    if (QFileInfo::exists(file) && !m_watcher->files().contains(file))
        m_watcher->addPath(file);
    Open *open = documentAt(file);
    if (!open) {
        if (pageUses(file))
            m_webBrowser1.pane->usedChanged();
        return;
    }
    // What this program saved last is no news.
    const platform::ReadBytes read = platform::readFileBytes(file);
    if (read.failure != platform::ReadBytes::Failure::None ||
        bytesHash(read.bytes) == open->savedHash || m_asking.contains(file))
        return;
    m_asking.append(file);
    const QString name = QFileInfo(file).fileName();
    // Not modal: typing goes on meanwhile, and the answer comes when it comes.
    auto *question = new QMessageBox(
        QMessageBox::Question, u"Quorvane"_s,
        open->document->isModified()
            ? u"「%1」が他のプログラムで変更されました。読み込み直すと、ここでの保存していない"
              u"変更は失われます。読み込み直しますか?"_s.arg(name)
            : u"「%1」が他のプログラムで変更されました。読み込み直しますか?"_s.arg(name),
        QMessageBox::NoButton, this);
    question->setObjectName(u"changedOnDiskQuestion"_s);
    question->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *again = question->addButton(u"読み込み直す"_s, QMessageBox::AcceptRole);
    QPushButton *keep = question->addButton(u"このままにする"_s, QMessageBox::RejectRole);
    question->setDefaultButton(open->document->isModified() ? keep : again);
    question->setEscapeButton(keep);
    QPointer<editor::SourceDocument> asked(open->document);
    connect(question, &QMessageBox::finished, this, [this, question, again, file, asked] {
        m_asking.removeAll(file);
        // Asked of the document it was: it may have been closed meanwhile.
        Open *open = documentAt(file);
        if (question->clickedButton() != again || !open || open->document != asked)
            return;
        Open *const was = m_current;
        makeCurrent(open);
        if (const std::optional<QString> error = openDocument(file)) {
            warn(this, u"Quorvane"_s, *error);
        } else {
            open->document->setModified(false);
            // The page shows what was read, as it would what was typed.
            if (open != m_page)
                otherChanged(*open);
        }
        makeCurrent(was);
    });
    question->open();
}

QByteArray Form1::bytesHash(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

void Form1::setDocument(const QString &path, const QString &encoding)
{
    setDocumentOf(*m_current, path, encoding);
}

void Form1::setDocumentOf(Open &open, const QString &path, const QString &encoding)
{
    open.path = path;
    open.folder =
        path.isEmpty() ? QString() : QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    open.encoding = encoding;
    open.edit->setPageEncoding(encoding);
    open.edit->colours().setLanguage(source::languageOf(path));
    open.journal->setDocument(path, encoding);
    if (&open == m_current)
        choosePage();
    if (&open == m_page)
        m_preview.setDocument(open.folder, encoding);
    showTabs();
    // Its own file at once; what the page uses a while later.
    if (!path.isEmpty() && !m_watcher->files().contains(QFileInfo(path).absoluteFilePath()))
        m_watcher->addPath(QFileInfo(path).absoluteFilePath());
    m_watchSoon->start();
}

std::optional<QString> Form1::saveDocument(const QString &path)
{
    Open &open = *m_current;
    const QString encoding = open.encoding;
    if (std::optional<engine::FileError> error =
            engine::WriteTextFile(path, open.document->text(), encoding))
        return error->message();
    setDocumentOf(open, path, encoding);
    open.savedHash = bytesHash(platform::readFileBytes(path).bytes);
    open.document->setModified(false);
    // The file holds the bytes saving writes now.
    if (!std::exchange(open.openNotice, QString()).isEmpty())
        showNotices();
    return std::nullopt;
}

void Form1::showNotices()
{
    QStringList notices;
    for (const auto &open : m_documents)
        notices.append(open->journalNotice);
    notices.append(m_current->openNotice);
    notices.append(m_linkNotice);
    notices.removeAll(QString());
    notices.removeDuplicates();
    const QString notice = notices.join(u'\n');
    if (notice != std::exchange(m_shownNotice, notice))
        m_webBrowser1.pane->setNotice(notice);
}

bool Form1::save()
{
    if (m_current->path.isEmpty()) {
        cmdsave_Click();
        return false;
    }
    const std::optional<QString> error = saveDocument(m_current->path);
    // The window stays in use, and the text as it was.
    if (error)
        warn(this, u"Quorvane"_s, *error);
    return !error;
}

bool Form1::mayEnd()
{
    QList<Open *> all;
    for (const auto &open : m_documents)
        all.append(open.get());
    return mayLose(all);
}

bool Form1::mayLose(const QList<Open *> &documents)
{
    QList<Open *> unsaved;
    QStringList names;
    for (Open *open : documents) {
        if (!open->document->isModified())
            continue;
        unsaved.append(open);
        names.append(open->path.isEmpty() ? u"新しい文書"_s
                                          : u"「%1」"_s.arg(QFileInfo(open->path).fileName()));
    }
    if (unsaved.isEmpty())
        return true;
    QMessageBox question(
        QMessageBox::Question, u"Quorvane"_s,
        u"%1 への変更が保存されていません。保存しますか?"_s.arg(names.join(u"、"_s)),
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
    if (question.clickedButton() != save)
        return false;
    // Each in its turn; a new document is saved through the file dialog, and the window stays
    // meanwhile.
    for (Open *open : unsaved) {
        makeCurrent(open);
        if (!this->save())
            return false;
    }
    return true;
}

void Form1::endForTheSystem()
{
    for (const auto &open : m_documents) {
        if (const std::optional<QString> error = open->journal->keepForNextStart()) {
            warn(this, u"Quorvane"_s,
                 u"終了するよう求められましたが、保存していない内容の控えを書けないため、終了"
                 u"せずにいます。保存してから終了してください。理由: %1"_s.arg(*error));
            return;
        }
    }
    QCoreApplication::exit(0);
}

std::optional<QString> Form1::openDocument(const QString &path)
{
    // A stylesheet or script is read as the page shown would read it.
    const engine::ReadText read = engine::ReadTextFile(path, m_page->encoding);
    if (read.error)
        return read.error->message();
    Open &open = *m_current;
    open.savedHash = bytesHash(platform::readFileBytes(path).bytes);
    // Before the text, whose change refreshes the preview: it is shown from the document's place.
    setDocumentOf(open, path, read.encoding);
    open.openNotice = read.notice;
    showNotices();
    // The text of the file is no news to the page.
    open.reading = true;
    open.document->setText(read.text);
    open.reading = false;
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
        [path, style = m_current->document->style(), home = thread(),
         page = m_page->encoding](const engine::Task &task) {
            return editor::loadDocument(path, style, home, task, page);
        },
        [this, path, ended, done, target = QPointer<editor::SourceDocument>(m_current->document)](
            editor::LoadedDocument loaded) {
            ended();
            if (loaded.error) {
                done(*loaded.error);
                return;
            }
            // Into the document it was opened for, though another be current now.
            Open *open = nullptr;
            for (const auto &candidate : m_documents)
                if (candidate->document == target)
                    open = candidate.get();
            if (!open) {
                done(QString());
                return;
            }
            // Before the text, whose change refreshes the preview: it is shown from the
            // document's place.
            setDocumentOf(*open, path, loaded.encoding);
            open->openNotice = std::move(loaded.notice);
            showNotices();
            open->savedHash = bytesHash(platform::readFileBytes(path).bytes);
            open->reading = true;
            open->document->adopt(std::move(loaded));
            open->reading = false;
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
    return m_current->encoding;
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
    placeInTwips(m_tabs, layout.text1);
    const QRect designed = m_tabs->geometry();
    QRect source = designed;
    // Tabs over the source while there are two documents or more; with one, as designed.
    if (!m_tabs->isHidden()) {
        const int tabs = m_tabs->sizeHint().height();
        m_tabs->setGeometry(designed.x(), designed.y(), designed.width(), tabs);
        source.setTop(designed.y() + tabs);
    }
    for (const auto &open : m_documents)
        open->edit->setGeometry(source);
    placeInTwips(m_webBrowser1.widget, layout.webBrowser1);
}

void Form1::Text1_Change()
{
    m_policy.OnEdit(m_page->document->snapshot(), m_form3 ? m_form3->countingMode() : std::nullopt);
    if (m_form3 && m_form3->lineBreakOn())
        AutoLineBreak();
}

void Form1::AutoLineBreak()
{
    if (!m_page->document->endsWith(u'>'))
        return;
    // Raises the nested change notification, which counts once more.
    m_page->document->appendLineBreak();
    m_page->edit->moveCaretToEnd();
}

void Form1::Timer1_Timer()
{
    m_policy.OnTick(m_page->document->snapshot());
}

void Form1::Command1_Click()
{
    m_policy.ReflectNow(m_page->document->snapshot());
    // A script or stylesheet typed into is shown at once too, by the load just started if the
    // page's scripts made it load.
    if (m_usedPause->isActive()) {
        m_usedPause->stop();
        const QStringList edited = std::exchange(m_usedEdited, {});
        if (std::any_of(edited.cbegin(), edited.cend(),
                        [this](const QString &file) { return pageUses(file); }))
            m_webBrowser1.pane->usedChanged(true);
    }
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
