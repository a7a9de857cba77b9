#include "pipeline/Viewing.h"

#include "platform/Paths.h"
#include "platform/Shell.h"

void OpenGeneratedFile(const QString& path, const QString& textFileViewer, Shell& shell)
{
    const QString extension = Paths::extension(path).toUpper();
    if (extension == QLatin1String("HTML") || extension == QLatin1String("HTM") || extension == QLatin1String("SVG"))
        shell.openDocument(path);
    else
        shell.runProgram(textFileViewer, path);
}

bool ViewerExists(const QString& textFileViewer)
{
    return !findProgramFile(textFileViewer).isEmpty();
}
