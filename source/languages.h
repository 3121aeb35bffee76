#pragma once

#include <QByteArray>
#include <QStringView>

struct TSLanguage;

namespace source {

enum class Language { Html, Css, JavaScript };

// What a file is written in, by its name: a stylesheet, a script, else a page.
Language languageOf(QStringView fileName);

const TSLanguage *grammar(Language language);

// The grammar's own highlights query, as it ships with the grammar.
QByteArray highlightsQuery(Language language);

// Which parts of a page are written in another language (HTML only).
QByteArray injectionsQuery();

}  // namespace source
