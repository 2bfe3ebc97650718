// FrmFdSel: the modal folder dialog behind the main window's "Select" buttons. "Sure" writes the
// open folder into the text box that the main window's `folder` names.
#pragma once

#include <QDialog>

#include <map>
#include <string>
#include <vector>

#include "ui/dir_chain.h"

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace terravox {

class FrmMain;

// The mount points of this machine that are folders, "/" first, then by path.
std::vector<std::string> MountedDrives();

class FrmFdSel : public QDialog {
  Q_OBJECT

 public:
  // Starts at the process's working folder, on the drive that holds it.
  explicit FrmFdSel(FrmMain& main, QWidget* parent = nullptr);

  // Opens folder in Dir1, as opening its entry does. A folder that cannot be read is reported
  // and Dir1 stays at the folder it had; returns whether the folder opened.
  bool OpenFolder(const std::string& folder);
  // The open folder of Dir1: no trailing separator except for a root.
  const std::string& Dir1Path() const { return chain_.Current(); }

  QPushButton* Command2;
  QPushButton* Command1;
  QTreeWidget* Dir1;
  QComboBox* Drive1;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void FillDrives();
  void ShowChain();
  void ShowDrive(const std::string& drive);
  void OnDriveActivated(int index);
  void OnDirItemOpened(QTreeWidgetItem* item);
  void OnSureClicked();

  FrmMain& main_;
  DirChain chain_;
  std::vector<std::string> drives_;
  std::string drive_;                                 // the drive Drive1 shows
  std::map<std::string, std::string> drive_folders_;  // the folder last open on each drive
};

}  // namespace terravox
