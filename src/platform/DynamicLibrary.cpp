#include "platform/DynamicLibrary.h"

#include <QFileInfo>

DynamicLibrary::DynamicLibrary(const QString& path)
{
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile())
        return;
    m_library.setFileName(file.absoluteFilePath());
    m_loaded = m_library.load();
}

DynamicLibrary::~DynamicLibrary()
{
    if (m_loaded)
        m_library.unload();
}

QString DynamicLibrary::errorString() const
{
    return m_library.errorString();
}

QFunctionPointer DynamicLibrary::resolve(const char* symbol)
{
    return m_loaded ? m_library.resolve(symbol) : nullptr;
}
