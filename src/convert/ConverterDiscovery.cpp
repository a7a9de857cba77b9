#include "convert/ConverterDiscovery.h"

#include "platform/Failure.h"
#include "platform/FileRegistryKey.h"
#include "platform/Paths.h"
#include "platform/RegistryKey.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

const QString VersionsKey = QStringLiteral("Versions");
const QString DirectoryValue = QStringLiteral("Directory");
const QString LanguageFileValue = QStringLiteral("Language File");
const QString ShareKey = QStringLiteral("SOFTWARE\\Corvane\\Share");
const QString GeoDataValue = QStringLiteral("CurrentGeoDataDirectory");

#ifdef Q_OS_WIN
const QString LibrarySuffix = QStringLiteral(".dll");
#else
const QString LibrarySuffix = QStringLiteral(".so");
#endif

// A missing value reads as empty text; a value of any type but text ends the whole operation.
QString readText(const RegistryKey& key, const QString& name)
{
    if (auto text = key.text(name))
        return *std::move(text);
    if (!key.value(name))
        return {};
    throw UnexpectedFailure(FormatText(LoadLocalizedString(TextId::InvalidRegistryType), {name, key.location()}));
}

// Version names are written with "." whatever the user's locale.
std::optional<double> versionNumber(const QString& name)
{
    QLocale c = QLocale::c();
    // "1,100" must not read as 1100 and outrank every real version.
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double number = c.toDouble(name, &ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

QString versionName(std::int16_t version)
{
    const QString digits = QString::number(version);
    if (digits.size() < 3)
        return u'.' + digits;
    return digits.left(digits.size() - 2) + u'.' + digits.right(2);
}

std::unique_ptr<RegistryKey> openConverterKey(ConverterProduct product)
{
    const QString path = ConverterKeyPath(product);
    if (path.isEmpty())
        return nullptr;
    return RegistryKey::open(RegistryRoot::LocalMachine, path, RegistryAccess::Read);
}

struct ProductEntry
{
    const char16_t* keyPath;
    const char16_t* baseName;
};

// Registry key and library base name of each product, in one place.
std::optional<ProductEntry> productEntry(ConverterProduct product)
{
    switch (product) {
    case ConverterProduct::Stakora:
        return ProductEntry{u"SOFTWARE\\Corvane\\Linkora\\Device Drivers\\Stakora\\Converter", u"stkr32"};
    case ConverterProduct::Pellora:
        return ProductEntry{u"SOFTWARE\\Corvane\\Linkora\\Device Drivers\\Pellora\\Converter", u"plconv"};
    case ConverterProduct::Notavia:
        return ProductEntry{u"SOFTWARE\\Corvane\\Linkora\\Device Drivers\\Notavia\\Converter", u"nvbk"};
    }
    return std::nullopt;
}

} // namespace

QString ConverterKeyPath(ConverterProduct product)
{
    const auto entry = productEntry(product);
    return entry ? QString::fromUtf16(entry->keyPath) : QString();
}

QString ConverterBaseName(ConverterProduct product)
{
    const auto entry = productEntry(product);
    return entry ? QString::fromUtf16(entry->baseName) : QString();
}

bool AnyConverterRegistered()
{
    return std::ranges::any_of(
        std::array{ConverterProduct::Stakora, ConverterProduct::Pellora, ConverterProduct::Notavia},
        [](ConverterProduct product) { return openConverterKey(product) != nullptr; });
}

QString ConverterRegistryFile()
{
    const QString found = FileRegistryKey::hivePath(RegistryRoot::LocalMachine);
    if (!found.isEmpty())
        return found;
    const QStringList folders = qEnvironmentVariable("XDG_CONFIG_DIRS").split(u':', Qt::SkipEmptyParts);
    return (folders.isEmpty() ? QStringLiteral("/etc/xdg") : folders.front()) + QStringLiteral("/corvane/registry.reg");
}

QString FindNewestConverter(ConverterProduct product)
{
    QString result;
    QString folder;
    if (const auto key = openConverterKey(product)) {
        folder = Paths::withTrailingSeparator(readText(*key, DirectoryValue));
        if (const auto versions = key->openSubKey(VersionsKey, RegistryAccess::Read)) {
            double best = -1.0;
            for (const QString& name : versions->valueNames()) {
                const auto number = versionNumber(name);
                if (number && *number > best) {
                    best = *number;
                    result = folder + readText(*versions, name);
                }
            }
        }
    }
    if (!QFileInfo(result).isFile() && !folder.isEmpty())
        ScanConverterFolder(ConverterBaseName(product), folder, result);
    return result;
}

void ScanConverterFolder(const QString& baseName, const QString& folder, QString& path)
{
    if (baseName.isEmpty())
        return;
    const QDir dir(folder);
    const QStringList entries =
        dir.entryList({baseName + u'*' + LibrarySuffix},
                      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::CaseSensitive);
    long long best = -1;
    QString bestDigits;
    for (const QString& entry : entries) {
        const QString digits = entry.mid(baseName.size(), entry.size() - baseName.size() - LibrarySuffix.size());
        // Only base name + digits + suffix counts: "stkr32.so", "stkr32abc.so" and "stkr32-5.so" do not.
        if (digits.isEmpty() ||
            !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            continue;
        bool ok = false;
        const long long number = digits.toLongLong(&ok);
        if (ok && number > best) {
            best = number;
            bestDigits = digits;
        }
    }
    if (!bestDigits.isEmpty())
        path = folder + baseName + bestDigits + LibrarySuffix;
}

QString FindConverterForVersion(ConverterProduct product, std::int16_t version)
{
    const QString wanted = versionName(version);
    const auto key = openConverterKey(product);
    if (!key)
        return {};
    const QString folder = Paths::withTrailingSeparator(readText(*key, DirectoryValue));
    const auto versions = key->openSubKey(VersionsKey, RegistryAccess::Read);
    if (!versions)
        return {};
    for (const QString& name : versions->valueNames()) {
        if (name == wanted)
            return folder + readText(*versions, name);
    }
    return {};
}

std::optional<ConverterSettings> ReadConverterSettings(const QString& converterKey)
{
    ConverterSettings settings;
    {
        const auto key = RegistryKey::open(RegistryRoot::LocalMachine, converterKey, RegistryAccess::Read);
        if (!key)
            return std::nullopt;
        settings.languageFile = readText(*key, LanguageFileValue);
    }
    if (const auto share = RegistryKey::open(RegistryRoot::LocalMachine, ShareKey, RegistryAccess::Read))
        settings.geoDataFolder = readText(*share, GeoDataValue);
    return settings;
}
