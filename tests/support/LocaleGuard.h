#pragma once

#include <QLocale>

// Makes a locale the default for the lifetime of the object.
class LocaleGuard
{
public:
    explicit LocaleGuard(const QLocale& locale)
        : m_saved(QLocale())
    {
        QLocale::setDefault(locale);
    }
    ~LocaleGuard() { QLocale::setDefault(m_saved); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    QLocale m_saved;
};

inline QLocale englishLocale()
{
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

inline QLocale commaLocale()
{
    return QLocale(QLocale::German, QLocale::Germany);
}
