#include "ProgramRunner.h"

#include "TestPaths.h"

#include <QProcess>

ProgramResult runTabulon(const QStringList& arguments, const QString& workDir, const QByteArray& input)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workDir);
    process.start(QStringLiteral(TABULON_EXECUTABLE), arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(120000);
    return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromUtf8(process.readAllStandardError())};
}
