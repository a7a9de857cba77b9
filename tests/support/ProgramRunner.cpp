#include "ProgramRunner.h"

#include "TestPaths.h"

namespace {

// Long enough for a loaded machine; a run that takes longer has hung.
constexpr int HangMilliseconds = 120000;

void startWithoutDisplay(QProcess& process, const QStringList& arguments, const QString& workDir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workDir);
    process.start(QStringLiteral(TABULON_EXECUTABLE), arguments);
}

int exitCodeOf(QProcess& process)
{
    const bool finished = process.waitForFinished(HangMilliseconds);
    return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
}

} // namespace

ProgramResult runTabulon(const QStringList& arguments, const QString& workDir, const QByteArray& input)
{
    QProcess process;
    startWithoutDisplay(process, arguments, workDir);
    process.write(input);
    process.closeWriteChannel();
    const int exitCode = exitCodeOf(process);
    return {exitCode, QString::fromUtf8(process.readAllStandardError()),
            QString::fromUtf8(process.readAllStandardOutput())};
}

RunningTabulon::RunningTabulon(const QStringList& arguments, const QString& workDir)
{
    // waitForReadyRead then waits for what the program says on standard error, where it prompts.
    m_process.setReadChannel(QProcess::StandardError);
    startWithoutDisplay(m_process, arguments, workDir);
    m_process.waitForStarted(HangMilliseconds);
}

bool RunningTabulon::waitForError(const QString& text)
{
    for (bool running = true;; running = m_process.waitForReadyRead(HangMilliseconds)) {
        m_err += QString::fromUtf8(m_process.readAllStandardError());
        if (m_err.contains(text))
            return true;
        if (!running)
            return false;
    }
}

void RunningTabulon::write(const QByteArray& input)
{
    m_process.write(input);
    m_process.waitForBytesWritten(HangMilliseconds);
}

ProgramResult RunningTabulon::finish()
{
    m_process.closeWriteChannel();
    const int exitCode = exitCodeOf(m_process);
    m_err += QString::fromUtf8(m_process.readAllStandardError());
    return {exitCode, m_err, QString::fromUtf8(m_process.readAllStandardOutput())};
}
