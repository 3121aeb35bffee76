// What reads the text at the caret and the page as a whole: the page check, the completion
// context, the end tag to close and Emmet. No crash, and no hang (libFuzzer's -timeout).
#include <QCoreApplication>
#include <cstdio>

#include "source/abbreviation.h"
#include "source/completion.h"
#include "source/htmltokenizer.h"
#include "source/pagecheck.h"
#include "tests/fuzz/fuzzinput.h"

// Emmet's JavaScript engine wants an application, as in the program.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int which = input.ConsumeIntegralInRange(0, 3);
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
        break;
    case 2:
        for (const source::Problem &problem : source::checkPage(text))
            FUZZ_CHECK(problem.line >= 1 && !problem.message.isEmpty() && problem.position >= 0 &&
                       problem.position <= text.size());
        break;
    default: {
        // Emmet reads one line before the caret, or one declaration.
        static source::Abbreviations emmet;
        const QString line = text.first(std::min<qsizetype>(text.size(), 200));
        for (const auto &expansion :
             {emmet.expandMarkup(line, {}), emmet.expandStylesheet(line, {})}) {
            if (expansion)
                FUZZ_CHECK(expansion->start >= 0 && expansion->start <= line.size());
        }
    }
    }
    return 0;
}
