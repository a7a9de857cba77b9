#include "app/CommandLine.h"

#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

#include <algorithm>

DecodedArguments DecodeArguments(int argc, char** argv)
{
    DecodedArguments decoded;
    decoded.arguments.reserve(argc > 1 ? argc - 1 : 0);
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView bytes(argv[i]);
        decoded.arguments << QString::fromLocal8Bit(bytes);
        // ASCII text comes back as it was in every encoding the system may use.
        const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
        if (decoded.undecodable == 0 && !ascii && decoded.arguments.back().toLocal8Bit() != bytes)
            decoded.undecodable = i;
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
    } else if (given.size() == 1 && given.front() == QLatin1String("--help")) {
        commandLine.mode = CommandLine::Mode::Help;
    } else if (given.size() == 1 && given.front() == QLatin1String("--version")) {
        commandLine.mode = CommandLine::Mode::Version;
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
    QStringList lines;
    for (int id = TextId::UsageLine1; id <= TextId::UsageLine5; ++id)
        lines << LoadLocalizedString(id);
    lines << QString() << FormatText(LoadLocalizedString(TextId::UsageSyntax), {programName});
    return lines.join(QStringLiteral("\r\n"));
}

QString HelpText(const QString& programName)
{
    return UsageText(programName).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + u'\n' +
           FormatText(LoadLocalizedString(TextId::UsageOptions), {programName, programName}) + u'\n';
}
