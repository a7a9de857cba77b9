#include "app/CommandLine.h"

DecodedArguments DecodeArguments(int argc, char** argv)
{
    DecodedArguments decoded;
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        decoded.arguments << QString::fromLocal8Bit(bytes);
        if (decoded.refusal.isEmpty() && decoded.arguments.back().toLocal8Bit() != bytes)
            decoded.refusal =
                QStringLiteral("Argument %1 is not valid text in the system's encoding, so the file it names "
                               "cannot be used: a different name would be read or written. Rename the file, "
                               "or run with a locale whose encoding can spell its name.")
                    .arg(i);
    }
    return decoded;
}

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QStringList given;
    for (const QString& argument : arguments) {
        if (!argument.isEmpty())
            given << argument;
    }

    CommandLine commandLine;
    if (given.isEmpty()) {
        commandLine.mode = CommandLine::Mode::Dialog;
    } else if (given.size() == 2 || given.size() == 3) {
        commandLine.mode = CommandLine::Mode::Generate;
        commandLine.sourcePath = given.at(0);
        commandLine.styleSheetPath = given.at(1);
        if (given.size() == 3)
            commandLine.outputFileName = given.at(2);
    } else {
        commandLine.mode = CommandLine::Mode::Usage;
    }
    return commandLine;
}

QString UsageText(const QString& programName)
{
    return QStringList{
        QStringLiteral(
            "This utility program will apply the style sheet specified as parameter 2 to the Corvane Stakora"),
        QStringLiteral("Job or Surmex file specified as parameter 1, to produce the transformed output file. An "
                       "optional 3rd parameter"),
        QStringLiteral("allows you to specify the name of the output file to be created - if specified the File Save "
                       "dialog will not"),
        QStringLiteral(
            "be presented. The Corvane Stakora converter installed on the computer will be used to convert a"),
        QStringLiteral("specified Job file to a Surmex file prior to application of the style sheet."),
        QString(),
        QStringLiteral("Syntax: ") + programName +
            QStringLiteral(" <full Job or Surmex file name> <full style sheet file name> [<full output file name>]"),
    }
        .join(QStringLiteral("\r\n"));
}
