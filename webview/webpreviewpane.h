#pragma once

#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <array>
#include <chrono>

#include "engine/loadgate.h"
#include "engine/previewpane.h"
#include "source/pagepatch.h"

namespace webview {

class ConsoleStrip;
class ElementOutline;
class PreviewServer;
class PreviewView;
class RendererWatch;

// The preview pane: a web view that loads the preview file by its local path and shows it as a
// browser would show the document from the document's own folder, with the strip of the page's
// messages below it and the outline of an element over it.
class WebPreviewPane : public QWidget, public engine::PreviewPane {
    Q_OBJECT

public:
    // How long a load may take before later refreshes stop waiting for it.
    static constexpr std::chrono::milliseconds kLoadTimeout{5000};
    // How long a page must stay before its elements are read for the link to the source.
    static constexpr std::chrono::milliseconds kSettle{100};

    explicit WebPreviewPane(QWidget *parent = nullptr,
                            std::chrono::milliseconds loadTimeout = kLoadTimeout);
    ~WebPreviewPane() override;
    Q_DISABLE_COPY_MOVE(WebPreviewPane)

    void written(const std::optional<engine::TextSnapshot> &text,
                 std::optional<quint64> file) override;
    void navigate(const QString &localPath, const QString &encoding) override;
    void showFailure(const engine::FileError &error) override;
    void setDocumentFolder(const QString &folder) override;
    void setWarning(const QString &warning, int line) override;
    void setProblems(const QList<Problem> &problems, const QString &note) override;
    void setNotice(const QString &notice) override;
    void setPageEvents(PageEvents events) override;
    void showElement(int element) override;

    PreviewView &web() const { return *m_view; }
    ConsoleStrip &console() const { return *m_console; }
    ElementOutline &outline() const { return *m_outline; }
    // The element outlined, as the page numbers it; -1 for none.
    int outlinedElement() const;

    // How refreshes have brought the page up to date: in place, or by a load and why.
    struct Updates {
        int inPlace = 0;
        std::array<int, source::kReloadReasons> loads{};
    };
    const Updates &updates() const { return m_updates; }
    // A load or an update in place is under way or due.
    bool isUpdating() const { return m_gate.isBusy(); }

signals:
    // A refresh's text is shown: in place, or a load of it finished.
    void updated(bool inPlace);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startLoad();
    std::optional<source::Reload> startPatch();
    void patched(const source::PagePatch &patch, const QString &text, const QVariant &answer);
    void readPage();
    // Asks the page in the program's own script world; answered hears the answer while the
    // page asked is still the one shown.
    void ask(const QString &script, std::function<void(const QVariant &answer)> answered);
    void showMessage(const QString &title, const QString &text);
    void loadEnded();
    void pageLoaded(bool ok);
    void consoleMessage(int level, const QString &message, int line, const QString &source);
    void askForBox(int element, bool bring);
    void placeParts();
    void watchDrawnWidget();
    void pick(QPointF at);

    PreviewView *m_view = nullptr;
    ConsoleStrip *m_console = nullptr;
    ElementOutline *m_outline = nullptr;
    QWidget *m_watched = nullptr;  // the widget the page is drawn in, for Ctrl+click
    PageEvents m_events;
    quint64 m_pageNumber = 0;  // of the page loaded last, to tell a late answer
    bool m_isPreview = false;  // the page shown is the preview, not one a link led to
    bool m_picking = false;    // the press was Ctrl+click's, and so is its release

    PreviewServer *m_server = nullptr;
    RendererWatch *m_watch = nullptr;
    // Refreshes told, the one whose load was asked for last, and the last the engine started.
    quint64 m_refreshed = 0, m_requested = 0, m_loaded = 0;
    bool m_stopping = false;  // the process of a page that held it is being ended
    bool m_stopped = false;   // and not loaded again until the next refresh
    engine::LoadGate m_gate;
    QTimer m_timeout;
    QTimer m_settle;
    bool m_loadedOk = false;
    QUrl m_url;

    // What the page shown was made of, to bring it up to date in place.
    struct Written {
        std::optional<engine::TextSnapshot> text;  // none when the file holds other than it
        QString encoding;
    };
    std::optional<quint64> m_writtenFile;  // told by written, for navigate
    std::optional<engine::TextSnapshot> m_writtenText;
    // The last few written, by their identity on disk: one of them is served.
    QList<std::pair<quint64, Written>> m_files;
    Written m_latest;           // the text of the last refresh
    Written m_served;           // the text of the file served last
    source::PageIndex m_index;  // of the page shown
    QString m_shownEncoding;
    Updates m_updates;
};

}  // namespace webview
