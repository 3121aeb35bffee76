// What reads the text at the caret and the page as a whole: the completion context, the end tag
// to close and the page check. No crash, and no hang (libFuzzer's -timeout).
#include <cstdio>

#include "source/completion.h"
#include "source/htmltokenizer.h"
#include "source/pagecheck.h"
#include "tests/fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int which = input.ConsumeIntegralInRange(0, 2);
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
    default:
        for (const source::Problem &problem : source::checkPage(text))
            FUZZ_CHECK(problem.line >= 1 && !problem.message.isEmpty() && problem.position >= 0 &&
                       problem.position <= text.size());
    }
    return 0;
}
