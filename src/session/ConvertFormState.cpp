#include "session/ConvertFormState.h"

#include "pipeline/Viewing.h"
#include "platform/Failure.h"
#include "platform/Paths.h"
#include "platform/RegistryKey.h"
#include "platform/UserInteraction.h"
#include "session/SettingsKey.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <optional>

namespace {

QString name(const char16_t* text)
{
    return QString::fromUtf16(text);
}

// A missing string value reads as empty text; a value of another type is a failed read.
std::optional<QString> readString(const RegistryKey& key, const char16_t* valueName)
{
    if (auto text = key.text(name(valueName)))
        return text;
    return key.value(name(valueName)) ? std::nullopt : std::optional<QString>(QString());
}

// Missing or not a 32-bit integer: a failed read.
std::optional<qint32> readInteger(const RegistryKey& key, const char16_t* valueName)
{
    const std::optional<RegistryValue> value = key.value(name(valueName));
    if (!value || value->type != RegistryValueType::DWord)
        return std::nullopt;
    return static_cast<qint32>(value->number);
}

bool isStyleSheetFile(const QString& fileName)
{
    const QString extension = Paths::extension(fileName);
    return extension.compare(QLatin1String("xsl"), Qt::CaseInsensitive) == 0 ||
           extension.compare(QLatin1String("xslt"), Qt::CaseInsensitive) == 0;
}

QString comparable(const QString& text)
{
    return QLocale().toUpper(text.trimmed());
}

} // namespace

QStringList StyleSheetEntries(const QString& folder)
{
    QStringList entries;
    if (!folder.isEmpty()) {
        const QDir dir(folder);
        // Regular files only: a pipe or device named like a sheet would block the run that reads it.
        for (const QFileInfo& file : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted)) {
            if (file.isFile() && isStyleSheetFile(file.fileName()))
                entries << Paths::withoutExtension(file.fileName());
        }
    }
    if (std::none_of(entries.cbegin(), entries.cend(), IsBuiltInFormat))
        entries << name(BuiltInFormatName);

    const QLocale locale;
    std::stable_sort(entries.begin(), entries.end(), [&locale](const QString& a, const QString& b) {
        return locale.toUpper(a).localeAwareCompare(locale.toUpper(b)) < 0;
    });
    return entries;
}

ConvertFormState::ConvertFormState(RunMode mode)
    : m_mode(mode)
{}

void ConvertFormState::setServices(UserInteraction* interaction, Shell* shell)
{
    m_interaction = interaction;
    m_shell = shell;
}

GenerateOutcome ConvertFormState::OKBtnClick()
{
    Q_ASSERT(m_interaction && m_shell);
    if (commandLineMode())
        return RunGenerateOperation(*this, *m_interaction, *m_shell);
    try {
        return RunGenerateOperation(*this, *m_interaction, *m_shell);
    } catch (const UnexpectedFailure& failure) {
        m_interaction->showMessage(MessageKind::Failure, failure.description());
    } catch (const std::exception& failure) {
        m_interaction->showMessage(MessageKind::Failure, QString::fromLocal8Bit(failure.what()));
    }
    return GenerateOutcome::NotWritten;
}

void ConvertFormState::readUserSettings()
{
    // A command-line run writes nothing, not even the empty key of a first run.
    const auto key = RegistryKey::open(RegistryRoot::CurrentUser, name(SettingsKey::Path),
                                       commandLineMode() ? RegistryAccess::Read : RegistryAccess::Write);
    m_settingsReadable = key != nullptr;
    if (!key)
        return;

    // Each read depends on the one before: the first that fails ends the reading.
    const auto source = readString(*key, SettingsKey::JobOrSurmexFile);
    if (!source)
        return;
    setSourcePath(*source);
    const auto styleSheet = readString(*key, SettingsKey::StyleSheetFile);
    if (!styleSheet)
        return;
    StyleSheetPath = *styleSheet;
    const auto viewer = readString(*key, SettingsKey::TextFileViewer);
    if (!viewer)
        return;
    TextFileViewer = *viewer;
    const auto view = readInteger(*key, SettingsKey::ViewGeneratedFile);
    if (!view)
        return;
    setViewFile(*view != 0);
    const auto filterIndex = readInteger(*key, SettingsKey::DefaultFileExtensionIndex);
    if (!filterIndex)
        return;
    SourceFilterIndex = *filterIndex;
}

void ConvertFormState::LoadSettings()
{
    readUserSettings();

    if (StyleSheetPath.isEmpty()) {
        const auto machine =
            RegistryKey::open(RegistryRoot::LocalMachine, name(SettingsKey::Path), RegistryAccess::Read);
        if (machine) {
            if (auto text = machine->text(name(SettingsKey::StyleSheetFile)))
                StyleSheetPath = *std::move(text);
        }
    }

    if (!QFileInfo(sourcePath()).isFile())
        setSourcePath(QString());

    // A style sheet that is gone keeps its path while its folder exists, so that folder is listed.
    if (!IsBuiltInFormat(StyleSheetPath) && !QFileInfo(StyleSheetPath).isFile() &&
        !QFileInfo(Paths::folderPart(StyleSheetPath)).isDir())
        StyleSheetPath.clear();
    StyleSheetFolder = Paths::withTrailingSeparator(Paths::folderPart(StyleSheetPath));

    // A command-line run applies the sheet it names and shows no list: reading the folder (the
    // root folder when no sheet was saved) would only slow every scripted run.
    if (!commandLineMode())
        BuildStyleSheetList();

    if (TextFileViewer.isEmpty() || !ViewerExists(TextFileViewer))
        TextFileViewer = name(DefaultTextViewer);
}

void ConvertFormState::SaveSettings()
{
    if (!canSaveSettings())
        return;
    const auto key = RegistryKey::open(RegistryRoot::CurrentUser, name(SettingsKey::Path), RegistryAccess::Write);
    if (!key)
        return;
    key->setString(name(SettingsKey::JobOrSurmexFile), sourcePath());
    key->setString(name(SettingsKey::StyleSheetFile), ResolveStyleSheetPath(selectedFormat()));
    key->setDWord(name(SettingsKey::ViewGeneratedFile), viewFile() ? 1 : 0);
    key->setDWord(name(SettingsKey::DefaultFileExtensionIndex), static_cast<quint32>(SourceFilterIndex));
}

void ConvertFormState::BuildStyleSheetList()
{
    const QStringList entries = StyleSheetEntries(StyleSheetFolder);

    // The last of several equal entries (a ".xsl" and a ".xslt" file) stays selected.
    const QString wanted = comparable(Paths::baseName(StyleSheetPath));
    qsizetype selected = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (comparable(entries.at(i)) == wanted)
            selected = i;
    }
    showFormats(entries, static_cast<int>(selected));
    StyleSheetPath = ResolveStyleSheetPath(entries.at(selected));
}

QString ConvertFormState::ResolveStyleSheetPath(const QString& entry) const
{
    const QString xsl = StyleSheetFolder + entry + QStringLiteral(".xsl");
    return QFileInfo(xsl).isFile() ? xsl : StyleSheetFolder + entry + QStringLiteral(".xslt");
}

void ConvertFormState::StyleSheetComboChange()
{
    StyleSheetPath = ResolveStyleSheetPath(selectedFormat());
}
