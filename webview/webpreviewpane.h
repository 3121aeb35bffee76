#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <array>
#include <chrono>
#include <memory>

#include "engine/previewpane.h"
#include "source/previewsession.h"
#include "source/stylesheetrules.h"

class QAction;
class QLabel;
class QMenu;
class QScrollBar;

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
    void setUnsaved(const QString &file, const std::optional<QByteArray> &bytes) override;
    void usedChanged(bool unlessLoading = false) override;
    void restyle(const QString &file, const QString &text) override;
    // How many times a stylesheet's text restyled the page in place: the sheet's rules replaced
    // whole, and only the rules an edit touched.
    int restyledWhole() const { return m_restyledWhole; }
    int restyledRules() const { return m_restyledRules; }
    void setWarning(const QString &warning, int line) override;
    void setProblems(const QList<Problem> &problems, const QString &note) override;
    void setNotice(const QString &notice) override;
    void checkAccessibility(bool asked) override;
    // A page of more elements is checked only when a person asks: a rule holds it for seconds.
    static constexpr int kMostElementsUnasked = 1000;
    void setFindings(const QList<Problem> &findings, const QString &note) override;
    // The findings told at most; the rest are counted.
    static constexpr int kMostFindings = 500;
    // How the last check that finished went: from asked to found, the longest of its tasks in
    // the page, and how many there were.
    struct CheckTimes {
        qint64 total = 0;
        double longest = 0;
        int slices = 0;
    };
    CheckTimes lastCheck() const { return m_lastCheck; }
    void showElement(int element) override;
    int elementOf(const engine::TextSnapshot &text, const QList<qsizetype> &starts) override;
    std::optional<qsizetype> startOf(const engine::TextSnapshot &text,
                                     const QList<int> &elements) override;
    int elementOfLine(const engine::TextSnapshot &text, qsizetype lineStart,
                      qsizetype lineEnd) override;
    void scrollToElement(int element) override;

    // A width the page may be laid out at, in CSS pixels; 0 for the pane's own.
    struct PageWidth {
        int width = 0;
        QString caption;
        bool device = false;  // a phone's or a tablet's, whose viewport and touch are not emulated
    };
    // The designed ones, then the page's own breakpoints, read from the page and the
    // stylesheets it links in the document's folder.
    QList<PageWidth> pageWidths() const;
    void setPageWidth(int width);
    int pageWidth() const { return m_pageWidth; }
    // The next of pageWidths(), after the last the pane's own again.
    void stepPageWidth();
    // Scrolls a person makes in either side are followed by the other.
    bool followsScroll() const;
    void setFollowsScroll(bool follows);

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
    // More rules changed than this are given whole.
    static constexpr qsizetype kFewestRules = 64;
    void restyleDue();
    void restyleWhole(const QString &file, const source::SheetRules &sheet);
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
    void makeOwnActions();
    void askForTop();
    bool personScrolling() const;
    void askToScroll();
    void startCheck();
    void cancelCheck();
    void askFound();

    PreviewView *m_view = nullptr;
    ConsoleStrip *m_console = nullptr;
    ElementOutline *m_outline = nullptr;
    QWidget *m_watched = nullptr;  // the widget the page is drawn in, for Ctrl+click
    bool m_isPreview = false;      // the page shown is the preview, not one a link led to
    bool m_picking = false;        // the press was Ctrl+click's, and so is its release

    source::PreviewSession *m_session = nullptr;
    PreviewServer *m_server = nullptr;
    QHash<QString, QString> m_restyles;  // stylesheets' texts due, by file
    QHash<QString, source::SheetRules>
        m_sheets;  // what each stylesheet last restyled the page with
    int m_restyledWhole = 0;
    int m_restyledRules = 0;
    RendererWatch *m_watch = nullptr;
    QUrl m_url;
    QString m_folder;
    std::optional<engine::TextSnapshot> m_pageText;  // the last refresh's

    int m_pageWidth = 0;
    qreal m_zoom = 1;
    QScrollBar *m_across = nullptr;  // for a page wider than the pane at the least zoom
    QLabel *m_widthLabel = nullptr;
    std::unique_ptr<QMenu> m_widthMenu;  // the menu's submenu, no child of the pane's
    QAction *m_follow = nullptr;

    // A person's last wheel, key or press on the page, and whether the button is still down.
    QElapsedTimer m_pageInput;
    bool m_pageHeld = false;
    bool m_askingTop = false, m_topAgain = false;
    int m_scrollWanted = -1;
    bool m_scrolling = false;

    // The accessibility check: the one under way by its number, one asked for while the page is
    // updated, and the wait between asking what it found.
    quint64 m_check = 0;
    bool m_checking = false;
    bool m_checkDue = false;
    bool m_checkAsked = false;
    QTimer m_checkPoll;
    QElapsedTimer m_checkClock;
    CheckTimes m_lastCheck;
};

}  // namespace webview
