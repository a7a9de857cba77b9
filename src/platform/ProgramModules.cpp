#include "platform/ProgramModules.h"

#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

namespace {

// Works before any QCoreApplication exists, which is when the window module is loaded.
QString programFolder()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

} // namespace

ModuleExport ResolveModuleExport(const QString& baseName, const char* symbol)
{
    const QString program = programFolder();
    const QString buildFolder = QStringLiteral(TABULON_MODULE_BUILD_DIR);
    QStringList folders{program, program + QStringLiteral("/../" TABULON_MODULE_INSTALL_DIR)};
    if (program.startsWith(buildFolder + u'/'))
        folders << buildFolder;
    ModuleExport found;
    for (const QString& folder : folders) {
        QLibrary module(folder + u'/' + baseName);
        found.function = module.resolve(symbol);
        if (found.function) {
            found.errors.clear();
            return found;
        }
        found.errors += u'\n' + module.errorString();
    }
    return found;
}
