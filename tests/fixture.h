#pragma once

#include <QAccessible>
#include <QDir>
#include <chrono>
#include <memory>

#include "forms/form1.h"
#include "tests/testsupport.h"
#include "webview/webpreviewpane.h"

namespace testsupport {

// Every name in a window's accessibility tree, as assistive technology reads it.
inline QStringList accessibleNames(QObject *window)
{
    QStringList names;
    const auto walk = [&](const auto &self, QAccessibleInterface *node) -> void {
        names.append(node->text(QAccessible::Name));
        for (int i = 0; i < node->childCount(); ++i)
            self(self, node->child(i));
    };
    walk(walk, QAccessible::queryAccessibleInterface(window));
    return names;
}

// The main window over a preview in a new folder of its own: the preview file goes to "program",
// or to "private" when that cannot take it, and the journal to "journal", unless other folders
// are given. Behind WebBrowser1
// is the recording pane, or the real web view.
class Fixture : public TestFolder {
public:
    enum class Pane { Recording, Web };

    void start(Pane kind = Pane::Recording, forms::Folders folders = {},
               std::chrono::milliseconds loadTimeout = webview::WebPreviewPane::kLoadTimeout)
    {
        stop();
        renew();
        open(kind, folders, loadTimeout);
    }
    // The same in the folder as it is: a program started again.
    void open(Pane kind = Pane::Recording, forms::Folders folders = {},
              std::chrono::milliseconds loadTimeout = webview::WebPreviewPane::kLoadTimeout)
    {
        QDir().mkpath(path(u"program"_s));
        if (folders.program.isEmpty())
            folders = {QDir::toNativeSeparators(path(u"program"_s)), path(u"private"_s),
                       path(u"journal"_s)};
        const auto makePane = [&](QWidget *parent) -> forms::PaneParts {
            if (kind == Pane::Recording) {
                auto *stand = new QWidget(parent);
                stand->setFocusPolicy(Qt::StrongFocus);  // as a web view takes the focus
                return {stand, &recording};
            }
            view = new webview::WebPreviewPane(parent, loadTimeout);
            return {view, view};
        };
        form1 = std::make_unique<forms::Form1>(makePane, folders);
        form1->show();
    }
    void stop()
    {
        form1.reset();
        recording.clear();
        view = nullptr;
    }

    QString previewFile() const { return path(u"program/一時.html"_s); }

    RecordingPane recording;
    webview::WebPreviewPane *view = nullptr;
    std::unique_ptr<forms::Form1> form1;
};

}  // namespace testsupport
