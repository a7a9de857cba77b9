#include "FuzzSupport.h"

#include "scripts/VbTranslator.h"

#include <QCoreApplication>
#include <QJSEngine>

// Any text either fails to translate with a line inside it, or translates into JavaScript that
// the script engine compiles: a block the translator accepts must never fail later as a
// JavaScript syntax error. The code is compiled inside a function that is never called.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The engine needs an application, which lives as long as the process.
    static int argc = 1;
    static char name[] = "fuzz_vb_translator";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    // One engine per input: what it keeps until it is destroyed would read as leaks at exit.
    QJSEngine engine;
    const QString source = QString::fromUtf8(fuzzBytes(data, size));
    for (const VbSource kind : {VbSource::Program, VbSource::Expression, VbSource::Statements}) {
        const VbTranslation translation = translateVbScript(source, kind);
        if (!translation.error.isEmpty()) {
            const int lines = int(source.count(u'\n') + source.count(u'\r')) + 1;
            if (translation.errorLine < 1 || translation.errorLine > lines)
                fuzzFinding(
                    "the failure's line lies outside the source",
                    QStringLiteral("line %1 of %2: %3").arg(translation.errorLine).arg(lines).arg(translation.error));
            continue;
        }
        const QJSValue compiled =
            engine.evaluate(QStringLiteral("(function () {\n") + translation.code + QStringLiteral("\n})"));
        if (compiled.isError() && compiled.property(QStringLiteral("name")).toString() == u"SyntaxError")
            fuzzFinding("the translation does not compile", compiled.toString() + u'\n' + translation.code);
    }
    return 0;
}
