// frmAbout: the about box shown as the main window closes: title, version, description, and a
// button that starts the system information tool found through the registry.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "ui/registry.h"
#include "ui/window_support.h"

class QLabel;
class QPushButton;

namespace terravox {

class PictureBox;

// "version " and the major, minor and revision numbers in plain decimal, joined by ".".
std::string VersionText(int major, int minor, int revision);

class frmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit frmAbout(QWidget* parent = nullptr);
  ~frmAbout() override;

  // Seams; each defaults to the real service. The registry is not owned and must outlive the box.
  void SetMessageSeam(MessageSeam seam) { message_ = std::move(seam); }
  void SetRegistry(Registry* registry) { registry_ = registry; }
  // Starts a program as a separate process without waiting; false when it could not start.
  void SetProcessStarter(std::function<bool(const std::string& program)> starter) {
    start_process_ = std::move(starter);
  }
  void SetFileExists(std::function<bool(const std::string& path)> exists) {
    file_exists_ = std::move(exists);
  }

  // GetKeyValue (ui/registry.h) over this box's registry.
  bool GetKeyValue(RegKey KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                   std::string& KeyVal);
  // Starts the system information tool, or says that it cannot.
  void StartSysInfo();

  PictureBox* Picture1;
  QLabel* lblTitle;
  QLabel* lblVersion;
  QLabel* lblDescription;
  QLabel* Label1;
  std::array<QWidget*, 2> Line1;
  PictureBox* picIcon;
  QLabel* lblDisclaimer;
  QPushButton* cmdOK;
  QPushButton* cmdSysInfo;

 private:
  void CreateControls();
  void Load();
  void ReportNoInfo();

  std::unique_ptr<Registry> own_registry_;
  Registry* registry_;
  MessageSeam message_;
  std::function<bool(const std::string&)> start_process_;
  std::function<bool(const std::string&)> file_exists_;
};

}  // namespace terravox
