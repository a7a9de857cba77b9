#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The kind of a value asked of the user.
enum class UserFieldKind : std::uint8_t
{
    DOUBLE = 0,
    INTEGER = 1,
    STRING = 2,
    STRINGMENU = 3,
    FILENAME = 4,
};

enum class MessageKind
{
    Error,       // error icon, caption "Error"
    Warning,     // caption "Warning"
    Information, // information icon, caption "Information"
    Plain,       // no icon, the application title as caption
    Failure,     // error icon, the application title as caption: an unexpected failure in the dialog
};

// What the save dialog is set up with before it is shown.
struct SaveFileRequest
{
    QString defaultExtension;  // without the dot
    QString fileName;          // proposed name, possibly with a folder
    QString filterDescription; // e.g. "Report files (*.csv)"
    QString filterPattern;     // e.g. "*.csv"
};

// What the file-open dialog lent to user fields is set up with.
struct OpenFileRequest
{
    QString title;
    QString defaultExtension; // with its leading dot, e.g. ".csv"
    QString filterDescription;
    QString filterPattern;
    QString fileName; // initial file name, e.g. "*.csv"
};

// One question of the value prompt dialog.
struct ValueQuestion
{
    QString prompt;
    QString defaultText;
    UserFieldKind kind = UserFieldKind::STRING;
    QString lowerText;
    QString upperText;
    QStringList menuItems; // STRINGMENU only; the entry matching defaultText is preselected
};

/**
 * Every way the pipeline talks to the user: message boxes, the save and file-open dialogs,
 * the value prompt and the busy cursor. Implemented by real Qt dialogs, by the console for runs
 * without a display, and by a scripted double in tests.
 */
class UserInteraction
{
public:
    virtual ~UserInteraction() = default;

    virtual void showMessage(MessageKind kind, const QString& text) = 0;

    // The box of an unexpected failure that ends command-line mode.
    virtual void showApplicationError(const QString& text) = 0;

    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<QString> askSaveFile(const SaveFileRequest& request) = 0;
    virtual std::optional<QString> askOpenFile(const OpenFileRequest& request) = 0;

    // The answer as the value prompt dialog returns it (validated for numbers; for menus the
    // chosen item), or nothing when the user cancelled.
    virtual std::optional<QString> askValue(const ValueQuestion& question) = 0;

    virtual void setBusy(bool busy) = 0;
};

// Shows the busy cursor for its lifetime; the normal cursor comes back on every way out.
class BusyCursor
{
public:
    explicit BusyCursor(UserInteraction& ui)
        : m_ui(ui)
    {
        m_ui.setBusy(true);
    }
    ~BusyCursor() { m_ui.setBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    UserInteraction& m_ui;
};
