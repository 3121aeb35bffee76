#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Tidying a page's indentation (整形), on the program's own reading of tags: each block's tags
// on lines of their own, indented by two spaces a level, and the lines of a <script> or <style>
// indented within it. Only white space between tags that stand alone changes, and a script's or
// style's indentation: text, inline elements and what is in <pre> and <textarea> stay as written,
// and no line is wrapped.
namespace source {

// Text indented, its lines ended by LF, from the indentation of its first line; nothing, with
// failure said in Japanese, if it cannot be. Runs on any thread.
std::optional<QString> formatPage(QStringView text, QString *failure);

}  // namespace source
