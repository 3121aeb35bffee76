#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace source {

// The link written at position in an HTML text: the value of the href or src attribute of the
// tag it is in, when position is on that value; nothing elsewhere.
std::optional<QString> linkAt(QStringView text, qsizetype position);

// Every href and src value of a page's tags, as written.
QStringList linksOf(QStringView html);

// The local file a link leads to from folder: a relative path or a file: URL, without its query
// or fragment. Nothing for a link to the web, a data: URL or a bare fragment, and for a
// relative link when there is no folder.
std::optional<QString> linkedFile(const QString &link, const QString &folder);

}  // namespace source
