// One RefreshPreview (editor text in, file written, pane told) against the floor: a plain C
// library write of the same bytes. Prints the median of several runs for each size.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/previewfile.h"
#include "tests/pages.h"
#include "tests/testsupport.h"

using namespace Qt::StringLiterals;

namespace {

double medianMs(std::vector<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    return ns[ns.size() / 2] / 1e6;
}

bool plainWrite(const QByteArray &path, const QByteArray &bytes)
{
    FILE *file = std::fopen(path.constData(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.constData(), 1, bytes.size(), file) == size_t(bytes.size());
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const testsupport::TestFolder dir;
    testsupport::RecordingPane pane;
    engine::PreviewFile preview(pane, QDir::toNativeSeparators(dir.path()), QString());
    const QByteArray floorPath = QFile::encodeName(dir.path(u"floor.html"_s));

    std::printf("%-8s %12s %12s %8s\n", "size", "refresh ms", "floor ms", "ratio");
    const std::vector<std::pair<const char *, qsizetype>> sizes{{"10 KB", 10 * 1024},
                                                                {"100 KB", 100 * 1024},
                                                                {"1 MB", 1024 * 1024},
                                                                {"10 MB", 10 * 1024 * 1024}};
    for (const auto &[label, size] : sizes) {
        const QString text = htmlOfSize(size);
        const QByteArray bytes = (text + u"\r\n"_s).toUtf8();
        const int runs = size >= 10 * 1024 * 1024 ? 15 : 51;
        std::vector<qint64> refresh, floor;
        for (int i = 0; i < runs; ++i) {
            // Alternate the two so that cache and disk state treat them alike.
            QElapsedTimer timer;
            timer.start();
            if (preview.RefreshPreview(text))
                return 2;
            refresh.push_back(timer.nsecsElapsed());
            timer.restart();
            if (!plainWrite(floorPath, bytes))
                return 3;
            floor.push_back(timer.nsecsElapsed());
        }
        const double r = medianMs(refresh), f = medianMs(floor);
        std::printf("%-8s %12.3f %12.3f %8.2f\n", label, r, f, r / f);
    }
    return 0;
}
