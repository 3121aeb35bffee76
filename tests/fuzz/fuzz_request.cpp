// The preview server's reading of a request, and its routes: any bytes give a request or none,
// and no answer serves a file the routes do not allow for the origin asked.
#include <QDir>
#include <cstdio>

#include "tests/fuzz/fuzzinput.h"
#include "webview/previewroutes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const webview::RequestHead head = webview::readRequestHead(bytes);
    if (!head.valid)
        return 0;
    static webview::PreviewRoutes routes = [] {
        webview::PreviewRoutes made(QStringLiteral("secret"), 8080);
        made.setDocumentFolder(QStringLiteral("/site/doc"));
        made.setPreview(QStringLiteral("/program/preview.html"), QStringLiteral("UTF-8"));
        (void)made.previewUrl();
        return made;
    }();
    const webview::PreviewRoutes::Answer answer = routes.answer(head.host, head.path);
    FUZZ_CHECK(answer.status == 200 || answer.status == 307 || answer.status == 404);
    if (answer.status == 200 && answer.preview) {
        FUZZ_CHECK(answer.file == QStringLiteral("/program/preview.html"));
    } else if (answer.status == 200) {
        // A file within the document's folder, for the folder's origin; or the one file a
        // file's own origin stands for: the origin any other host is sent to for it.
        const bool inFolder = answer.file.startsWith(QStringLiteral("/site/doc/"));
        const webview::PreviewRoutes::Answer elsewhere =
            routes.answer(QStringLiteral("elsewhere.localhost"), head.path);
        FUZZ_CHECK(elsewhere.status == 307);
        const QString own = elsewhere.location.host();
        FUZZ_CHECK((inFolder && head.host.startsWith(u'f')) || head.host == own);
        FUZZ_CHECK(answer.file == QDir::cleanPath(answer.file));
    }
    return 0;
}
