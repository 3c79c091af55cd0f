#pragma once
// Choosing a folder: a drive list (the mounted volumes) linked to a folder
// list (the current folder, its parents and its sub-folders).

#include <QComboBox>
#include <QListWidget>
#include <QString>

namespace tillgate {

class DirectoryListBox final : public QListWidget {
  Q_OBJECT

 public:
  explicit DirectoryListBox(QWidget* parent = nullptr);

  QString Directory() const { return directory_; }

  // Moves to `path` (made absolute and normalised) and lists it. True on
  // success, after Changed() has been emitted. False when `path` is not a
  // folder that can be entered: the list stays where it was and *error says
  // why.
  bool SetDirectory(const QString& path, QString* error);

  // The operator enters a folder by double-clicking it or pressing Enter on
  // it, or, through an accessibility client, by selecting it (Qt then
  // leaves the current row where it was).

 signals:
  // The current folder changed.
  void Changed();
  // The operator picked a folder that cannot be entered.
  void Failed(const QString& message);

 private:
  void Fill();
  void EnterItem(QListWidgetItem* item);
  void EnterPath(const QString& path);
  void SelectionMoved();

  QString directory_;
  bool filling_ = false;
};

class DriveComboBox final : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveComboBox(QWidget* parent = nullptr);

  // The folder list this drive list moves; it follows that list back.
  void SetDirList(DirectoryListBox* list);
  // Reads the mounted volumes again.
  void Reload();

 signals:
  void Failed(const QString& message);

 private:
  void ShowDriveOf(const QString& path);
  void DriveChosen(int index);

  DirectoryListBox* list_ = nullptr;
  bool showing_ = false;  // the list changes its item itself
};

// The reason `path` cannot be entered as a folder, or empty when it can.
QString FolderProblem(const QString& path);

}  // namespace tillgate
