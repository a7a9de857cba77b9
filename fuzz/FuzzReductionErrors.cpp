#include "FuzzSupport.h"

#include "convert/ReductionErrors.h"
#include "platform/UserInteraction.h"

#include <algorithm>

namespace {

class CountingInteraction : public UserInteraction
{
public:
    void showMessage(MessageKind, const QString&) override { ++warnings; }
    void showApplicationError(const QString&) override {}
    std::optional<QString> askSaveFile(const SaveFileRequest&) override { return std::nullopt; }
    std::optional<QString> askOpenFile(const OpenFileRequest&) override { return std::nullopt; }
    std::optional<QString> askValue(const ValueQuestion&) override { return std::nullopt; }
    void setBusy(bool) override {}

    int warnings = 0;
};

// Counted on the bytes, as an independent reference: lines end at CR, LF or CR LF.
int linesWithMarker(const QByteArray& bytes)
{
    const QByteArray marker = QByteArrayLiteral("<reductions error=");
    int count = 0;
    QByteArray normalised = bytes.toLower();
    normalised.replace('\r', '\n');
    for (const QByteArray& line : normalised.split('\n'))
        count += line.contains(marker) ? 1 : 0;
    return count;
}

} // namespace

// Any converted file is read without a fault; one in plain ASCII brings one warning per line that
// holds the marker.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    CountingInteraction ui;
    CheckReductionErrors(writeScratchFile(bytes), QStringLiteral("/geodata/"), ui);
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c > 0 && c < 0x7f; });
    if (ascii && ui.warnings != linesWithMarker(bytes))
        fuzzFinding("one warning per line with the marker", QString::fromLatin1(bytes));
    return 0;
}
