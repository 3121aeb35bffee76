#pragma once

#include <QList>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace source {

// The top-level rules of a stylesheet as a browser's CSS parser divides it: an at-rule up to its
// ';' or the end of its block, any other rule up to the end of its block, without the
// whitespace, comments and <!-- --> between them. A rule left open runs to the end of the text.
// Each rule, parsed alone, gives what the browser makes of it within the whole text.
QList<QStringView> stylesheetRules(QStringView text);

// A sheet's text and its rules, as views into it.
struct SheetRules {
    QString text;
    QList<QStringView> rules;
};
// The rules of text, from those of the sheet's text before an edit: only what lies around the
// characters that differ is read again, and the rules after it are those before, moved.
SheetRules stylesheetRules(const SheetRules &before, QString text);

// The declarations in a rule's block, of a rule that is neither an at-rule nor left open: the
// text its style may be given in place of the rule, where the text before them is the same.
std::optional<QStringView> declarationsOf(QStringView rule);

// What turns one list of a sheet's rules into another: the rules from first, removed of them,
// give way to inserted.
struct RuleChange {
    qsizetype first = 0;
    qsizetype removed = 0;
    QStringList inserted;
};
// The change over the fewest rules, by the rules before and after it that stay as they were.
RuleChange ruleChange(const QList<QStringView> &before, const QList<QStringView> &after);

}  // namespace source
