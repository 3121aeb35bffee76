#include "app/program.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <cstdio>

#include "app/japanese.h"
#include "forms/form1.h"
#include "forms/journalkeeper.h"
#include "forms/warning.h"
#include "platform/programfolder.h"
#include "platform/stopsignals.h"
#include "webview/webpreviewpane.h"

using namespace Qt::StringLiterals;

namespace app {

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

struct Arguments {
    int exitCode = -1;  // set when the program is done with the command line alone
    QStringList files;
};

// --help and --version answer without a display; a mistake on the command line is said, and
// ends the program with status 2.
Arguments parseArguments(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(u"Quorvane"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QCommandLineParser parser;
    // The toolkit's options are words after a single dash (-platform, -style).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        u"HTML editor with a live preview: the source on the left, the page on the right."_s);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(u"file"_s, u"The files to open, each as a document of its own."_s,
                                 u"[file...]"_s);
    // The toolkit's own options are taken by it, and are no mistake here.
    for (const char *name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
          "qwindowicon", "qwindowtitle", "display", "geometry", "style", "stylesheet", "session"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), u"value"_s);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    Arguments result;
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "quorvane: %s\nTry 'quorvane --help' for more information.\n",
                     qPrintable(parser.errorText()));
        result.exitCode = 2;
    } else if (parser.isSet(help) || parser.isSet(u"help-all"_s)) {
        std::fputs(qPrintable(parser.helpText().replace(u"<executable_name>"_s, u"quorvane"_s)),
                   stdout);
        result.exitCode = 0;
    } else if (parser.isSet(version)) {
        std::printf("Quorvane %s\n", QUORVANE_VERSION);
        result.exitCode = 0;
    }
    result.files = parser.positionalArguments();
    return result;
}

}  // namespace

void openFromCommandLine(forms::Form1 &form1, const QStringList &files, qsizetype next)
{
    if (next >= files.size())
        return;
    // Each file a document of its own, the first in the new document the window starts with,
    // one after another (a large one is read on a thread); the window is in use meanwhile.
    const QString path = QFileInfo(files[next]).absoluteFilePath();
    const auto opened = [&form1, files, next](const std::optional<QString> &error) {
        if (error && !error->isEmpty())
            forms::warn(&form1, u"Quorvane"_s, *error);
        openFromCommandLine(form1, files, next + 1);
    };
    if (next == 0)
        form1.openDocument(path, &form1, opened);
    else
        form1.openAnother(path, &form1, opened);
}

void endWhenTheSystemAsks(forms::Form1 &form1)
{
    auto *stops = new platform::StopSignals(&form1);
    QObject::connect(stops, &platform::StopSignals::received, &form1,
                     &forms::Form1::endForTheSystem);
}

int runProgram(int argc, char *argv[])
{
    const Arguments arguments = parseArguments(argc, argv);
    if (arguments.exitCode >= 0)
        return arguments.exitCode;
    // Without a display the toolkit would abort with a message of its own.
    if (!hasDisplay()) {
        std::fputs(
            "Quorvane needs a display. Start it from a desktop session, or under a virtual "
            "display:\n    xvfb-run -a quorvane\n",
            stderr);
        return 1;
    }
    // The browser engine reports its GL set-up on every start; nobody needs to read it.
    // The JavaScript compiler's remarks on the style of the libraries it runs are of no use here.
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false\nqt.qml.compiler=false"_s);
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(u":/quorvane.png"_s));
    useJapanese(app);
    // Matches the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));

    // Installed, the program's folder belongs to the system even for root, who could write in it.
    const QString cache = platform::privateCacheFolder();
    forms::Form1 form1(
        [](QWidget *parent) {
            auto *pane = new webview::WebPreviewPane(parent);
            return forms::PaneParts{pane, pane};
        },
        {platform::isInstalled() ? cache : platform::programFolder(), cache,
         QDir(cache).filePath(u"journals"_s)});
    endWhenTheSystemAsks(form1);
    form1.show();
    openFromCommandLine(form1, arguments.files);
    // What a program that ended without a word left unsaved, asked over the window.
    forms::offerJournal(form1, QDir(cache).filePath(u"journals"_s));
    return QApplication::exec();
}

}  // namespace app
