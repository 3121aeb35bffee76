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
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("served");  // the file, or where a redirect leads
        const QString at = u"/0123abcd<dir>"_s;
        QTest::addRow("the preview, as the document in its folder")
            << false << u"<f>"_s << at + u"/doc/一時.html"_s << 200 << u"program/一時.html"_s;
        QTest::addRow("a file of the folder")
            << false << u"<f>"_s << at + u"/doc/page.css"_s << 200 << u"doc/page.css"_s;
        QTest::addRow("a file below it")
            << false << u"<f>"_s << at + u"/doc/sub/img.png"_s << 200 << u"doc/sub/img.png"_s;
        QTest::addRow("out of the folder by ../")
            << false << u"<f>"_s << at + u"/doc/sub/../../outside/secret.txt"_s << 307
            << u"http://<o:outside/secret.txt>.localhost:4242/0123abcd<dir>/outside/secret.txt"_s;
        QTest::addRow("out of the folder by a link in it")
            << false << u"<f>"_s << at + u"/doc/link.txt"_s << 307
            << u"http://<o:outside/secret.txt>.localhost:4242/0123abcd<dir>/doc/link.txt"_s;
        QTest::addRow("a file from its own origin")
            << false << u"<o:outside/secret.txt>"_s << at + u"/outside/secret.txt"_s << 200
            << u"outside/secret.txt"_s;
        QTest::addRow("another file from that origin")
            << false << u"<o:outside/secret.txt>"_s << at + u"/doc/page.css"_s << 307
            << u"http://<o:doc/page.css>.localhost:4242/0123abcd<dir>/doc/page.css"_s;
        QTest::addRow("an origin nobody made")
            << false << u"f0123.localhost"_s << at + u"/doc/page.css"_s << 307
            << u"http://<o:doc/page.css>.localhost:4242/0123abcd<dir>/doc/page.css"_s;
        QTest::addRow("without the secret")
            << false << u"<f>"_s << u"<dir>/doc/page.css"_s << 404 << QString();
        QTest::addRow("with another secret")
            << false << u"<f>"_s << u"/0123abce<dir>/doc/page.css"_s << 404 << QString();
        QTest::addRow("a host off the loopback")
            << false << u"example.com"_s << at + u"/doc/page.css"_s << 404 << QString();
        QTest::addRow("a new document, as itself")
            << true << u"new"_s << at + u"/program/一時.html"_s << 200 << u"program/一時.html"_s;
        QTest::addRow("a new document's neighbour")
            << true << u"new"_s << at + u"/program/other.html"_s << 307
            << u"http://<o:program/other.html>.localhost:4242/0123abcd<dir>/program/other.html"_s;
        QTest::addRow("a folder shown before, as history goes back")
            << true << u"<f>"_s << at + u"/doc/page.css"_s << 200 << u"doc/page.css"_s;
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
        const PreviewRoutes::Answer answer = m_routes->answer(host, expand(path));
        QCOMPARE(answer.status, status);
        if (status == 200)
            QCOMPARE(QFileInfo(answer.file).canonicalFilePath(),
                     QFileInfo(this->path(served)).canonicalFilePath());
        if (status == 307)
            QCOMPARE(answer.location.toString(), expand(served));
        if (status == 200 && served.endsWith(u".html"_s))
            QCOMPARE(answer.type, "text/html;charset=Shift_JIS");
        if (status == 200 && served.endsWith(u".css"_s))
            QCOMPARE(answer.type, "text/css");
    }
};

QTEST_GUILESS_MAIN(PreviewServerTest)
#include "tst_previewserver.moc"
