#include "text/StringTable.h"

#include "platform/Descriptor.h"
#include "text/QmCatalogue.h"
#include "text/TextIds.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QStringView>
#include <QTranslator>

#include <fcntl.h>
#include <memory>
#include <optional>
#include <string_view>
#include <sys/stat.h>

namespace {

struct OwnText
{
    int id;
    std::u16string_view text;
};

// The program's own texts, English (United States).
constexpr OwnText OwnTexts[] = {
    {10000, u"Surmex files|*.smx|Job files|*.job|Viamex files|*.vmx|XML files|*.xml|All files|*.*"},
    {10001, u"Error in %s definition"},
    {10002, u"%s files"},
    {10003, u"File %s successfully created"},
    {10004, u"A Surmex or Job file must be specified"},
    {10005, u"The selected job file could not be converted to a Surmex file"},
    {10006, u"Error loading style sheet file"},
    {10007, u"Error number:"},
    {10008, u"Reason:"},
    {10009, u"Error loading Surmex file"},
    {10010, u"Tabulon"},
    {10011, u"&Source Surmex or Job file:"},
    {10012, u"&Output format:"},
    {10013, u"&Browse..."},
    {10014, u"B&rowse..."},
    {10015, u"&View file after generating"},
    {10016, u"OK"},
    {10017, u"Close"},
    {10018, u"&Help"},
    {10019, u"Select folder containing style sheet files"},
    {10020, u"Cannot convert this version job file to a Surmex file"},
    {10021, u"Cannot locate the required file converter (%s)"},
    {10022, u"The entered value is outside the valid range %*.*f to %*.*f"},
    {10023, u"A numeric value is required"},
    {10024, u"The entered value is outside the valid range %d to %d"},
    {10025, u"An integer value is required"},
    // The help notes; the help window puts them together in this order.
    {10026, u"Tabulon Help"},
    {10027, u"Details on the operation of the Tabulon"},
    {10028, u"Introduction"},
    {10029, u"Tabulon creates customized text output files and reports from the job data of Stakora field software, "
            u"version 11 or later."},
    {10030, u"It makes them by applying the XSLT style sheet you choose to the job file or Surmex file you choose."},
    {10031, u"XSLT style sheets"},
    {10032, u"Sample style sheets and their documentation are supplied on the Stakora CD."},
    {10033, u"The documentation explains how a style sheet sets the extension of the output file and declares user "
            u"variables whose values are asked for when the file is created, and gives tips for writing your own "
            u"style sheets."},
    {10034, u"More information about XSLT can be found on the Internet, on the web site of the organization that "
            u"publishes the XSLT standard."},
    {10035, u"This topic describes how to:"},
    {10036, u"Use Tabulon to create a formatted file"},
    {10037, u"View the formatted file"},
    {10038, u"Using the Tabulon"},
    {10039, u"Get the source file. Tabulon reads two source formats, Stakora job files and Surmex files, which are "
            u"obtained in different ways. Choose one of these:"},
    {10040, u"Copy the job file from the controller to the office computer with a desktop synchronization tool."},
    {10041, u"Create a Surmex file on the controller with the Stakora import and export function, and copy it to the "
            u"office computer."},
    {10042, u"Create a Surmex file from a job file with Tabulon: select the job file as the source and Corvane Surmex "
            u"as the output format."},
    {10043, u"Select the source file:"},
    {10044, u"Click the Browse button beside the Source Surmex or Job file field."},
    {10045, u"In the Open dialog, set the file type to Job files or Surmex files."},
    {10046, u"Select the file and click Open."},
    {10047, u"Choose the format of the file to create in the Output format field."},
    {10048, u"If the format you want is not in the list, choose another style sheet folder:"},
    {10049, u"Click the Browse button beside the Output format field."},
    {10050, u"Locate the folder that holds the style sheets and click OK. The list then shows the style sheets "
            u"(*.xsl and *.xslt files) of that folder."},
    {10051, u"Select a format from the list."},
    {10052, u"Note: The built-in format Corvane Surmex is always in the list. It saves the source data as a Surmex "
            u"file without applying a style sheet."},
    {10053, u"Answer the prompts for the style sheet's customizable variables, if it has any. Tabulon shows them "
            u"after you click OK, before it creates the file."},
    {10054, u"Select the View file after generating check box to see the file as soon as it has been created."},
    {10055, u"Click OK."},
    {10056, u"Tabulon creates the output file as the style sheet defines it, with the file extension the style "
            u"sheet names, and asks where to save it."},
    {10057, u"If an error occurs, a message describes it. The usual cause is a fault in the style sheet."},
    {10058, u"Viewing the formatted file"},
    {10059, u"If you selected the View file after generating check box in step 5, the new file is shown as soon as "
            u"it has been saved:"},
    {10060, u"HTML, HTM and SVG files open in the application associated with them, usually a web browser."},
    {10061, u"All other files open in the text viewer, which by default is the system's text editor."},
    {10062, u"To view those other files with a different program, enter its full path, or a name found on the "
            u"search path, as the per-user setting TextFileViewer: a text value under the key "
            u"HKEY_CURRENT_USER\\Software\\Corvane\\Tabulon. Tabulon reads it when it starts and uses the system's "
            u"text editor when the program cannot be found."},
    {10063, u"Closing the Tabulon"},
    {10064, u"Click the Close button when you have finished."},
    {10065, u"Cancel"},
    {10066, u"A required grid file could not be located in the GeoData folder (%s)."},
    {10067, u"The grid file is needed when converting the selected job file to a Surmex file for use in the "
            u"processing."},
    {10068, u"No computed grid coordinates will be available for output."},
    {10069, u"User input value"},
    {10070, u"No alignments found in selected LandXML file"},
    {10071, u"Select alignment to export:"},
    {10072, u"Select cross-section surface to export:"},
    {10073, u"Select tunnel profile to export:"},
    {10074, u"Error"},
    {10075, u"Warning"},
    {10076, u"Information"},
    {10077, u"Application Error"},
    {10078, u"This utility program will apply the style sheet specified as parameter 2 to the Corvane Stakora"},
    {10079,
     u"Job or Surmex file specified as parameter 1, to produce the transformed output file. An optional 3rd parameter"},
    {10080,
     u"allows you to specify the name of the output file to be created - if specified the File Save dialog will not"},
    {10081, u"be presented. The Corvane Stakora converter installed on the computer will be used to convert a"},
    {10082, u"specified Job file to a Surmex file prior to application of the style sheet."},
    {10083, u"Syntax: %s <full Job or Surmex file name> <full style sheet file name> [<full output file name>]"},
    {10084, u"%s --help shows this text, %s --version the version of the program."},
    {10085, u"Argument %d is not valid text in the system's encoding, so the file it names cannot be used: a different "
            u"name would be read or written. Rename the file, or run with a locale whose encoding can spell its name."},
    {10086, u"There is no display to show the window on. Without one, name the source file and the style sheet on the "
            u"command line."},
    {10087, u"Save as [%s]: "},
    {10088, u"The name typed is not valid text in the system's encoding."},
    {10089, u"%s is a folder."},
    {10090, u"%s already exists. Replace it? [y/N]: "},
    {10091, u"y"},
    {10092, u"%s is not a file."},
    {10093, u"no item chosen"},
    {10094, u"\"%s\" is not one of the items"},
    {10095, u"Cancelled: the input ended before an answer came, so nothing is written."},
    {10096, u"The style sheet's fileExt variable has no select attribute, so the output extension cannot be read."},
    {10097, u"Cannot read %s: %s"},
    {10098, u"Cannot write %s: it is a folder"},
    {10099, u"Cannot write %s: %s"},
    {10100, u"%s is written, but its permissions could not be kept: %s"},
    {10101, u"The output name %s ends in a folder separator, so it names a folder, not a file."},
    {10102, u"The output name %s names a folder, not a file."},
    {10103, u"The output name %s names a pipe, device or socket, not a file; it is not replaced."},
    {10104, u"The output name %s names a file this run reads (the source, the style sheet or a file the style sheet "
            u"reads); it is not replaced."},
    {10105, u"The style sheet declares the output extension \"%s\", which is not a valid extension."},
    {10106, u"Cannot open %s: %s"},
    {10107, u"Invalid data type for '%s' (a value of %s, where text is expected)"},
    {10108, u"Cannot read the converted file %s: %s"},
    {10109, u"Converter libraries are registered in %s, under HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Linkora\\Device "
            u"Drivers; none is registered there."},
    {10110, u"The entered value holds a character that cannot be used: U+%s at position %d"},
    {10111, u"%s is saved, but the text viewer %s could not be started. To use another program, set the text value "
            u"TextFileViewer under [HKEY_CURRENT_USER\\Software\\Corvane\\Tabulon] in %s."},
    {10112, u"%s is saved, but %s could not be started to open it in the application associated with its type."},
    {10113, u"How to write style sheets for Tabulon, with examples to start from, is described in the guide %s."},
};

constexpr bool coversEveryNumberInOrder()
{
    if (std::size(OwnTexts) != TextId::Last - TextId::First + 1)
        return false;
    for (std::size_t i = 0; i < std::size(OwnTexts); ++i) {
        if (OwnTexts[i].id != TextId::First + int(i))
            return false;
    }
    return true;
}
static_assert(coversEveryNumberInOrder(), "the own table must hold every number from First to Last, in order");

constexpr qsizetype MaxTextLength = 1023;
// No text table comes near this; it keeps a stray large file from being read whole.
constexpr qint64 MaxCatalogueSize = 16 * 1024 * 1024;
constexpr auto SatelliteFileName = QLatin1StringView("TabulonR.qm");

struct Satellite
{
    QByteArray data; // the translator reads from these bytes for as long as it lives
    QTranslator translator;
    // Qt's own texts (dialog buttons, file dialogs, questions) in the catalogue's language.
    std::unique_ptr<QTranslator> toolkit;

    Satellite() = default;
    Satellite(const Satellite&) = delete;
    Satellite& operator=(const Satellite&) = delete;
    ~Satellite()
    {
        if (toolkit)
            QCoreApplication::removeTranslator(toolkit.get());
    }
};

// The text source: the satellite while one is loaded, else the program's own table.
constinit std::unique_ptr<Satellite> loadedSatellite;

void installToolkitTexts(Satellite& satellite)
{
    const QString language = satellite.translator.language();
    if (language.isEmpty() || !QCoreApplication::instance())
        return;
    auto toolkit = std::make_unique<QTranslator>();
    // "qtbase_de_DE" falls back to "qtbase_de", the name Qt ships.
    if (toolkit->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(toolkit.get()))
        satellite.toolkit = std::move(toolkit);
}

std::unique_ptr<Satellite> readSatellite(const QString& path)
{
    // Regular files only, opened without blocking: a pipe would stop the start, /dev/zero never end.
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > MaxCatalogueSize)
        return nullptr;
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return nullptr;
    fd.release();
    std::optional<QByteArray> loadable = loadableQmCatalogue(file.readAll());
    if (!loadable)
        return nullptr;
    auto satellite = std::make_unique<Satellite>();
    satellite->data = std::move(*loadable);
    const auto* bytes = reinterpret_cast<const uchar*>(satellite->data.constData());
    // A catalogue without a single text is as good as none, and must not hide one further on.
    if (!satellite->translator.load(bytes, int(satellite->data.size())) || satellite->translator.isEmpty())
        return nullptr;
    installToolkitTexts(*satellite);
    return satellite;
}

QString ownText(int id)
{
    if (id < TextId::First || id > TextId::Last)
        return {};
    const std::u16string_view text = OwnTexts[id - TextId::First].text;
    return QStringView(text.data(), qsizetype(text.size())).toString();
}

QString cutToBuffer(QString text)
{
    if (text.size() > MaxTextLength) {
        qsizetype length = MaxTextLength;
        // Never keep half of a surrogate pair.
        if (text.at(length - 1).isHighSurrogate())
            --length;
        text.truncate(length);
    }
    return text;
}

} // namespace

QStringList SatelliteSearchFolders()
{
    QStringList folders;
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
    for (const QString& dataDir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << QDir(dataDir).filePath(QStringLiteral("tabulon"));
    return folders;
}

void LoadResourceLibrary()
{
    FreeResourceLibrary();
    for (const QString& folder : SatelliteSearchFolders()) {
        // A damaged catalogue in one place must not hide a sound one further on.
        if (auto satellite = readSatellite(QDir(folder).filePath(SatelliteFileName))) {
            loadedSatellite = std::move(satellite);
            return;
        }
    }
}

bool LoadResourceLibraryFrom(const QString& path)
{
    auto satellite = readSatellite(path);
    if (!satellite)
        return false;
    loadedSatellite = std::move(satellite);
    return true;
}

QString LoadLocalizedString(int id)
{
    if (loadedSatellite) {
        const QByteArray key = QByteArray::number(id);
        QString text = loadedSatellite->translator.translate("", key.constData());
        if (!text.isEmpty())
            return cutToBuffer(std::move(text));
    }
    return cutToBuffer(ownText(id));
}

void FreeResourceLibrary()
{
    loadedSatellite.reset();
}
