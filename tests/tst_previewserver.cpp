#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>
#include <optional>

#include "tests/testsupport.h"
#include "webview/previewroutes.h"

using testsupport::writeAll;
using webview::PreviewRoutes;

namespace {

constexpr quint16 kPort = 4242;
const QString kSecret = u"0123abcd"_s;

}  // namespace

// What the preview's server gives for an address: the document's folder is one origin, every
// other file an origin of its own, and nothing at all without the run's secret.
class PreviewServerTest : public QObject, public testsupport::TestFolder {
    Q_OBJECT

    std::optional<PreviewRoutes> m_routes;

    // Where a file is served from as an origin of its own: its real path's hash.
    QString ownHost(const QString &name) const
    {
        const QByteArray real = QFileInfo(path(name)).canonicalFilePath().toUtf8();
        return u'o' +
               QString::fromLatin1(
                   QCryptographicHash::hash(real, QCryptographicHash::Sha256).toHex().left(24));
    }
    // The address's placeholders: <f> the document folder's host, <o:name> a file's own host,
    // <dir> the test's folder.
    QString expand(QString text)
    {
        const QString folderHost = m_routes->previewUrl().host().chopped(10);
        text.replace(u"<f>"_s, folderHost).replace(u"<dir>"_s, QDir::cleanPath(path()));
        const qsizetype own = text.indexOf(u"<o:"_s);
        if (own >= 0) {
            const qsizetype end = text.indexOf(u'>', own);
            text.replace(own, end + 1 - own, ownHost(text.sliced(own + 3, end - own - 3)));
        }
        return text;
    }

private slots:
    // The head of a request as the server reads it: the first request only, its host and path.
    void requestHead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("read");  // method, font, host, path; or "refused"
        const QByteArray host = "Host: fab.localhost:4242\r\n";
        QTest::addRow("a GET") << "GET /s/a.html HTTP/1.1\r\n" + host + "\r\n"
                               << u"GET fab.localhost /s/a.html"_s;
        QTest::addRow("HEAD") << "HEAD /s/a.html HTTP/1.1\r\n" + host + "\r\n"
                              << u"HEAD fab.localhost /s/a.html"_s;
        QTest::addRow("a font") << "GET /s/f.woff HTTP/1.1\r\nSEC-FETCH-DEST: font\r\n" + host +
                                       "\r\n"
                                << u"GET font fab.localhost /s/f.woff"_s;
        QTest::addRow("query and fragment dropped")
            << "GET /s/a.html?x=%2F#y HTTP/1.1\r\n" + host + "\r\n"
            << u"GET fab.localhost /s/a.html"_s;
        QTest::addRow("percent-encoded slashes and dots, decoded")
            << "GET /s/a%2Fb/%2e%2e/%E6%97%A5.html HTTP/1.1\r\n" + host + "\r\n"
            << u"GET fab.localhost /s/a/b/../日.html"_s;
        QTest::addRow("pipelined: the second's host is not read")
            << "GET /s/a HTTP/1.1\r\n" + host + "\r\nGET /s/b HTTP/1.1\r\nHost: other\r\n\r\n"
            << u"GET fab.localhost /s/a"_s;
        QTest::addRow("no host") << "GET /s/a HTTP/1.1\r\n\r\n"_ba << u"refused"_s;
        QTest::addRow("cut short before its host") << "GET /s/a HTTP/1.1\r\nHo"_ba << u"refused"_s;
        QTest::addRow("another method") << "POST /s/a HTTP/1.1\r\n" + host + "\r\n" << u"refused"_s;
        QTest::addRow("no path") << "GET\r\n" + host + "\r\n" << u"refused"_s;
        QTest::addRow("binary") << QByteArray("\0\xff\r\n\r\n", 6) << u"refused"_s;
        QTest::addRow("64 KB of head and no host")
            << "GET /s/a HTTP/1.1\r\nX: " + QByteArray(64 * 1024, 'a') << u"refused"_s;
    }
    void requestHead()
    {
        QFETCH(QByteArray, bytes);
        const webview::RequestHead head = webview::readRequestHead(bytes);
        const QString read = !head.valid ? u"refused"_s
                                         : u"%1%2 %3 %4"_s.arg(head.head ? u"HEAD"_s : u"GET"_s,
                                                               head.font ? u" font"_s : QString(),
                                                               head.host, head.path);
        QTEST(read, "read");
    }

    void init()
    {
        renew();
        for (const QString &folder : {u"doc/sub"_s, u"program"_s, u"outside"_s})
            QVERIFY(QDir().mkpath(path(folder)));
        for (const QString &file : {u"doc/page.css"_s, u"doc/sub/img.png"_s, u"program/一時.html"_s,
                                    u"program/other.html"_s, u"outside/secret.txt"_s})
            QVERIFY(writeAll(path(file), "x"));
        QVERIFY(QFile::link(path(u"outside/secret.txt"_s), path(u"doc/link.txt"_s)));
        m_routes.emplace(kSecret, kPort);
        m_routes->setPreview(path(u"program/一時.html"_s), u"Shift_JIS"_s);
        m_routes->setDocumentFolder(path(u"doc"_s));
    }

    void answers_data()
    {
        QTest::addColumn<bool>("newDocument");  // shown after the document's folder
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("path");  // "~" for the secret and the test's folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("served");  // the file, or whose origin a redirect leads to
        const auto row = [](const char *name, const QString &host, const QString &path, int status,
                            const QString &served, bool newDocument = false) {
            QTest::addRow("%s", name) << newDocument << host << path << status << served;
        };
        row("the preview, as the document in its folder", u"<f>"_s, u"~/doc/一時.html"_s, 200,
            u"program/一時.html"_s);
        row("a file of the folder", u"<f>"_s, u"~/doc/page.css"_s, 200, u"doc/page.css"_s);
        row("a file below it", u"<f>"_s, u"~/doc/sub/img.png"_s, 200, u"doc/sub/img.png"_s);
        row("out of the folder by ../", u"<f>"_s, u"~/doc/sub/../../outside/secret.txt"_s, 307,
            u"outside/secret.txt"_s);
        row("out of the folder by a link in it", u"<f>"_s, u"~/doc/link.txt"_s, 307,
            u"outside/secret.txt"_s);
        row("a file from its own origin", u"<o:outside/secret.txt>"_s, u"~/outside/secret.txt"_s,
            200, u"outside/secret.txt"_s);
        row("another file from that origin", u"<o:outside/secret.txt>"_s, u"~/doc/page.css"_s, 307,
            u"doc/page.css"_s);
        row("an origin nobody made", u"f0123.localhost"_s, u"~/doc/page.css"_s, 307,
            u"doc/page.css"_s);
        row("without the secret", u"<f>"_s, u"<dir>/doc/page.css"_s, 404, {});
        row("with another secret", u"<f>"_s, u"/0123abce<dir>/doc/page.css"_s, 404, {});
        row("a host off the loopback", u"example.com"_s, u"~/doc/page.css"_s, 404, {});
        row("a new document, as itself", u"new"_s, u"~/program/一時.html"_s, 200,
            u"program/一時.html"_s, true);
        row("a new document's neighbour", u"new"_s, u"~/program/other.html"_s, 307,
            u"program/other.html"_s, true);
        row("a folder shown before, as history goes back", u"<f>"_s, u"~/doc/page.css"_s, 200,
            u"doc/page.css"_s, true);
    }
    void answers()
    {
        QFETCH(bool, newDocument);
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, served);
        host = expand(host);  // the document's folder is shown first
        if (!host.contains(u'.'))
            host += u".localhost"_s;
        if (newDocument) {
            m_routes->setDocumentFolder({});
            QCOMPARE(m_routes->previewUrl().host(), u"new.localhost"_s);
        }
        path = expand(path.replace(u'~', u"/0123abcd<dir>"_s));
        const PreviewRoutes::Answer answer = m_routes->answer(host, path);
        QCOMPARE(answer.status, status);
        if (status == 200)
            QCOMPARE(QFileInfo(answer.file).canonicalFilePath(),
                     QFileInfo(this->path(served)).canonicalFilePath());
        // To the origin of the file the path leads to, at the path asked.
        if (status == 307)
            QCOMPARE(answer.location.toString(),
                     u"http://%1.localhost:4242/0123abcd%2"_s.arg(ownHost(served),
                                                                  QDir::cleanPath(path.sliced(9))));
        if (status == 200 && served.endsWith(u".html"_s))
            QCOMPARE(answer.type, "text/html;charset=Shift_JIS");
        if (status == 200 && served.endsWith(u".css"_s))
            QCOMPARE(answer.type, "text/css");
    }
};

QTEST_GUILESS_MAIN(PreviewServerTest)
#include "tst_previewserver.moc"
