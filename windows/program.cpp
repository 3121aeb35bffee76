#include "windows/program.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <cstdio>

#include "platform/programfolder.h"
#include "webview/webpreviewpane.h"
#include "windows/form1.h"

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
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QApplication::setWindowIcon(QIcon(u":/quorvane.png"_s));
    // Matches the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));

    // Installed, the program's folder belongs to the system even for root, who could write in it.
    const QString cache = platform::privateCacheFolder();
    Form1 form1(
        [](QWidget *parent) {
            auto *pane = new webview::WebPreviewPane(parent);
            return PaneParts{pane, pane};
        },
        {platform::isInstalled() ? cache : platform::programFolder(), cache});
    form1.show();
    return QApplication::exec();
}

}  // namespace windows
