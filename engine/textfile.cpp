#include "textfile.h"

#include <QDir>

#include "fileio.h"
#include "textcodec.h"

using namespace Qt::StringLiterals;

namespace engine {

QString JoinPath(const QString &folder, const QString &name)
{
    const QChar separator = QDir::separator();
    if (folder.endsWith(separator))
        return folder + name;
    return folder + separator + name;
}

QString LinesFromFile(const QString &content)
{
    QString text;
    text.reserve(content.size() + content.size() / 32 + 2);
    const qsizetype size = content.size();
    qsizetype lineStart = 0;
    while (lineStart < size) {
        qsizetype cr = content.indexOf(u'\r', lineStart);
        if (cr < 0)
            cr = size;
        text.append(QStringView(content).sliced(lineStart, cr - lineStart));
        text.append(u"\r\n");
        lineStart = cr + 1;
        if (lineStart < size && content.at(lineStart) == u'\n')
            ++lineStart;
    }
    return text;
}

ReadText ReadTextFile(const QString &path)
{
    platform::ReadBytes read = platform::readFileBytes(path);
    if (read.error)
        return {{}, {}, read.error};
    std::optional<platform::DecodedText> content = platform::decodeDocument(read.bytes);
    if (!content)
        return {{}, {}, FileError(FileError::Kind::Decode, path, {})};
    return {LinesFromFile(content->text), content->encoding, std::nullopt};
}

std::optional<FileError> WriteTextFile(const QString &path, const QString &text,
                                       const QString &encoding, platform::Durability durability)
{
    return platform::writeTextAtomically(path, {text, u"\r\n"}, encoding, durability);
}

}  // namespace engine
