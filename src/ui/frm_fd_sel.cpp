// FrmFdSel: drive list, directory list, "Sure" and "Cancel".
#include "ui/frm_fd_sel.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

#include "ui/frm_main.h"
#include "ui/mount_filter.h"

namespace terravox {
namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

// A folder tree drawn as a plain indented list: every entry is always expanded, so expand and
// collapse marks would only mislead.
class DirTree : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;

 protected:
  void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
};

}  // namespace

std::vector<std::string> MountedDrives() {
  std::vector<std::string> drives;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    // Some mounts are single files (a container's /etc/hosts): not drives to browse.
    if (!QFileInfo(volume.rootPath()).isDir()) continue;
    if (!IsBrowsableMount(volume.rootPath().toStdString(), volume.fileSystemType().toStdString())) {
      continue;
    }
    drives.push_back(NormalFolderPath(volume.rootPath().toStdString()));
  }
  const std::string root = NormalFolderPath(QDir::rootPath().toStdString());
  drives.push_back(root);
  std::sort(drives.begin(), drives.end());
  drives.erase(std::unique(drives.begin(), drives.end()), drives.end());
  std::stable_partition(drives.begin(), drives.end(),
                        [&](const std::string& drive) { return drive == root; });
  return drives;
}

FrmFdSel::FrmFdSel(FrmMain& main, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      main_(main) {
  setWindowTitle(QStringLiteral("Folder Selection"));
  setFont(ClassicFont());
  resize(TwipsX(this, 4470), TwipsY(this, 3195));
  CreateControls();
  FillDrives();

  // The working folder is where every opening starts; the program never changes it.
  const std::string start = QDir::currentPath().toStdString();
  if (!OpenFolder(start)) {
    chain_.OpenUnlisted(start);
    ShowChain();
  }
  Drive1->setFocus();
}

void FrmFdSel::CreateControls() {
  Command2 = new QPushButton(QStringLiteral("Cancel"), this);
  Command2->setObjectName("Command2");
  Command2->setGeometry(TwipsRect(this, 3600, 2640, 735, 375));
  Command1 = new QPushButton(QStringLiteral("Sure"), this);
  Command1->setObjectName("Command1");
  Command1->setGeometry(TwipsRect(this, 3600, 2040, 735, 375));
  // Neither button is pressed by Enter: Enter opens the highlighted folder instead.
  Command1->setAutoDefault(false);
  Command2->setAutoDefault(false);

  Dir1 = new DirTree(this);
  Dir1->setObjectName("Dir1");
  Dir1->setGeometry(TwipsRect(this, 120, 480, 3375, 2400));
  Dir1->setHeaderHidden(true);
  Dir1->setColumnCount(1);
  Dir1->setItemsExpandable(false);
  Dir1->setExpandsOnDoubleClick(false);
  Dir1->setIndentation(TwipsX(this, 150));
  Dir1->installEventFilter(this);

  Drive1 = new QComboBox(this);
  Drive1->setObjectName("Drive1");
  Drive1->setGeometry(TwipsRect(this, 120, 120, 3375, 300));

  setTabOrder(Drive1, Dir1);
  setTabOrder(Dir1, Command1);
  setTabOrder(Command1, Command2);

  connect(Drive1, &QComboBox::activated, this, &FrmFdSel::OnDriveActivated);
  // Only opening an entry moves the list; a click merely highlights it.
  connect(Dir1, &QTreeWidget::itemDoubleClicked, this, &FrmFdSel::OnDirItemOpened);
  connect(Command1, &QPushButton::clicked, this, &FrmFdSel::OnSureClicked);
  connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmFdSel::FillDrives() {
  drives_ = MountedDrives();
  for (const std::string& drive : drives_) Drive1->addItem(ToQt(drive), ToQt(drive));
}

bool FrmFdSel::OpenFolder(const std::string& folder) {
  if (Status s = chain_.Open(folder); !s.ok()) {
    main_.MsgBox("Can not read the folder " + NormalFolderPath(folder) + ": " + s.description(),
                 kAppTitle);
    return false;
  }
  ShowChain();
  return true;
}

void FrmFdSel::ShowChain() {
  Dir1->clear();
  const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirClosedIcon);
  QTreeWidgetItem* parent = nullptr;
  QTreeWidgetItem* current = nullptr;
  for (const DirEntry& entry : chain_.Entries()) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Dir1);
    item->setText(0, ToQt(entry.name));
    item->setData(0, Qt::UserRole, ToQt(entry.path));
    item->setIcon(0, entry.open ? open_icon : closed_icon);
    if (entry.open) parent = item;
    if (entry.path == chain_.Current()) current = item;
  }
  Dir1->expandAll();
  if (current) {
    Dir1->setCurrentItem(current);
    Dir1->scrollToItem(current);
  }

  // The drive list follows the folder: opening a mount point's folder moves to its drive.
  const std::string drive = DriveOf(chain_.Current(), drives_);
  if (!drive.empty()) {
    drive_folders_[drive] = chain_.Current();
    ShowDrive(drive);
  }
}

void FrmFdSel::ShowDrive(const std::string& drive) {
  drive_ = drive;
  const int index = Drive1->findData(ToQt(drive));
  const QSignalBlocker blocker(Drive1);
  Drive1->setCurrentIndex(index);
}

void FrmFdSel::OnDriveActivated(int index) {
  const std::string drive = Drive1->itemData(index).toString().toStdString();
  if (drive == drive_) return;
  auto known = drive_folders_.find(drive);
  // Each drive reopens at the folder last open on it in this dialog, at first at its root.
  const std::string folder = known != drive_folders_.end() ? known->second : drive;
  // A drive that cannot be read has been reported; go back to the drive that was showing.
  if (!OpenFolder(folder)) ShowDrive(drive_);
}

void FrmFdSel::OnDirItemOpened(QTreeWidgetItem* item) {
  if (item) OpenFolder(item->data(0, Qt::UserRole).toString().toStdString());
}

void FrmFdSel::OnSureClicked() {
  QLineEdit* target = nullptr;
  switch (main_.folder) {
    case 1:
      target = main_.Text1;
      break;
    case 2:
      target = main_.Text4;
      break;
    case 3:
      target = main_.Text5;
      break;
    case 4:
      target = main_.Text7;
      break;
    case 5:
      target = main_.Text6;
      break;
    default:
      break;
  }
  if (target) target->setText(ToQt(chain_.Current()));
  accept();
}

bool FrmFdSel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Dir1 && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OnDirItemOpened(Dir1->currentItem());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void FrmFdSel::keyPressEvent(QKeyEvent* event) {
  // Escape is no cancel key here: only "Cancel" and the close box dismiss the dialog.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace terravox
