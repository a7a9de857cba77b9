#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: the input as bytes, a scratch file for readers that take a path,
// and a way to stop with a finding that libFuzzer records.

inline QByteArray fuzzBytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A file in a folder of this process's own, rewritten with the given bytes on each call.
QString writeScratchFile(const QByteArray& bytes, const QString& name = QStringLiteral("input"));

// Reports a broken property on standard error and aborts, so that libFuzzer saves the input.
[[noreturn]] void fuzzFinding(const char* property, const QString& details = {});
