// What reads the text at the caret and the page as a whole: the completion context, the end tag
// to close, the start tag a ">" ends, and the page check; 整形, which changes white space alone. No
// crash, and no hang (libFuzzer's -timeout). And a stylesheet divided into rules: in order, each
// begun by what begins a rule; read again around an edit, the same as read whole; the change from
// one sheet's rules to another's makes the other's.
#include <cstdio>

#include "source/completion.h"
#include "source/htmltokenizer.h"
#include "source/pagecheck.h"
#include "source/pageformat.h"
#include "source/stylesheetrules.h"
#include "tests/fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int which = input.ConsumeIntegralInRange(0, 4);
    const QString text = textOf(input.ConsumeRemainingBytesAsString());
    switch (which) {
    case 0: {
        const source::CaretContext context = source::caretContext(text);
        FUZZ_CHECK(context.start >= 0 && context.start <= text.size());
        FUZZ_CHECK(context.declaration >= -1 && context.declaration <= text.size());
        break;
    }
    case 1:
        (void)source::elementToClose(text);
        if (const std::optional<QString> name = source::startTagEnded(text))
            FUZZ_CHECK(!name->isEmpty() && text.contains(u'<' + *name));
        break;
    case 2: {
        // Two sheets: the text, and the text with its first few characters typed in a third of
        // the way along.
        const auto rulesOf = [](QStringView sheet) {
            QStringList rules;
            const QChar *last = sheet.data();
            for (const QStringView rule : source::stylesheetRules(sheet)) {
                FUZZ_CHECK(!rule.isEmpty() && rule.data() >= last &&
                           rule.data() + rule.size() <= sheet.data() + sheet.size());
                FUZZ_CHECK(rule[0] != u' ' && rule[0] != u'\n' && !rule.startsWith(u"/*") &&
                           !rule.startsWith(u"<!--") && !rule.startsWith(u"-->"));
                last = rule.data() + rule.size();
                if (const auto declarations = source::declarationsOf(rule))
                    FUZZ_CHECK(declarations->data() > rule.data() &&
                               declarations->data() + declarations->size() < last);
                rules.append(rule.toString());
            }
            return rules;
        };
        const QStringList before = rulesOf(text);
        const QString edited = QString(text).insert(text.size() / 3, text.left(text.size() % 5));
        const QStringList after = rulesOf(edited);
        // Read again around the edit only, the same rules.
        const source::SheetRules sheet = source::stylesheetRules(
            source::SheetRules{text, source::stylesheetRules(text)}, edited);
        FUZZ_CHECK(sheet.rules == source::stylesheetRules(edited));
        const source::SheetRules old{text, source::stylesheetRules(text)};
        const source::RuleChange change = source::ruleChange(old.rules, sheet.rules);
        QStringList made = before;
        made.remove(change.first, change.removed);
        for (qsizetype i = 0; i < change.inserted.size(); ++i)
            made.insert(change.first + i, change.inserted[i]);
        FUZZ_CHECK(made == after);
        break;
    }
    case 3: {
        // 整形 changes white space alone.
        const auto substance = [](QString page) {
            page.removeIf([](QChar c) { return c.isSpace(); });
            return page;
        };
        const std::optional<QString> tidied = source::formatPage(text, nullptr);
        FUZZ_CHECK(tidied && substance(*tidied) == substance(text));
        break;
    }
    default:
        for (const source::Problem &problem : source::checkPage(text))
            FUZZ_CHECK(problem.line >= 1 && !problem.message.isEmpty() && problem.position >= 0 &&
                       problem.position <= text.size());
    }
    return 0;
}
