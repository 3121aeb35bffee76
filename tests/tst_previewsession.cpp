#include <QTest>

#include "source/previewsession.h"

using namespace Qt::StringLiterals;
using source::PreviewSession;

// How the preview follows the refreshes, decided without a browser: what the session asks of
// the pane after each thing that happens.
class PreviewSessionTest : public QObject {
    Q_OBJECT

private slots:
    void decisions_data()
    {
        QTest::addColumn<QStringList>("texts");  // refreshed in turn
        // r a refresh of the next text, n one whose file holds other than its text, s the
        // latest file served and its load started, l that load done, f failed, p another page
        // in the view, e the elements read, a the patch applied, h the page's process held and
        // ended, x the process ended by itself, m a failure shown in the page's place, w the
        // next text being written, j a refresh of the next text in Shift_JIS, d the document's
        // folder changed, c a file the page uses changed
        QTest::addColumn<QString>("events");
        // After each event: L load, P patch, E read the elements, M a message, u shown by a
        // load, U shown in place; - nothing.
        QTest::addColumn<QString>("asked");
        const QStringList edits{u"<p>a</p>"_s, u"<p>ab</p>"_s, u"<p>abc</p>"_s};
        QTest::addRow("the first refresh loads, and is shown once its elements are read")
            << edits << u"rsle"_s << u"L - E u"_s;
        QTest::addRow("refreshes during a load wait, then one for them all")
            << edits << u"rrrsle"_s << u"L - - - E uU"_s;
        QTest::addRow("then each edit in place") << edits << u"rsleraf"_s << u"L - E u P U -"_s;
        QTest::addRow("a failed load ends the wait") << edits << u"rrf"_s << u"L - L"_s;
        QTest::addRow("an answer for a page no longer shown is dropped")
            << edits << u"rslpe"_s << u"L - E - -"_s;
        QTest::addRow("the head changed loads")
            << QStringList{u"<p>a</p>"_s, u"<title>t</title><p>a</p>"_s} << u"rsler"_s
            << u"L - E u L"_s;
        QTest::addRow("a file that holds other than its text loads")
            << edits << u"rslen"_s << u"L - E u L"_s;
        QTest::addRow("a page held is stopped and said; the next refresh loads it")
            << edits << u"rshr"_s << u"L - M L"_s;
        QTest::addRow("held, with another text refreshed since: that one loads")
            << edits << u"rsrh"_s << u"L - - L"_s;
        QTest::addRow("a process that ended is said") << edits << u"rsx"_s << u"L - M"_s;
        QTest::addRow("a failure shown ends the wait") << edits << u"rmr"_s << u"L - L"_s;
        // Its elements, read by a load begun before, are of a page from the other folder.
        QTest::addRow("the folder changed during a load: the next refresh loads")
            << edits << u"rsdler"_s << u"L - - E u L"_s;
        QTest::addRow("a file the page uses changed: it loads, after a load under way")
            << edits << u"rslecscle"_s << u"L - E u L - - E uL"_s;
        QTest::addRow("in another encoding, ASCII is patched and the rest loads")
            << QStringList{u"<p>a</p>"_s, u"<p>ab</p>"_s, u"<p>ab日本</p>"_s} << u"jslejaj"_s
            << u"L - E u P U L"_s;
        QTest::addRow("a text being written is shown in place; its file then changes nothing")
            << edits << u"rslewar"_s << u"L - E u P U U"_s;
        QTest::addRow("being written while the page is busy, it waits for its file")
            << edits << u"rwsler"_s << u"L - - E u P"_s;
        QTest::addRow("a load that served a newer file showed the refresh due, scripts and all")
            << QStringList{u"<script>s()</script>a"_s, u"<script>s()</script>ab"_s} << u"rrsle"_s
            << u"L - - E uU"_s;
        QTest::addRow("being written, one that would load waits for its file")
            << QStringList{u"<p>a</p>"_s, u"<title>t</title><p>a</p>"_s} << u"rslewr"_s
            << u"L - E u - L"_s;
        QTest::addRow("being written with a surrogate alone, it waits for its file")
            << QStringList{u"<p>a</p>"_s, u"<p>a\xd800</p>"_s} << u"rslewn"_s << u"L - E u - L"_s;
    }
    void decisions()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, events);
        PreviewSession session(std::chrono::seconds(60));
        QString asked;
        quint64 script = 0, elements = 0, file = 0;
        connect(&session, &PreviewSession::loadWanted, this, [&] { asked += u'L'; });
        connect(&session, &PreviewSession::scriptWanted, this, [&](quint64 number) {
            script = number;
            asked += u'P';
        });
        connect(&session, &PreviewSession::elementsWanted, this, [&](quint64 number) {
            elements = number;
            asked += u'E';
        });
        connect(&session, &PreviewSession::messageWanted, this, [&] { asked += u'M'; });
        connect(&session, &PreviewSession::updated, this,
                [&](bool inPlace) { asked += inPlace ? u'U' : u'u'; });
        QStringList steps;
        for (const QChar event : events) {
            asked.clear();
            switch (event.unicode()) {
            case 'r':
                session.refreshed(engine::TextSnapshot(texts.takeFirst()), ++file, u"UTF-8"_s);
                break;
            case 'w':
                session.writing(engine::TextSnapshot(texts.first()), u"UTF-8"_s);
                break;
            case 'j':
                session.refreshed(engine::TextSnapshot(texts.takeFirst()), ++file, u"Shift_JIS"_s);
                break;
            case 'n':
                session.refreshed(std::nullopt, ++file, u"UTF-8"_s);
                break;
            case 's':
                session.pageChanged();
                session.served(file);
                session.loadStarted();
                break;
            case 'l':
                session.loadSucceeded();
                break;
            case 'f':
                session.loadFailed();
                break;
            case 'p':
                session.pageChanged();
                break;
            case 'e':
                session.answered(elements, u"html head body p"_s);
                break;
            case 'a':
                session.answered(script, QVariantList{-1, 0});  // no element came or went
                break;
            case 'h':
                session.holding();
                session.processEnded(u"強制終了されました"_s);
                break;
            case 'x':
                session.processEnded(u"クラッシュしました"_s);
                break;
            case 'm':
                session.failureShown();
                break;
            case 'd':
                session.folderChanged();
                break;
            case 'c':
                session.usedChanged();
                break;
            }
            QCoreApplication::processEvents();
            steps.append(asked.isEmpty() ? u"-"_s : asked);
        }
        QTEST(steps.join(u' '), "asked");
    }
};

QTEST_GUILESS_MAIN(PreviewSessionTest)
#include "tst_previewsession.moc"
