#pragma once

#include "platform/Descriptor.h"
#include "platform/RunFolder.h"

#include <QString>

#include <optional>

// The user's temporary folder, with a trailing separator.
QString GetTempFolder();

/**
 * The new, empty file a run builds its output in, open for reading and writing. Where the
 * temporary folder's file system allows it the file has no name, so that nothing of it is left
 * whatever ends the run (an interrupt, a kill, a power loss) and saving can link it into place;
 * elsewhere it is "output.tmp" in the run's private folder, made then. Removed when the object
 * goes, unless discarded before.
 */
class TempOutputFile
{
public:
    // Throws UnexpectedFailure when the file cannot be created.
    explicit TempOutputFile(std::optional<RunFolder>& runFolder);
    ~TempOutputFile();
    TempOutputFile(const TempOutputFile&) = delete;
    TempOutputFile& operator=(const TempOutputFile&) = delete;

    int descriptor() const { return m_file.get(); }
    // The file's path; empty for an unnamed file.
    const QString& path() const { return m_path; }
    // Closes and removes the file now.
    void discard();

private:
    Descriptor m_file;
    QString m_path;
};

// Creates the new, empty temporary output file of a run (see TempOutputFile).
// Throws UnexpectedFailure when the file cannot be created.
TempOutputFile NewTempOutputFile(std::optional<RunFolder>& runFolder);

// Removes a file when it goes out of scope, unless released first.
class TempFileGuard
{
public:
    TempFileGuard() = default;
    explicit TempFileGuard(QString path)
        : m_path(std::move(path))
    {}
    ~TempFileGuard();
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

    void reset(QString path = {});
    QString release();
    const QString& path() const { return m_path; }

private:
    QString m_path;
};
