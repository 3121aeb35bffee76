#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "engine/background.h"
#include "engine/previewfile.h"
#include "engine/refreshpolicy.h"

class QFileSystemWatcher;
class QPushButton;
class QTabBar;
class QTimer;

namespace engine {
class PreviewPane;
}

namespace editor {
class SourceDocument;
class SourceEdit;
}  // namespace editor

namespace forms {

// The preview pane as the main window makes it, a child of parent: the widget placed as
// WebBrowser1 and the pane behind it, often one object.
struct PaneParts {
    QWidget *widget = nullptr;
    engine::PreviewPane *pane = nullptr;
};
using PaneMaker = std::function<PaneParts(QWidget *parent)>;

// Where the program writes: the preview file in the program's folder, or in the private
// folder when that one cannot take it; the journal of the text not saved, in a private folder
// of its own (none: no journal).
struct Folders {
    QString program;
    QString fallback;
    QString journal;
};

class Form2;
class Form3;
class JournalKeeper;
class PageLink;
class AccessibilityWatch;
class ProblemWatch;

// The main window: the HTML source on the left, its preview on the right, four buttons above.
class Form1 : public QWidget {
    Q_OBJECT

public:
    Form1(const PaneMaker &makePane, const Folders &folders, QWidget *parent = nullptr);
    ~Form1() override;
    Q_DISABLE_COPY_MOVE(Form1)

    // The editor of the document in hand.
    editor::SourceEdit &Text1() const { return *m_current->edit; }
    // The text Text1 shows.
    editor::SourceDocument &document() const { return *m_current->document; }
    QTimer &Timer1() const { return *m_timer1; }
    Form3 &form3() const { return *m_form3; }
    // Nothing until the file dialog is first shown.
    Form2 *form2() const { return m_form2; }
    engine::RefreshPolicy &policy() { return m_policy; }
    engine::PreviewFile &preview() { return m_preview; }
    const QString &previewPath() const;

    // The document opened or saved last, at path in the encoding it is kept in: the preview shows
    // it from its folder, and saving writes that encoding again.
    void setDocument(const QString &path, const QString &encoding);
    const QString &documentEncoding() const;
    // The folder of that document, native separators; empty before there is one.
    const QString &documentFolder() const { return m_current->folder; }
    // The document's own file; empty for a new one.
    const QString &documentPath() const { return m_current->path; }

    // Several documents may be open, each with its own text, encoding, undo, caret and journal;
    // tabs over the source show them while there are two or more. The preview shows the page:
    // the HTML document made current last (with one document, that one, whatever it holds).
    int documentCount() const { return int(m_documents.size()); }
    int currentDocument() const;
    void setCurrentDocument(int index);
    editor::SourceDocument &pageDocument() const { return *m_page->document; }
    QTabBar &tabs() const { return *m_tabs; }
    // A new document, made current.
    void addDocument();
    // Closes a document, asking first when it holds changes not saved: whether it went. The
    // last one gives way to a new document.
    bool closeDocument(int index);
    // Opens the file as a document of its own, or goes to it when it is open already; done
    // hears how it went, as for openDocument.
    void openAnother(const QString &path, QWidget *asking,
                     const std::function<void(const std::optional<QString> &)> &done);

    // Writes the text to path in the document's encoding, which is then the document's file:
    // the text is saved. On failure nothing changes, and the message says why.
    std::optional<QString> saveDocument(const QString &path);
    // Ctrl+S: the document to its own file, a new one through the file dialog; whether it was
    // saved. A failure is said in a message.
    bool save();
    // Asks what to do with changes not saved before the program ends: whether it may end.
    bool mayEnd();
    // The system asks the program to end (a signal): nothing is asked, and what is not saved
    // waits in the journal for the next start. When the journal cannot take it, the program
    // stays and says why, so that the text can still be saved.
    void endForTheSystem();
    const JournalKeeper &journal() const { return *m_current->journal; }

    // Reads the document at path into the editor, in the encoding it is found to be in, as an
    // edit. On failure nothing changes, and the message says why.
    std::optional<QString> openDocument(const QString &path);

    // The same, for a file of any size: a large one is read on a thread of its own while the
    // program stays in use, and asking (the window that asked) shows that it is working. done
    // hears how it went, perhaps at once: nothing when the document is in, else why not (an
    // empty message when the user cancelled). One open at a time: another is refused meanwhile.
    using Opened = std::function<void(const std::optional<QString> &error)>;
    void openDocument(const QString &path, QWidget *asking, const Opened &done);
    bool isOpening() const { return m_opening.isBusy(); }
    // From this size on, a file is read on a thread of its own.
    static constexpr qint64 kOpenHere = 1024 * 1024;

    // The settings dialog's OK: a new timer interval (0 stops it; nothing leaves it as it is),
    // and counting starts afresh.
    void applyMode(std::optional<int> timerInterval);

public slots:
    void Form_Load();
    void Form_Resize();
    void Text1_Change();
    void Timer1_Timer();
    void Command1_Click();
    void cmd_Click();
    void cmdsave_Click();
    void Command2_Click();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct Open {
        editor::SourceDocument *document = nullptr;
        editor::SourceEdit *edit = nullptr;
        JournalKeeper *journal = nullptr;
        QString path, folder, encoding;
        QString journalNotice, openNotice;
        QByteArray savedHash;  // of the bytes opened or saved last here
        bool reading = false;  // its file is being read into it
        bool opening = false;  // made for a file about to be read into it
    };
    Open &newDocument();
    void makeCurrent(Open *open);
    void setDocumentOf(Open &open, const QString &path, const QString &encoding);
    // Whether the document is shown as the page: an HTML file, or a new document.
    static bool isPage(const Open &open);
    void choosePage();
    void showTabs();
    void followLink(const QString &link, int line);
    // A document other than the page changed, or was saved or closed: the page is served its
    // text as the editor has it, and, once typing pauses, loaded again if it uses the file.
    void otherChanged(Open &open);
    void serveUnsaved(const Open &open, bool closing = false);
    // The files the page links, and those its stylesheets import, a few deep.
    QStringList usedFiles() const;
    // Whether the page links the file, or imports it through its stylesheets.
    bool pageUses(const QString &file) const;
    Open *documentAt(const QString &file) const;
    // The files open here and those the page uses are watched: changed on disk by another
    // program, a document open here is offered to be read again, and the page loads again
    // with a file it uses.
    void watchFiles();
    void changedOnDisk(const QString &file);
    static QByteArray bytesHash(const QByteArray &bytes);
    // Asks whether the changes of these documents may go: saved, or not. Whether they may.
    bool mayLose(const QList<Open *> &documents);

    void AutoLineBreak();
    // What the person should know beside the page: the journal that cannot be written, and
    // what saving the document opened will change of its bytes.
    void showNotices();

    // The pane first: the preview file writes for it, and the policy refreshes through that.
    PaneParts m_webBrowser1;
    engine::PreviewFile m_preview;
    engine::RefreshPolicy m_policy;
    std::vector<std::unique_ptr<Open>> m_documents;
    Open *m_current = nullptr;
    Open *m_page = nullptr;
    QList<Open *> m_recent;  // made current, the latest last
    QTabBar *m_tabs = nullptr;
    QPointer<PageLink> m_pageLink;
    QPointer<ProblemWatch> m_problemWatch;
    QPointer<AccessibilityWatch> m_accessibilityWatch;
    QString m_newEncoding;  // a new document's
    QString m_linkNotice;
    QString m_shownNotice;

public:
    // How long typing in a script or stylesheet the page uses must pause before the page
    // loads again with it: a half-typed script is never run on each key.
    static constexpr int kUsedPause = 1000;

private:
    // After the last edit of a file the page uses, before the page is loaded again with it.
    QTimer *m_usedPause = nullptr;
    QStringList m_usedEdited;  // the files edited meanwhile
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_watchSoon = nullptr;
    QStringList m_asking;  // files whose change on disk is being asked about
    // The files the page uses, as read at a revision of the page.
    mutable QStringList m_used;
    mutable quint64 m_usedRead = 0;
    mutable const Open *m_usedFor = nullptr;
    QPushButton *m_cmdsave = nullptr;
    QPushButton *m_cmd = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QTimer *m_timer1 = nullptr;
    Form3 *m_form3 = nullptr;
    Form2 *m_form2 = nullptr;
    QString m_journalFolder;
    // Last, so that it goes first: a document still being read is given up.
    engine::Background m_opening;
};

}  // namespace forms
