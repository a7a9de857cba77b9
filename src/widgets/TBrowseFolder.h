#pragma once

#include <QByteArray>
#include <QFileDialog>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

class QLabel;
class QPushButton;

/**
 * A non-visual component that lets the user pick a folder in a modal folder browser: the toolkit's
 * own directory dialog, extended by an instruction text, a status text with the shortened path of
 * the selection, an optional extra push button and a preselected folder.
 *
 * Typical use: set Directory to the folder to start from, call Execute(), and on true read the
 * chosen folder from Directory. The events carry the component as their first argument (Sender)
 * and the open dialog as their second.
 */
class TBrowseFolder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Directory READ Directory WRITE setDirectory)
    Q_PROPERTY(QString Title READ Title WRITE setTitle)
    Q_PROPERTY(TBrowseInfoFlagSet Flags READ Flags WRITE setFlags)
    Q_PROPERTY(bool ShowPathInStatusArea READ ShowPathInStatusArea WRITE setShowPathInStatusArea)
    Q_PROPERTY(TSHFolders RootFolder READ RootFolder WRITE setRootFolder)
    Q_PROPERTY(bool CustomButtonVisible READ CustomButtonVisible WRITE setCustomButtonVisible)
    Q_PROPERTY(bool CustomButtonEnabled READ CustomButtonEnabled WRITE setCustomButtonEnabled)
    Q_PROPERTY(QString CustomButtonCaption READ CustomButtonCaption WRITE setCustomButtonCaption)
    Q_PROPERTY(int CustomButtonWidth READ CustomButtonWidth WRITE setCustomButtonWidth)
    Q_PROPERTY(bool SyncCustomButton READ SyncCustomButton WRITE setSyncCustomButton)

public:
    /**
     * Dialog options. Only bfStatusText changes this dialog (it adds the status area): the tree
     * holds nothing but file-system folders, so the filters for computers, printers and network
     * levels have nothing to act on.
     */
    enum TBrowseInfoFlags
    {
        bfFileSysDirsOnly = 0x1,
        bfDontGoBelowDomain = 0x2,
        bfStatusText = 0x4,
        bfFileSysAncestors = 0x8,
        bfBrowseForComputer = 0x1000,
        bfBrowseForPrinter = 0x2000,
    };
    Q_DECLARE_FLAGS(TBrowseInfoFlagSet, TBrowseInfoFlags)
    Q_FLAG(TBrowseInfoFlagSet)

    /**
     * The root of the folder tree. Folders with a file-system counterpart here limit the browser to
     * that folder and below: foDesktop (the top of everything) and foMyComputer are the file-system
     * root; foDesktopDirectory, foPersonal, foPrograms, foStartMenu, foStartup, foFonts and
     * foTemplates the user's standard folders. The others, and a counterpart that does not exist,
     * give the default tree, as foDesktopExpanded does.
     */
    enum TSHFolders
    {
        foDesktop,
        foDesktopExpanded,
        foPrograms,
        foControlPanel,
        foPrinters,
        foPersonal,
        foFavorites,
        foStartup,
        foRecent,
        foSendto,
        foRecycleBin,
        foStartMenu,
        foDesktopDirectory,
        foMyComputer,
        foNetwork,
        foNetworkNeighborhood,
        foFonts,
        foTemplates,
    };
    Q_ENUM(TSHFolders)

    explicit TBrowseFolder(QObject* owner = nullptr);

    /**
     * Runs the folder browser modally. Returns true when the user chose a folder with OK; Directory
     * and CurrentPath then hold its path. On cancel Directory is left as it was.
     */
    bool Execute();

    /// Before Execute: the folder to preselect (ignored unless it exists). After a successful Execute: the choice.
    QString Directory() const { return m_directory; }
    void setDirectory(const QString& directory) { m_directory = directory; }

    /// Instruction text shown above the folder tree.
    QString Title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }

    TBrowseInfoFlagSet Flags() const { return m_flags; }
    void setFlags(TBrowseInfoFlagSet flags) { m_flags = flags; }

    /// Show the shortened path of each new selection in the status area (which needs bfStatusText).
    bool ShowPathInStatusArea() const { return m_showPathInStatusArea; }
    void setShowPathInStatusArea(bool show) { m_showPathInStatusArea = show; }

    TSHFolders RootFolder() const { return m_rootFolder; }
    void setRootFolder(TSHFolders root) { m_rootFolder = root; }

    /// Add the extra push button to the dialog's bottom left.
    bool CustomButtonVisible() const { return m_customButtonVisible; }
    void setCustomButtonVisible(bool visible) { m_customButtonVisible = visible; }

    /// Takes effect at once on an open dialog's extra button.
    bool CustomButtonEnabled() const { return m_customButtonEnabled; }
    void setCustomButtonEnabled(bool enabled);

    /// Takes effect at once on an open dialog's extra button.
    QString CustomButtonCaption() const { return m_customButtonCaption; }
    void setCustomButtonCaption(const QString& caption);

    /// Width in pixels of the extra button from the next Execute on; values <= 0 mean 75.
    int CustomButtonWidth() const { return m_customButtonWidth; }
    void setCustomButtonWidth(int width);

    /// Enable and disable the extra button, and CustomButtonEnabled, together with OK.
    bool SyncCustomButton() const { return m_syncCustomButton; }
    void setSyncCustomButton(bool sync) { m_syncCustomButton = sync; }

    /// Path of the folder selected in the open dialog (empty for an item that is no folder);
    /// after a successful Execute the chosen folder.
    QString CurrentPath() const { return m_currentPath; }

    /// The name of the chosen folder as the browser shows it, after a successful Execute.
    QString DisplayName() const { return m_displayName; }

    /// The window the dialog belongs to; when unset or gone, the owner's window, else the active window.
    QWidget* OwnerHandle() const { return m_ownerHandle; }
    void setOwnerHandle(QWidget* owner) { m_ownerHandle = owner; }

    /// The open dialog, or null when none is open.
    QFileDialog* DialogHandle() const { return m_dialog; }

    /**
     * Shortens a path for display by replacing the components after the first by the ellipsis,
     * keeping as many of the last components as fit into maximumLength. A path of fewer than three
     * components is returned unchanged, and the result may exceed maximumLength when three remain.
     */
    static QString ShortenPath(const QString& path, const QString& separator, const QString& ellipsis,
                               int maximumLength);

    /// Where the browser is placed over a window: centred across it, a quarter of its height down.
    static QPoint PositionOver(const QRect& window, const QSize& dialog);

signals:
    /// The dialog is set up and about to be shown.
    void OnInitialized(TBrowseFolder* Sender, QFileDialog* DialogHandle);
    /// A new item is selected; Directory is its path in the local 8-bit encoding, empty when it is no folder.
    void OnSelectionChanged(TBrowseFolder* Sender, QFileDialog* DialogHandle, const QUrl& ItemIDList,
                            const QByteArray& Directory);
    void OnCustomButtonClick(TBrowseFolder* Sender, QFileDialog* DialogHandle);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* ownerWindow() const;
    void buildDialog(QFileDialog& dialog);
    void initializeDialog();
    void selectionChanged();
    void PositionDialog();
    void CreateCustomButton();
    void SelectFolder(const QString& path);
    void EnableOK(bool enable);
    bool isInsideRoot(const QString& path) const;
    void endSession();

    QString m_directory;
    QString m_title;
    TBrowseInfoFlagSet m_flags;
    bool m_showPathInStatusArea = false;
    TSHFolders m_rootFolder = foDesktopExpanded;
    bool m_customButtonVisible = false;
    bool m_customButtonEnabled = true;
    QString m_customButtonCaption;
    int m_customButtonWidth = 75;
    bool m_syncCustomButton = false;

    QString m_currentPath;
    QString m_displayName;
    QPointer<QWidget> m_ownerHandle;

    // Only while Execute runs.
    QPointer<QFileDialog> m_dialog;
    QPointer<QPushButton> m_customButton;
    QPointer<QLabel> m_statusText;
    QString m_rootPath;
    std::optional<QString> m_reportedSelection;
    std::vector<QMetaObject::Connection> m_connections;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TBrowseFolder::TBrowseInfoFlagSet)
