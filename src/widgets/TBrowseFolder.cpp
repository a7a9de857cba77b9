#include "widgets/TBrowseFolder.h"

#include "widgets/FileDialogColumns.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int DefaultButtonWidth = 75;
constexpr int StatusPathLength = 35;

QStringList SplitPath(const QString& path, const QString& separator)
{
    return path.split(separator);
}

QString JoinPath(const QStringList& components, const QString& separator)
{
    return components.join(separator);
}

QString standardFolder(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location);
}

// The folder that stands in for a shell special folder; empty where there is none.
QString rootFolderPath(TBrowseFolder::TSHFolders folder)
{
    switch (folder) {
    case TBrowseFolder::foDesktop:
    case TBrowseFolder::foMyComputer:
        return QDir::rootPath();
    case TBrowseFolder::foDesktopDirectory:
        return standardFolder(QStandardPaths::DesktopLocation);
    case TBrowseFolder::foPersonal:
        return standardFolder(QStandardPaths::DocumentsLocation);
    case TBrowseFolder::foPrograms:
    case TBrowseFolder::foStartMenu:
        return standardFolder(QStandardPaths::ApplicationsLocation);
    case TBrowseFolder::foStartup:
        return standardFolder(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
    case TBrowseFolder::foFonts:
        return standardFolder(QStandardPaths::FontsLocation);
    case TBrowseFolder::foTemplates:
        return standardFolder(QStandardPaths::TemplatesLocation);
    case TBrowseFolder::foDesktopExpanded:
    case TBrowseFolder::foControlPanel:
    case TBrowseFolder::foPrinters:
    case TBrowseFolder::foFavorites:
    case TBrowseFolder::foRecent:
    case TBrowseFolder::foSendto:
    case TBrowseFolder::foRecycleBin:
    case TBrowseFolder::foNetwork:
    case TBrowseFolder::foNetworkNeighborhood:
        break;
    }
    return {};
}

// QGridLayout cannot insert a row, so everything moves down one to free the top row.
void shiftRowsDown(QGridLayout& grid)
{
    struct Placed
    {
        QLayoutItem* item;
        int row, column, rowSpan, columnSpan;
    };
    std::vector<Placed> items;
    while (grid.count() > 0) {
        Placed placed{};
        grid.getItemPosition(0, &placed.row, &placed.column, &placed.rowSpan, &placed.columnSpan);
        placed.item = grid.takeAt(0);
        items.push_back(placed);
    }
    for (const Placed& placed : items)
        grid.addItem(placed.item, placed.row + 1, placed.column, placed.rowSpan, placed.columnSpan,
                     placed.item->alignment());
}

} // namespace

TBrowseFolder::TBrowseFolder(QObject* owner)
    : QObject(owner)
{}

void TBrowseFolder::setCustomButtonEnabled(bool enabled)
{
    m_customButtonEnabled = enabled;
    if (m_customButton)
        m_customButton->setEnabled(enabled);
}

void TBrowseFolder::setCustomButtonCaption(const QString& caption)
{
    m_customButtonCaption = caption;
    if (m_customButton)
        m_customButton->setText(caption);
}

void TBrowseFolder::setCustomButtonWidth(int width)
{
    m_customButtonWidth = width > 0 ? width : DefaultButtonWidth;
}

bool TBrowseFolder::Execute()
{
    if (m_dialog)
        return false;

    QFileDialog dialog(ownerWindow());
    m_dialog = &dialog;
    // Declared after the dialog, so the session ends before the dialog and its children go away.
    struct SessionEnd
    {
        TBrowseFolder& browser;
        ~SessionEnd() { browser.endSession(); }
    } sessionEnd{*this};

    buildDialog(dialog);
    dialog.installEventFilter(this);
    if (dialog.exec() != QDialog::Accepted)
        return false;

    const QString chosen = QFileInfo(dialog.selectedFiles().value(0)).absoluteFilePath();
    m_directory = QDir::toNativeSeparators(QDir::cleanPath(chosen));
    m_currentPath = m_directory;
    m_displayName = QFileInfo(chosen).fileName();
    if (m_displayName.isEmpty())
        m_displayName = m_directory;
    return true;
}

void TBrowseFolder::endSession()
{
    for (const QMetaObject::Connection& connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    if (m_dialog)
        m_dialog->removeEventFilter(this);
    m_dialog = nullptr;
    m_customButton = nullptr;
    m_statusText = nullptr;
    m_rootPath.clear();
    m_reportedSelection.reset();
}

QWidget* TBrowseFolder::ownerWindow() const
{
    if (m_ownerHandle)
        return m_ownerHandle->window();
    if (auto* owner = qobject_cast<QWidget*>(parent()))
        return owner->window();
    return QApplication::activeWindow();
}

void TBrowseFolder::buildDialog(QFileDialog& dialog)
{
    // Qt's own dialog, not the platform's, because ours adds widgets to it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    FitFileDialogColumns(dialog);

    const QFileInfo root(rootFolderPath(m_rootFolder));
    if (!root.filePath().isEmpty() && root.isDir()) {
        m_rootPath = QDir::cleanPath(root.absoluteFilePath());
        dialog.setSidebarUrls({QUrl::fromLocalFile(m_rootPath)});
        dialog.setDirectory(m_rootPath);
    } else {
        dialog.setDirectory(QDir::homePath());
    }

    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid || (m_title.isEmpty() && !(m_flags & bfStatusText)))
        return;
    auto* header = new QWidget(&dialog);
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    if (!m_title.isEmpty()) {
        auto* title = new QLabel(m_title, header);
        title->setObjectName(QStringLiteral("Title"));
        title->setWordWrap(true);
        headerLayout->addWidget(title);
    }
    if (m_flags & bfStatusText) {
        m_statusText = new QLabel(header);
        m_statusText->setObjectName(QStringLiteral("StatusText"));
        headerLayout->addWidget(m_statusText);
    }
    shiftRowsDown(*grid);
    grid->addWidget(header, 0, 0, 1, grid->columnCount());
}

bool TBrowseFolder::eventFilter(QObject* watched, QEvent* event)
{
    // The show event comes before the window appears, with its size already laid out.
    if (watched == m_dialog && event->type() == QEvent::Show) {
        m_dialog->removeEventFilter(this);
        initializeDialog();
    }
    return QObject::eventFilter(watched, event);
}

void TBrowseFolder::initializeDialog()
{
    PositionDialog();
    const QFileInfo preselected(m_directory);
    if (!m_directory.isEmpty() && preselected.isDir() && isInsideRoot(preselected.absoluteFilePath()))
        SelectFolder(preselected.absoluteFilePath());
    if (m_customButtonVisible)
        CreateCustomButton();

    // Qt's dialog chooses the list's selection, or else what its name box holds, or else the
    // folder it shows; each of these three can change the choice.
    const auto changed = [this] { selectionChanged(); };
    m_connections.push_back(connect(m_dialog, &QFileDialog::currentChanged, this, changed));
    // Queued: the dialog empties its name box only after announcing the new folder.
    m_connections.push_back(connect(m_dialog, &QFileDialog::directoryEntered, this, changed, Qt::QueuedConnection));
    if (auto* nameBox = m_dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        m_connections.push_back(connect(nameBox, &QLineEdit::textChanged, this, changed));

    emit OnInitialized(this, m_dialog);
    selectionChanged();
}

void TBrowseFolder::selectionChanged()
{
    if (!m_dialog)
        return;
    const QString selected = m_dialog->selectedFiles().value(0);
    if (m_reportedSelection == selected)
        return;
    m_reportedSelection = selected;

    if (!isInsideRoot(selected)) {
        EnableOK(false);
        QTimer::singleShot(0, m_dialog, [this] {
            m_dialog->setDirectory(m_rootPath);
            if (auto* nameBox = m_dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                nameBox->clear();
            selectionChanged();
        });
        return;
    }

    const QFileInfo info(selected);
    const bool isFolder = !selected.isEmpty() && info.isDir();
    m_currentPath = isFolder ? QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath())) : QString();
    if (m_showPathInStatusArea && m_statusText)
        m_statusText->setText(
            ShortenPath(m_currentPath, QString(QDir::separator()), QStringLiteral("..."), StatusPathLength));
    EnableOK(isFolder);
    emit OnSelectionChanged(this, m_dialog, selected.isEmpty() ? QUrl() : QUrl::fromLocalFile(selected),
                            QFile::encodeName(m_currentPath));
}

bool TBrowseFolder::isInsideRoot(const QString& path) const
{
    if (m_rootPath.isEmpty())
        return true;
    if (path.isEmpty())
        return false;
    const QString cleaned = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString rootWithSeparator = m_rootPath.endsWith(u'/') ? m_rootPath : m_rootPath + u'/';
    return cleaned == m_rootPath || cleaned.startsWith(rootWithSeparator);
}

void TBrowseFolder::PositionDialog()
{
    const QWidget* foreground = QApplication::activeWindow();
    if (!foreground || foreground == m_dialog)
        return;
    m_dialog->move(PositionOver(foreground->frameGeometry(), m_dialog->frameGeometry().size()));
}

QPoint TBrowseFolder::PositionOver(const QRect& window, const QSize& dialog)
{
    return {window.left() + window.width() / 2 - dialog.width() / 2, window.top() + window.height() / 4};
}

void TBrowseFolder::SelectFolder(const QString& path)
{
    m_dialog->setDirectory(path);
}

void TBrowseFolder::CreateCustomButton()
{
    auto* grid = qobject_cast<QGridLayout*>(m_dialog->layout());
    if (!grid)
        return;
    m_customButton = new QPushButton(m_customButtonCaption, m_dialog);
    m_customButton->setObjectName(QStringLiteral("CustomButton"));
    m_customButton->setFixedWidth(m_customButtonWidth);
    // Enter belongs to OK, as in every other dialog.
    m_customButton->setAutoDefault(false);
    m_customButton->setEnabled(m_customButtonEnabled);
    grid->addWidget(m_customButton, grid->rowCount(), 0, 1, grid->columnCount(), Qt::AlignLeft);
    m_connections.push_back(
        connect(m_customButton, &QPushButton::clicked, this, [this] { emit OnCustomButtonClick(this, m_dialog); }));
}

void TBrowseFolder::EnableOK(bool enable)
{
    if (auto* buttons = m_dialog->findChild<QDialogButtonBox*>()) {
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
                button->setEnabled(enable);
        }
    }
    if (m_syncCustomButton)
        setCustomButtonEnabled(enable);
}

QString TBrowseFolder::ShortenPath(const QString& path, const QString& separator, const QString& ellipsis,
                                   int maximumLength)
{
    if (path.size() <= maximumLength || separator.isEmpty())
        return path;
    QStringList components = SplitPath(path, separator);
    if (components.size() < 3)
        return path;
    components[1] = ellipsis;
    QString result = JoinPath(components, separator);
    while (result.size() > maximumLength && components.size() > 3) {
        components.removeAt(2);
        result = JoinPath(components, separator);
    }
    return result;
}
