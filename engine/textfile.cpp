#include "engine/textfile.h"

#include <QFileInfo>

#include <QDir>

#include "engine/textcodec.h"

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

ReadText ReadTextFile(const QString &path, const QString &pageEncoding)
{
    platform::ReadBytes read = platform::readFileBytes(path);
    switch (read.failure) {
    case platform::ReadBytes::Failure::None:
        break;
    case platform::ReadBytes::Failure::Open:
        return {{}, {}, FileError(FileError::Kind::Open, path, read.error), {}};
    case platform::ReadBytes::Failure::Read:
        return {{}, {}, FileError(FileError::Kind::Read, path, read.error), {}};
    case platform::ReadBytes::Failure::TooLarge:
        return {{},
                {},
                FileError(FileError::Kind::TooLarge, path,
                          u"%1 MB を超えています。"_s.arg(platform::kMaxReadBytes / (1024 * 1024))),
                {}};
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    const Declares declares = suffix == u"css"                      ? Declares::CharsetRule
                              : suffix == u"js" || suffix == u"mjs" ? Declares::Nothing
                                                                    : Declares::Meta;
    std::optional<DecodedText> content = decodeDocument(read.bytes, declares, pageEncoding);
    if (!content)
        return {{}, {}, FileError(FileError::Kind::Decode, path, QString()), {}};
    QString notice = rewrittenOnSave(read.bytes, content->text, content->encoding);
    return {LinesFromFile(content->text), content->encoding, std::nullopt, std::move(notice)};
}

std::optional<FileError> WriteTextFile(const QString &path, const TextSnapshot &text,
                                       const QString &encoding, platform::Durability durability,
                                       const std::atomic<bool> *cancel, Referenced *referenced)
{
    const EncodedText encoded = encodeText(
        text, u"\r\n", encoding, cancel, referenced ? Unencodable::Reference : Unencodable::Refuse);
    if (referenced)
        *referenced = {encoded.referenced, encoded.referencedLine};
    switch (encoded.result) {
    case EncodedText::Result::Ok:
        break;
    case EncodedText::Result::Cancelled:
        return FileError(FileError::Kind::Write, path, u"書き込みを取り消しました。"_s);
    case EncodedText::Result::UnknownEncoding:
        return FileError(FileError::Kind::Write, path,
                         u"文字コード %1 には対応していません。"_s.arg(encoding));
    case EncodedText::Result::Unencodable: {
        FileError error(FileError::Kind::Encode, path);
        error.encoding = encoding;
        error.character = encoded.character;
        error.line = encoded.line;
        return error;
    }
    }
    if (std::optional<platform::OsError> error =
            platform::replaceFile(path, encoded.bytes, durability))
        return FileError(FileError::Kind::Write, path, *error);
    return std::nullopt;
}

}  // namespace engine
