#pragma once

#include <QString>

// The user's temporary folder, with a trailing separator.
QString GetTempFolder();

class RunFolder;

// Creates the new, empty temporary output file in the run's private folder and returns its path.
// Throws UnexpectedFailure when the file cannot be created.
QString NewTempOutputFile(const RunFolder& folder);

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
