// Emmet, on the line before the caret and on a style sheet's declaration: no crash, no hang
// (libFuzzer's -timeout), and an expansion starts within what it was read from. Its JavaScript
// engine keeps what it collects as garbage: run with -detect_leaks=0.
#include <QCoreApplication>
#include <cstdio>

#include "source/abbreviation.h"
#include "tests/fuzz/fuzzinput.h"

// The JavaScript engine wants an application, as in the program.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static source::Abbreviations emmet;
    FuzzedDataProvider input(data, size);
    const bool markup = input.ConsumeBool();
    const QString line = takeText(input, 200);
    const auto expansion = markup ? emmet.expandMarkup(line, {}) : emmet.expandStylesheet(line, {});
    if (expansion)
        FUZZ_CHECK(expansion->start >= 0 && expansion->start <= line.size());
    return 0;
}
