#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <array>
#include <chrono>
#include <map>
#include <optional>

#include "engine/loadgate.h"
#include "engine/textsnapshot.h"
#include "source/pagepatch.h"

namespace source {

// How the preview follows the refreshes, decided without a browser: by a load of the preview
// file, or in place by a script, one at a time, the latest text winning. It keeps what the page
// shown was made of and drops the answers that come for a page no longer shown. The pane loads,
// runs what it is handed and tells what the page did.
class PreviewSession : public QObject {
    Q_OBJECT

public:
    // How long the script of a page may hold its process before it is ended: said when it is.
    static constexpr int kHeldSeconds = 2;

    explicit PreviewSession(std::chrono::milliseconds loadTimeout, QObject *parent = nullptr);
    ~PreviewSession() override = default;
    Q_DISABLE_COPY_MOVE(PreviewSession)

    // A refresh wrote the preview file, read in encoding: its text (none when the file holds
    // other than it, such as a character written as its reference) and which file it is.
    void refreshed(const std::optional<engine::TextSnapshot> &text, std::optional<quint64> file,
                   const QString &encoding);

    // A refresh's text is being written, in encoding, as the file will hold it: an idle page may
    // be brought up to it in place before the file is done. A load waits for the file.
    void writing(const engine::TextSnapshot &text, const QString &encoding);
    // A file the page uses changed: the page is loaded again, as the preview file stands; not
    // again, when asked, if a load started since is under way.
    void usedChanged(bool unlessLoading = false);

    // What the pane saw. The preview file is served: which file it is on disk.
    void served(std::optional<quint64> file);
    // A load of the preview started, ended with the page shown, or ended otherwise.
    void loadStarted();
    void loadSucceeded();
    void loadFailed();
    // A new document is in the view, the preview or any other.
    void pageChanged();
    // The page's process is being ended for holding it; the process ended, how in Japanese.
    void holding();
    void processEnded(const QString &how);
    // Something else shows in the page's place; the page's addresses resolve elsewhere.
    void failureShown();
    void folderChanged();
    // The answer to what was asked with number.
    void answered(quint64 number, const QVariant &answer);

    // How refreshes have brought the page up to date: in place, or by a load and why.
    struct Updates {
        int inPlace = 0;
        std::array<int, kReloadReasons> loads{};
    };
    const Updates &updates() const { return m_updates; }
    // A load or an update in place is under way or due.
    bool isUpdating() const { return m_gate.isBusy(); }
    // Of the document in the view: answers asked of an earlier one are of no use.
    quint64 page() const { return m_page; }

    // Between text, as the preview file would hold it now, and the page shown: the element the
    // innermost of the start tags at starts made, and where the innermost of elements starts.
    int elementOf(const engine::TextSnapshot &text, const QList<qsizetype> &starts);
    std::optional<qsizetype> startOf(const engine::TextSnapshot &text, const QList<int> &elements);
    int elementOfLine(const engine::TextSnapshot &text, qsizetype lineStart, qsizetype lineEnd);

signals:
    // Load the preview's address.
    void loadWanted();
    // Run script in the program's own world of the page, and answer it with number.
    void scriptWanted(quint64 number, const QString &script);
    // Read the names of the page's elements, in document order, and answer with number.
    void elementsWanted(quint64 number);
    // Show this in the page's place.
    void messageWanted(const QString &title, const QString &text);
    // A refresh's text is shown: in place, or a load of it finished.
    void updated(bool inPlace);
    // Elements came and went in place.
    void elementsChanged();

private:
    // What a page was made of, to bring it up to date in place.
    struct Written {
        std::optional<engine::TextSnapshot> text;  // none when the file holds other than it
        QString encoding;
        quint64 refresh = 0;  // which refresh wrote it
    };
    struct Question {
        quint64 page = 0;
        std::optional<PagePatch> patch;  // none: the elements of a page loaded
        QString text;                    // the patch's
        bool ahead = false;              // of a text whose file was being written
        Written shown;                   // the page loaded
    };
    void startLoad();
    std::optional<Reload> startPatch(bool ahead = false);
    // Nothing to run: the page shows the latest text already.
    void alreadyShown();
    void patched(const Question &asked, const QVariant &answer);
    void read(const Question &asked, const QVariant &answer);
    void ended();
    void load(Reload why);
    quint64 ask(Question question);

    engine::LoadGate m_gate;
    QTimer m_timeout;
    // Refreshes told, the one whose load was asked for last, and the last the engine started.
    quint64 m_refreshed = 0, m_requested = 0, m_loaded = 0;
    bool m_stopping = false;           // the process of a page that held it is being ended
    bool m_stopped = false;            // and not loaded again until the next refresh
    std::optional<Reload> m_loadNext;  // the next start loads the page, for this
    bool m_loading = false;            // a load, not an update in place, is under way
    quint64 m_page = 0;
    quint64 m_lastQuestion = 0;
    std::map<quint64, Question> m_questions;
    // The last few written, by their identity on disk: one of them is served.
    QList<std::pair<quint64, Written>> m_files;
    Written m_latest;  // the text of the last refresh
    Written m_served;  // the text of the file served last
    const QString &aligned(const engine::TextSnapshot &text);

    PageIndex m_index;            // of the page shown
    bool m_aheadShown = false;    // its text was shown in place before its file was written
    quint64 m_loadedRefresh = 0;  // the refresh whose file the last load showed
    // The last text asked about, taken whole once for as long as it stays.
    engine::TextSnapshot m_asked;
    QString m_askedText;
    QString m_shownEncoding;
    Updates m_updates;
};

}  // namespace source
