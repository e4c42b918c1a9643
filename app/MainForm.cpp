#include "app/MainForm.h"

#include "platform/PlatformServices.h"
#include "runtime/Component.h"
#include "runtime/Event.h"
#include "ui_MainForm.h"

#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

namespace {

constexpr int ProgramMajorVersion = 1;
constexpr int ProgramMinorVersion = 0;
constexpr int ListItemHeight = 16;
constexpr int TimePanelWidth = 50;
constexpr int StatusPanelWidth = 400;
constexpr int NewerSystemGrowth = 8;

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), checkTargetTimer(this) {
    ui->setupUi(this);
    CreateHidCtl();

    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(13);
    setFont(formFont);
    setBackgroundRole(QPalette::Button);
    ui->ClientArea->setBackgroundRole(QPalette::Button);
    ui->ClientArea->setAutoFillBackground(true);
    ui->StatusLabel->adjustSize();
    CreateStatusPanels();
    SetSize(DesignWidth, DesignHeight);

    checkTargetTimer.SetEnabled(false);
    checkTargetTimer.SetInterval(1000);
    checkTargetTimer.Tag = 0;
    checkTargetTimer.OnTimer = [this](QObject* sender) { CheckTargetTimerTimer(sender); };

    connect(ui->ExitButton, &QPushButton::clicked, this, [this] { ExitButtonClick(ui->ExitButton); });
    connect(ui->InProgButton, &QPushButton::clicked, this,
            [this] { InProgButtonClick(ui->InProgButton); });

    FormCreate(this);
    CentreOnScreen();
}

TMainForm::~TMainForm() {
    checkTargetTimer.SetEnabled(false);
    targetDevice = nullptr;
    // The controller stops the read threads of the devices the window holds, unplugs them
    // and releases the platform libraries; the held objects are then inert.
    hidCtl.reset();
    devListDevices.clear();
}

void TMainForm::CreateHidCtl() {
    // As the stored layout would: the controller exists, then its events are bound while it
    // is loading, so that nothing reconciles yet. OnDeviceChange waits for activation.
    hidCtl = std::make_unique<hid::THidDeviceController>();
    runtime::TLoadingGuard loading(*hidCtl);
    hidCtl->SetName("HidCtl");
    hidCtl->SetOnArrival(runtime::MakeEvent<&TMainForm::HidCtlArrival>(this));
    hidCtl->SetOnEnumerate(runtime::MakeEvent<&TMainForm::HidCtlEnumerate>(this));
    hidCtl->SetOnDeviceDataError(runtime::MakeEvent<&TMainForm::HidCtlDeviceDataError>(this));
    hidCtl->SetOnRemoval(runtime::MakeEvent<&TMainForm::HidCtlRemoval>(this));
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate(this);
    }
}

void TMainForm::CreateStatusPanels() {
    const std::array<QString, 3> designTexts{QStringLiteral("Time"), QStringLiteral("Status"),
                                             QStringLiteral("Programmer Version")};
    for (std::size_t i = 0; i < statusPanels.size(); ++i) {
        // Owned by the status bar once added.
        statusPanels[i] = new QLabel(designTexts[i], ui->ProgStatusBar);
        statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    statusPanels[0]->setAlignment(Qt::AlignCenter);
    statusPanels[0]->setFixedWidth(TimePanelWidth);
    statusPanels[1]->setFixedWidth(StatusPanelWidth);
    ui->ProgStatusBar->addWidget(statusPanels[0]);
    ui->ProgStatusBar->addWidget(statusPanels[1]);
    ui->ProgStatusBar->addWidget(statusPanels[2], 1);
}

void TMainForm::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    move(available.center() - QPoint(width() / 2, height() / 2));
}

int TMainForm::Width() const { return width() + OuterFrameWidth; }

int TMainForm::Height() const { return height() + OuterFrameHeight; }

void TMainForm::SetSize(int outerWidth, int outerHeight) {
    resize(outerWidth - OuterFrameWidth, outerHeight - OuterFrameHeight);
}

QListWidget* TMainForm::DevListBox() const { return ui->DevListBox; }
QListWidget* TMainForm::HistoryListBox() const { return ui->HistoryListBox; }
QLabel* TMainForm::StatusLabel() const { return ui->StatusLabel; }
QStatusBar* TMainForm::ProgStatusBar() const { return ui->ProgStatusBar; }
QLabel* TMainForm::StatusPanel(int index) const {
    return statusPanels.at(static_cast<std::size_t>(index));
}
QLabel* TMainForm::ConnectBallImage() const { return ui->ConnectBallImage; }
QLabel* TMainForm::Green_Image() const { return ui->Green_Image; }
QLabel* TMainForm::Gray_Image() const { return ui->Gray_Image; }
QPushButton* TMainForm::ExitButton() const { return ui->ExitButton; }
QPushButton* TMainForm::InProgButton() const { return ui->InProgButton; }
TTimer& TMainForm::CheckTargetTimer() { return checkTargetTimer; }
hid::THidDeviceController& TMainForm::HidCtl() const { return *hidCtl; }

void TMainForm::FormCreate(QObject* /*Sender*/) {
    FamilyName = QStringLiteral("ZEM");
    AdapterName = QStringLiteral("VUZ");
    setWindowTitle(FamilyName + " " + AdapterName + " " + "Utility V" +
                   QString::number(ProgramMajorVersion) + "." +
                   QString::number(ProgramMinorVersion));

    SetStatusText(QString());
    for (QLabel* panel : statusPanels) {
        panel->clear();
    }
    SetIndicator(false);

    OSVERSIONINFOA versionInfo{};
    versionInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (platform::Services().GetVersionExA(&versionInfo) && versionInfo.dwMajorVersion > 5) {
        SetSize(Width() + NewerSystemGrowth, Height() + NewerSystemGrowth);
    }
}

void TMainForm::ExitButtonClick(QObject* /*Sender*/) {
    Closing = true;
    close();
}

void TMainForm::SetIndicator(bool connected) {
    const QLabel* source = connected ? ui->Green_Image : ui->Gray_Image;
    ui->ConnectBallImage->setPixmap(source->pixmap());
}

void TMainForm::EnableProgramButton() { ui->InProgButton->setEnabled(true); }

void TMainForm::DisableProgramButton() { ui->InProgButton->setEnabled(false); }

void TMainForm::AppendLogLine(const QString& line) {
    QListWidget* log = ui->HistoryListBox;
    log->addItem(line);
    const int last = log->count() - 1;
    log->item(last)->setSizeHint(QSize(0, ListItemHeight));
    log->setCurrentRow(last);
}

void TMainForm::SetStatusText(const QString& text) {
    ui->StatusLabel->setText(text);
    ui->StatusLabel->adjustSize();
}

void TMainForm::SetStatusColour(const QColor& colour) {
    QPalette palette = ui->StatusLabel->palette();
    palette.setColor(QPalette::WindowText, colour);
    ui->StatusLabel->setPalette(palette);
}
