#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Tidying a page's indentation (整形), by js-beautify's HTML beautifier, which gives <script>
// and <style> to its JavaScript and CSS beautifiers. What the page shows stays the same: the
// text of <pre> and <textarea> is kept as written, character references too, inline elements
// stay in their line, and no line is wrapped.
namespace source {

// Text indented, its lines ended by LF, from the indentation of its first line; nothing, with
// failure said in Japanese, if it cannot be. Runs on any thread, one engine a call.
std::optional<QString> formatPage(QStringView text, QString *failure);

}  // namespace source
