#include "source/pageformat.h"

#include <QFile>
#include <QJSEngine>

using namespace Qt::StringLiterals;

namespace source {

std::optional<QString> formatPage(QStringView text, QString *failure)
{
    const auto failed = [failure](const QString &why) -> std::optional<QString> {
        if (failure)
            *failure = why;
        return std::nullopt;
    };
    QFile script(u":/beautifier/beautifier.min.js"_s);
    if (!script.open(QIODevice::ReadOnly))
        return failed(u"整形に使う js-beautify を読み込めませんでした"_s);
    QJSEngine engine;
    // js-beautify reads by sticky expressions (a search from a scan's place, not onward), which
    // Qt's engine reads as strictly as Unicode ones: "\-" or "\:" outside a class is refused.
    // Each such escape is the character itself.
    engine.evaluate(
        uR"(
        (function () {
            var Native = RegExp;
            var plain = function (source) {
                var out = '', inClass = false;
                for (var i = 0; i < source.length; i++) {
                    var c = source[i];
                    if (c === '\\' && i + 1 < source.length) {
                        var next = source[++i];
                        var kept = inClass || /[\^$\\.*+?()[\]{}|\/A-Za-z0-9]/.test(next);
                        out += kept ? c + next : next;
                        continue;
                    }
                    if (c === '[') inClass = true;
                    else if (c === ']') inClass = false;
                    out += c;
                }
                return out;
            };
            var Sticky = function (pattern, flags) {
                if (!flags || flags.indexOf('y') < 0)
                    return new Native(pattern, flags);
                var source = pattern instanceof Native ? pattern.source : String(pattern);
                return new Native(plain(source), flags);
            };
            Sticky.prototype = Native.prototype;
            RegExp = Sticky;
        })())"_s);
    const QJSValue loaded = engine.evaluate(QString::fromUtf8(script.readAll()), script.fileName());
    const QJSValue html = engine.globalObject().property(u"beautifier"_s).property(u"html"_s);
    if (loaded.isError() || !html.isCallable())
        return failed(
            u"整形に使う js-beautify を読み込めませんでした: %1"_s.arg(loaded.toString()));
    QJSValue options = engine.newObject();
    options.setProperty(u"indent_size"_s, 2);
    options.setProperty(u"indent_char"_s, u" "_s);
    options.setProperty(u"eol"_s, u"\n"_s);
    // A wrapped line would put a line end where a space was, or where there was none.
    options.setProperty(u"wrap_line_length"_s, 0);
    options.setProperty(u"preserve_newlines"_s, true);
    options.setProperty(u"max_preserve_newlines"_s, 2);
    // Asked of the whole, it would end every <style> and <script> in a blank line too.
    options.setProperty(u"end_with_newline"_s, false);
    options.setProperty(u"extra_liners"_s, engine.newArray(0));
    // Scripts as written: Qt's engine loses its way in js-beautify's JavaScript tokenizer, even
    // on "/* a */".
    QJSValue asWritten = engine.newArray(3);
    asWritten.setProperty(0, u"pre"_s);
    asWritten.setProperty(1, u"textarea"_s);
    asWritten.setProperty(2, u"script"_s);
    options.setProperty(u"content_unformatted"_s, asWritten);
    QJSValue none = engine.newArray(1);
    none.setProperty(0, u"none"_s);
    options.setProperty(u"templating"_s, none);
    const QJSValue result = html.call({text.toString(), options});
    if (result.isError())
        return failed(u"整形できませんでした: %1"_s.arg(result.toString()));
    QString out = result.toString();
    if (text.endsWith(u'\n') && !out.endsWith(u'\n'))
        out += u'\n';
    return out;
}

}  // namespace source
