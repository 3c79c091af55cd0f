#include "app/window/folder_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

#include "app/window/choice_signals.h"

namespace tillgate {
namespace {

constexpr int kPathRole = Qt::UserRole;

QString Normalise(const QString& path) { return QDir::cleanPath(QDir(path).absolutePath()); }

// Root first, then each folder on the way down to `directory`.
QStringList AncestorsOf(const QString& directory) {
  QStringList chain;
  QDir dir(directory);
  chain.prepend(dir.absolutePath());
  while (dir.cdUp()) chain.prepend(dir.absolutePath());
  return chain;
}

QString LastName(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  return name.isEmpty() ? path : name;
}

}  // namespace

QString FolderProblem(const QString& path) {
  if (path.isEmpty()) return QStringLiteral("I/O error: empty folder name");
  const QFileInfo info(path);
  if (!info.exists()) return QStringLiteral("I/O error: folder '%1' does not exist").arg(path);
  if (!info.isDir()) return QStringLiteral("I/O error: '%1' is not a folder").arg(path);
  if (!info.isExecutable())
    return QStringLiteral("I/O error: folder '%1' cannot be entered").arg(path);
  return {};
}

DirectoryListBox::DirectoryListBox(QWidget* parent) : QListWidget(parent) {
  setUniformItemSizes(true);
  connect(this, &QListWidget::itemActivated, this, &DirectoryListBox::EnterItem);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &DirectoryListBox::SelectionMoved);
}

void DirectoryListBox::SelectionMoved() {
  // The mouse and the keyboard move the current row with the selection.
  if (filling_) return;
  const QList<QListWidgetItem*> chosen = selectedItems();
  if (chosen.size() != 1 || chosen.front() == currentItem()) return;
  // Entered once the selection has settled: entering refills the list.
  const QString path = chosen.front()->data(kPathRole).toString();
  QMetaObject::invokeMethod(
      this, [this, path] { EnterPath(path); }, Qt::QueuedConnection);
}

bool DirectoryListBox::SetDirectory(const QString& path, QString* error) {
  const QString normal = Normalise(path);
  const QString problem = FolderProblem(normal);
  if (!problem.isEmpty()) {
    if (error) *error = problem;
    return false;
  }
  directory_ = normal;
  Fill();
  emit Changed();
  return true;
}

void DirectoryListBox::Fill() {
  filling_ = true;
  clear();
  const QStringList chain = AncestorsOf(directory_);
  int depth = 0;
  for (const QString& folder : chain) {
    auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + LastName(folder));
    item->setData(kPathRole, folder);
    addItem(item);
    ++depth;
  }
  setCurrentRow(count() - 1);
  // Sub-folders: a folder we may not read simply lists none.
  QDir dir(directory_);
  const QStringList subs =
      dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::Name);
  for (const QString& name : subs) {
    auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name);
    item->setData(kPathRole, dir.filePath(name));
    addItem(item);
  }
  filling_ = false;
}

void DirectoryListBox::EnterItem(QListWidgetItem* item) {
  if (item != nullptr) EnterPath(item->data(kPathRole).toString());
}

void DirectoryListBox::EnterPath(const QString& path) {
  QString error;
  if (!SetDirectory(path, &error)) emit Failed(error);
}

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
  Reload();
  OnChoice(
      this, [this] { return showing_; }, [this](int index) { DriveChosen(index); });
}

void DriveComboBox::Reload() {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
  }
  roots.removeDuplicates();
  std::sort(roots.begin(), roots.end());
  showing_ = true;
  clear();
  addItems(roots);
  showing_ = false;
  if (list_) ShowDriveOf(list_->Directory());
}

void DriveComboBox::SetDirList(DirectoryListBox* list) {
  list_ = list;
  connect(list_, &DirectoryListBox::Changed, this, [this] { ShowDriveOf(list_->Directory()); });
  ShowDriveOf(list_->Directory());
}

void DriveComboBox::ShowDriveOf(const QString& path) {
  // The volume holding `path` is the one with the longest matching root.
  int best = -1;
  qsizetype best_length = -1;
  for (int i = 0; i < count(); ++i) {
    QString root = itemText(i);
    const bool matches = path == root || root == QLatin1String("/") ||
                         path.startsWith(root.endsWith('/') ? root : root + '/');
    if (matches && root.size() > best_length) {
      best = i;
      best_length = root.size();
    }
  }
  showing_ = true;
  if (best >= 0) setCurrentIndex(best);
  showing_ = false;
}

void DriveComboBox::DriveChosen(int index) {
  if (list_ == nullptr || index < 0) return;
  QString error;
  if (!list_->SetDirectory(itemText(index), &error)) {
    ShowDriveOf(list_->Directory());
    emit Failed(error);
  }
}

}  // namespace tillgate
