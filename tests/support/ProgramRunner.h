#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

struct ProgramResult
{
    int exitCode = -1; // -2 when the program crashed or did not finish
    QString err;
    QString out;
};

// Runs the real program as a script would: no display, in `workDir`, answering from `input`.
ProgramResult runTabulon(const QStringList& arguments, const QString& workDir, const QByteArray& input = {});

// The real program running as a script would start it, for tests that act while it runs: answer
// its prompts one at a time, or interrupt it.
class RunningTabulon
{
public:
    RunningTabulon(const QStringList& arguments, const QString& workDir);

    // Waits until standard error holds text; false when the program ended first.
    bool waitForError(const QString& text);
    void write(const QByteArray& input);
    qint64 pid() const { return m_process.processId(); }

    // Waits for the end; the exit code is -2 when the program crashed or did not finish.
    ProgramResult finish();

private:
    QProcess m_process;
    QString m_err;
};
