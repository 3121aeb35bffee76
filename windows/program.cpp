#include "program.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <cstdio>
#include <memory>

#include "form1.h"
#include "previewfile.h"
#include "programfolder.h"
#include "webpreviewpane.h"

using namespace Qt::StringLiterals;

namespace windows {

namespace {

bool hasDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

}  // namespace

int runProgram(int argc, char *argv[])
{
    // Without a display the toolkit would abort with a message of its own.
    if (!hasDisplay()) {
        std::fputs(
            "Quorvane needs a display. Start it from a desktop session, or under a virtual "
            "display:\n    xvfb-run -a quorvane\n",
            stderr);
        return 1;
    }
    // The browser engine reports its GL set-up on every start; nobody needs to read it.
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false"_s);
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Quorvane"_s);
    QApplication::setApplicationVersion(u"1.00"_s);
    QApplication::setWindowIcon(QIcon(u":/quorvane.png"_s));
    // Matches the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));

    // The main window takes the pane as its child WebBrowser1 and deletes it; preview outlives
    // neither and never touches the pane on its way out.
    auto webBrowser1 = std::make_unique<platform::WebPreviewPane>();
    // Installed, the program's folder belongs to the system even for root, who could write in it.
    const QString cache = platform::privateCacheFolder();
    engine::PreviewFile preview(*webBrowser1,
                                platform::isInstalled() ? cache : platform::programFolder(), cache);
    Form1 form1(preview, webBrowser1.release());
    form1.show();
    return QApplication::exec();
}

}  // namespace windows
