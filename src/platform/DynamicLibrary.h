#pragma once

#include <QLibrary>
#include <QString>

/**
 * A dynamic library loaded from a path for the lifetime of the object and unloaded on every way
 * out. Only an existing file is handed to the loader, so that it never goes looking for other
 * names built from the path.
 */
class DynamicLibrary
{
public:
    explicit DynamicLibrary(const QString& path);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool isLoaded() const { return m_loaded; }
    QString errorString() const;

    // The export of that name, or nullptr (also when the library is not loaded).
    QFunctionPointer resolve(const char* symbol);

    template <typename Function>
    Function resolveAs(const char* symbol)
    {
        return reinterpret_cast<Function>(resolve(symbol));
    }

private:
    QLibrary m_library;
    bool m_loaded = false;
};
