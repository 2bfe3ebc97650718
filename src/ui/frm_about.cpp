// frmAbout: the controls at their places, the load steps and the system information button.
#include "ui/frm_about.h"

#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>

#include "core/host.h"
#include "core/paths.h"
#include "core/status.h"
#include "ui/pictures.h"

#ifndef TERRAVOX_VERSION_MAJOR
#error "the build defines the program's version"
#endif

namespace terravox {
namespace {

constexpr const char* kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kNoInfoText = "Can not get any info.";

QString DescriptionText() {
  return QStringLiteral("Description") + QChar(0xFF1A) + QLatin1Char('\n') +
         QStringLiteral(
             "1.This program can convert XYZ,ASCII file to ESRI GRID and get Contour(ESRI Shape "
             "File),slope(ESRI GRID) from them by batch.\n"
             "2.It needs ArcGIS Spatial Analyst extension when getting slope and Contour.\n"
             "3.Any kinds of copy or use are welcome.");
}

QString DisclaimerText() {
  return QStringLiteral(
      "Caution:....\n"
      "This program comes with no warranty of any kind. Check its results before you "
      "rely on them.");
}

bool StartDetached(const std::string& program) {
  return QProcess::startDetached(QString::fromStdString(program), {});
}

bool IsFile(const std::string& path) { return QFileInfo(QString::fromStdString(path)).isFile(); }

}  // namespace

std::string VersionText(int major, int minor, int revision) {
  return "version " + std::to_string(major) + "." + std::to_string(minor) + "." +
         std::to_string(revision);
}

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      own_registry_(std::make_unique<NoKeysRegistry>()),
      registry_(own_registry_.get()),
      message_([this](const std::string& text, const std::string& title) {
        ShowMessageBox(this, text, title);
      }),
      start_process_(StartDetached),
      file_exists_(IsFile) {
  setFont(ClassicFont());
  CreateControls();
  Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::CreateControls() {
  const QSize client(TwipsX(this, 5730), TwipsY(this, 3555));
  // The box opens at a fixed place: its client area starts there on the screen.
  const QPoint origin = screen()->geometry().topLeft();
  setGeometry(QRect(origin + QPoint(TwipsX(this, 2340), TwipsY(this, 1935)), client));
  setFixedSize(client);

  Picture1 = new PictureBox(BannerPicture(), this);
  Picture1->setObjectName("Picture1");
  Picture1->setGeometry(TwipsRect(this, 120, 120, 1455, 615));

  lblTitle = new QLabel(this);
  lblTitle->setObjectName("lblTitle");
  lblTitle->setGeometry(TwipsRect(this, 1680, 240, 3525, 240));
  QFont title_font = font();
  title_font.setBold(true);
  lblTitle->setFont(title_font);

  lblVersion = new QLabel(this);
  lblVersion->setObjectName("lblVersion");
  lblVersion->setGeometry(TwipsRect(this, 1680, 480, 3645, 225));

  lblDescription = new QLabel(DescriptionText(), this);
  lblDescription->setObjectName("lblDescription");
  lblDescription->setGeometry(TwipsRect(this, 120, 840, 5475, 1005));
  lblDescription->setWordWrap(true);
  lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Five lines must fit the label's height; a half point less leaves room for the descenders.
  QFont description_font = font();
  description_font.setPointSizeF(font().pointSizeF() - 0.5);
  lblDescription->setFont(description_font);

  Label1 = new QLabel(QStringLiteral("Update Date : Jun 9 2003"), this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(TwipsRect(this, 120, 2040, 2895, 255));

  // The etched separator: a grey line with a white one, two pixels wide, just under it.
  struct LineStyle {
    int x1, y, x2, width;
    QColor color;
  };
  const LineStyle lines[2] = {{105, 2460, 5654, 2, Qt::white}, {90, 2445, 5654, 1, Qt::gray}};
  for (int index : {1, 0}) {
    const LineStyle& line = lines[index];
    QWidget* widget = new QWidget(this);
    widget->setObjectName("Line1");
    widget->setProperty("index", index);
    const int left = TwipsX(this, line.x1);
    widget->setGeometry(left, TwipsY(this, line.y), TwipsX(this, line.x2) - left + 1, line.width);
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, line.color);
    widget->setPalette(palette);
    Line1[index] = widget;
  }

  picIcon = new PictureBox(ContourIconPicture(), this);
  picIcon->setObjectName("picIcon");
  picIcon->setGeometry(TwipsRect(this, 120, 2640, 540, 540));

  lblDisclaimer = new QLabel(DisclaimerText(), this);
  lblDisclaimer->setObjectName("lblDisclaimer");
  lblDisclaimer->setGeometry(TwipsRect(this, 840, 2625, 3270, 825));
  lblDisclaimer->setWordWrap(true);
  lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  cmdOK = new QPushButton(QStringLiteral("sure"), this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setGeometry(TwipsRect(this, 4245, 2625, 1260, 345));
  // Default and cancel at once: Enter presses it, and Escape closes the box just as it does.
  cmdOK->setDefault(true);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

  cmdSysInfo = new QPushButton(QStringLiteral("SysInfo(&S)..."), this);
  cmdSysInfo->setObjectName("cmdSysInfo");
  cmdSysInfo->setGeometry(TwipsRect(this, 4260, 3075, 1245, 345));
  connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

  setTabOrder(cmdOK, cmdSysInfo);
  cmdOK->setFocus();
}

void frmAbout::Load() {
  setWindowTitle(QStringLiteral("About ") + QString::fromUtf8(kAppTitle));
  lblVersion->setText(QString::fromStdString(
      VersionText(TERRAVOX_VERSION_MAJOR, TERRAVOX_VERSION_MINOR, TERRAVOX_VERSION_PATCH)));
  lblTitle->setText(QString::fromUtf8(kAppTitle));
}

bool frmAbout::GetKeyValue(RegKey KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                           std::string& KeyVal) {
  return terravox::GetKeyValue(*registry_, KeyRoot, KeyName, SubKeyRef, KeyVal);
}

void frmAbout::StartSysInfo() {
  std::string SysInfoPath;
  try {
    if (!GetKeyValue(kHkeyLocalMachine, kSysInfoKey, "PATH", SysInfoPath)) {
      if (!GetKeyValue(kHkeyLocalMachine, kSysInfoLocationKey, "MSINFO", SysInfoPath)) {
        return ReportNoInfo();
      }
      // The folder text gets the name appended as it is, trailing separator or not.
      SysInfoPath = JoinPath(SysInfoPath, "MSINFO32.EXE");
      if (!file_exists_(SysInfoPath)) return ReportNoInfo();
    }
  } catch (const StepError&) {
    return ReportNoInfo();
  }
  // The path from the first key is started untested; an empty or wrong one fails to start.
  if (!start_process_(SysInfoPath)) ReportNoInfo();
}

void frmAbout::ReportNoInfo() { message_(kNoInfoText, kAppTitle); }

}  // namespace terravox
