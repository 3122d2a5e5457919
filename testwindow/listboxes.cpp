#include "listboxes.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStyle>

namespace {
constexpr int kPathRole = Qt::UserRole;
}

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent)
{
    // The list is rebuilt after the activation has been handled, not inside it.
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString target = item->data(kPathRole).toString();
        QMetaObject::invokeMethod(this, [this, target] { setPath(target); }, Qt::QueuedConnection);
    });
}

bool DirListBox::setPath(const QString& dir)
{
    const QString before = path_;
    if (!show(dir))
        return false;
    if (path_ != before || before.isEmpty())
        emit Change();
    return true;
}

bool DirListBox::setPathQuietly(const QString& dir) { return show(dir); }

bool DirListBox::show(const QString& dir)
{
    const QFileInfo info(dir);
    if (dir.isEmpty() || !info.isDir() || !info.isExecutable())
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    path_ = clean;

    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    // The chain of parents, "/" first, each indented one step more.
    QStringList parts = clean.split('/', Qt::SkipEmptyParts);
    QString at = "/";
    int depth = 0;
    auto addParent = [&](const QString& label, const QString& target) {
        auto* item = new QListWidgetItem(open, QString(depth * 2, ' ') + label, this);
        item->setData(kPathRole, target);
        item->setToolTip(target);
        ++depth;
        return item;
    };
    QListWidgetItem* current = addParent("/", at);
    for (const QString& part : parts) {
        at = at == "/" ? at + part : at + "/" + part;
        current = addParent(part, at);
    }
    const QString indent(depth * 2, ' ');
    const auto folders = QDir(clean).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& f : folders) {
        auto* item = new QListWidgetItem(closed, indent + f.fileName(), this);
        item->setData(kPathRole, f.absoluteFilePath());
        item->setToolTip(f.absoluteFilePath());
    }
    setCurrentItem(current);
    setAccessibleDescription(clean);
    return true;
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent)
{
    // Raised after the selection change has been handled: Click re-reads the list.
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            QMetaObject::invokeMethod(this, [this] { emit Click(); }, Qt::QueuedConnection);
    });
}

void FileListBox::setPath(const QString& dir)
{
    const QSignalBlocker quiet(this);
    const QString selected = currentItem() != nullptr ? currentItem()->text() : QString();
    path_ = dir;
    clear();
    const QStringList files = QDir(dir).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    addItems(files);
    const int row = selected.isEmpty() ? -1 : static_cast<int>(files.indexOf(selected));
    setCurrentRow(row);
    setAccessibleDescription(dir);
}
