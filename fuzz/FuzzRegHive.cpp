#include "FuzzSupport.h"

#include "platform/RegHive.h"

// A parsed hive written back and read again is the same hive, and writing it is a fixed point.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto hive = RegHive::parse(fuzzBytes(data, size)).hive;
    if (!hive)
        return 0;
    const QByteArray written = hive->serialize();
    const RegHiveParse parsed = RegHive::parse(written);
    const auto& reread = parsed.hive;
    if (!reread)
        fuzzFinding("a written hive parses",
                    QStringLiteral("line %1: %2\n").arg(parsed.error.line).arg(parsed.error.message) +
                        QString::fromUtf8(written));
    if (reread->sections() != hive->sections())
        fuzzFinding("a written hive reads back equal", QString::fromUtf8(written));
    if (reread->serialize() != written)
        fuzzFinding("writing a reread hive gives the same bytes", QString::fromUtf8(written));
    for (const RegHive::Section& section : hive->sections()) {
        if (!section.deletion && !hive->hasKey(section.path))
            fuzzFinding("every written key exists", section.path);
    }
    return 0;
}
