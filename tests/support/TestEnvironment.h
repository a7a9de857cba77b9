#pragma once

#include "QtPrinters.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <optional>

// Points HOME, XDG_CONFIG_HOME, XDG_CONFIG_DIRS, XDG_DATA_DIRS and TMPDIR into a fresh temporary
// folder for the lifetime of the object, so a test never touches the real user's files.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    QString root() const { return m_dir.path(); }
    QString home() const;
    QString configHome() const; // XDG_CONFIG_HOME
    QString configDir() const;  // the one folder of XDG_CONFIG_DIRS
    QString tempDir() const;    // TMPDIR

    // Writes a file below root() (folders created) and returns its full path.
    QString writeFile(const QString& relativePath, const QByteArray& content) const;

    // Files and folders left in the temporary folder.
    QStringList tempFiles() const;

private:
    void set(const char* name, const QString& value);

    QTemporaryDir m_dir;
    std::map<QByteArray, std::optional<QByteArray>> m_saved;
};
