#include "pipeline/Viewing.h"

#include "platform/FileRegistryKey.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

namespace {

bool isWebDocument(const QString& path)
{
    const QString extension = Paths::extension(path).toUpper();
    return extension == QLatin1String("HTML") || extension == QLatin1String("HTM") || extension == QLatin1String("SVG");
}

} // namespace

bool OpenGeneratedFile(const QString& path, const QString& textFileViewer, Shell& shell)
{
    return isWebDocument(path) ? shell.openDocument(path) : shell.runProgram(textFileViewer, path);
}

QString NotOpenedMessage(const QString& path, const QString& textFileViewer)
{
    if (isWebDocument(path))
        return FormatText(LoadLocalizedString(TextId::OpenerNotStarted), {path, QString::fromUtf16(DefaultTextViewer)});
    return FormatText(LoadLocalizedString(TextId::ViewerNotStarted),
                      {path, textFileViewer, FileRegistryKey::hivePath(RegistryRoot::CurrentUser)});
}

bool ViewerExists(const QString& textFileViewer)
{
    return !findProgramFile(textFileViewer).isEmpty();
}
