#pragma once

#include <QList>
#include <QStringList>
#include <QStringView>

namespace source {

// The widths, in CSS pixels, at which the @media rules of a stylesheet (or of a page's <style>
// and media attributes) change: min-width, max-width and the range syntax, an em or a rem as
// 16 px. Ascending, each once.
QList<int> mediaWidths(QStringView css);

// The addresses of the stylesheets a page links (<link rel=stylesheet href>) and a stylesheet
// imports (@import), as written.
QStringList stylesheetLinks(QStringView html);
QStringList cssImports(QStringView css);

}  // namespace source
