#include "FuzzSupport.h"

#include "ui/WindowPosition.h"

// Stored positions that read as numbers read back the same once written in their own form.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(fuzzBytes(data, size));
    for (const int count : {2, 4}) {
        const auto fields = ParseStoredFields(text, count);
        if (!fields)
            continue;
        if (fields->size() != count)
            fuzzFinding("a position has the fields asked for", text);
        const QString written = FormatStoredFields(*fields);
        if (ParseStoredFields(written, count) != fields)
            fuzzFinding("a written position reads back equal", text + u'\n' + written);
    }
    return 0;
}
