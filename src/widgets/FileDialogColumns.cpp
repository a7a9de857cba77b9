#include "widgets/FileDialogColumns.h"

#include <QEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace {

// Qt's dialog builds its views late, so the columns are set when it is shown.
class ColumnFitter : public QObject
{
public:
    explicit ColumnFitter(QFileDialog& dialog)
        : QObject(&dialog)
    {
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* view = watched->findChild<QTreeView*>(QStringLiteral("treeView"))) {
                QHeaderView* header = view->header();
                header->setStretchLastSection(false);
                header->setSectionResizeMode(0, QHeaderView::Stretch);
                for (int column = 1; column < header->count(); ++column)
                    header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void FitFileDialogColumns(QFileDialog& dialog)
{
    new ColumnFitter(dialog);
}
