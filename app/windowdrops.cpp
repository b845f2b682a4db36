#include "mainwindow.h"

#include "projectfolder.h"
#include "profilesettings.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

// Drops: a project folder or its VandrelSet.ini anywhere on the window opens
// that project; any other local file dropped on a path field becomes the
// field's text, as its local path. Nothing is taken while a run goes on, and
// a drag of anything but one local file or folder is refused.

namespace {

// The one local file or folder that a drag carries, absolute; "" for
// anything else (several, a remote address, no address at all).
QString SingleLocalPath(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return QString();
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return QString();
    const QString local = urls.first().toLocalFile();
    return local.isEmpty() ? QString() : QFileInfo(local).absoluteFilePath();
}

bool NamesProject(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() || info.fileName() == SettingsFileName();
}

bool IsDrag(QEvent::Type type)
{
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    const QString path = SingleLocalPath(event->mimeData());
    if (!isConverting() && !path.isEmpty() && NamesProject(path))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QString path = SingleLocalPath(event->mimeData());
    if (isConverting() || path.isEmpty() || !NamesProject(path)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    openDroppedProject(path);
}

// Drags over a path field. Plain text is left to the field itself.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (!field || !IsDrag(event->type()))
        return QMainWindow::eventFilter(watched, event);
    auto *drag = static_cast<QDropEvent *>(event);
    if (!drag->mimeData() || !drag->mimeData()->hasUrls())
        return QMainWindow::eventFilter(watched, event);

    const QString path = SingleLocalPath(drag->mimeData());
    if (isConverting() || path.isEmpty()) {
        drag->ignore();
        return true;
    }
    drag->acceptProposedAction();
    if (event->type() != QEvent::Drop)
        return true;
    if (NamesProject(path))
        openDroppedProject(path);
    else
        field->setText(path);
    return true;
}

// After the drop has ended: a box shown inside it would hold up the drag's
// source program.
void MainWindow::openDroppedProject(const QString &path)
{
    QTimer::singleShot(0, this, [this, path]() {
        if (isConverting())
            return;
        const QString problem = OpenProjectFolder(path);
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, QStringLiteral("警告"), problem, QMessageBox::Ok, QMessageBox::NoButton);
            return;
        }
        loadSharedValues();
        SwitchingPath(0);
    });
}
