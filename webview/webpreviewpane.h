#pragma once

#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <array>
#include <chrono>

#include "engine/previewpane.h"
#include "source/previewsession.h"

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

    explicit WebPreviewPane(QWidget *parent = nullptr,
                            std::chrono::milliseconds loadTimeout = kLoadTimeout);
    ~WebPreviewPane() override;
    Q_DISABLE_COPY_MOVE(WebPreviewPane)

    void navigate(const Refresh &refresh) override;
    void writing(const Refresh &refresh) override;
    void showFailure(const engine::FileError &error) override;
    void setDocumentFolder(const QString &folder) override;
    void setWarning(const QString &warning, int line) override;
    void setProblems(const QList<Problem> &problems, const QString &note) override;
    void setNotice(const QString &notice) override;
    void showElement(int element) override;
    int elementOf(const engine::TextSnapshot &text, const QList<qsizetype> &starts) override;
    std::optional<qsizetype> startOf(const engine::TextSnapshot &text,
                                     const QList<int> &elements) override;

    PreviewView &web() const { return *m_view; }
    ConsoleStrip &console() const { return *m_console; }
    ElementOutline &outline() const { return *m_outline; }
    // The element outlined, as the page numbers it; -1 for none.
    int outlinedElement() const;

    // How refreshes have brought the page up to date: in place, or by a load and why.
    using Updates = source::PreviewSession::Updates;
    const Updates &updates() const { return m_session->updates(); }
    // A load or an update in place is under way or due.
    bool isUpdating() const { return m_session->isUpdating(); }

signals:
    // A refresh's text is shown: in place, or a load of it finished.
    void updated(bool inPlace);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The page, on a profile of its own.
    void makePage();
    // What the session decides, done.
    void followSession();
    void tellSession();
    // Asks the page in the program's own script world; answered hears the answer while the
    // page asked is still the one shown.
    void ask(const QString &script, std::function<void(const QVariant &answer)> answered);
    void showMessage(const QString &title, const QString &text);
    void consoleMessage(int level, const QString &message, int line, const QString &source);
    void askForBox(int element, bool bring);
    void placeParts();
    void watchDrawnWidget();
    void pick(QPointF at);

    PreviewView *m_view = nullptr;
    ConsoleStrip *m_console = nullptr;
    ElementOutline *m_outline = nullptr;
    QWidget *m_watched = nullptr;  // the widget the page is drawn in, for Ctrl+click
    bool m_isPreview = false;      // the page shown is the preview, not one a link led to
    bool m_picking = false;        // the press was Ctrl+click's, and so is its release

    source::PreviewSession *m_session = nullptr;
    PreviewServer *m_server = nullptr;
    RendererWatch *m_watch = nullptr;
    QUrl m_url;
};

}  // namespace webview
