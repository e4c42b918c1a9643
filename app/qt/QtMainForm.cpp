#include "app/qt/QtMainForm.h"

#include "app/qt/MainLoop.h"
#include "app/qt/QtFormTimer.h"
#include "ui_MainForm.h"

#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

namespace qtview {

namespace {

constexpr int ListItemHeight = 16;
constexpr int TimePanelWidth = 50;
constexpr int StatusPanelWidth = 400;
constexpr int StatusLabelButtonGap = 7;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TQtMainForm::TQtMainForm(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()) {
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/vuz-utility.png")));

    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(13);
    setFont(formFont);
    setBackgroundRole(QPalette::Button);
    ui->ClientArea->setBackgroundRole(QPalette::Button);
    ui->ClientArea->setAutoFillBackground(true);
    // Without its own role the label takes the one that goes with the client area's
    // background, the button text, and its colour never shows.
    ui->StatusLabel->setForegroundRole(QPalette::WindowText);
    ui->StatusLabel->adjustSize();
    CreateStatusPanels();
    // "Program" has the focus when the window is first activated.
    ui->InProgButton->setFocus(Qt::OtherFocusReason);
    ShowFocus();

    connect(ui->ExitButton, &QPushButton::clicked, this,
            [this] { core->ExitButtonClick(ui->ExitButton); });
    connect(ui->InProgButton, &QPushButton::clicked, this,
            [this] { core->InProgButtonClick(ui->InProgButton); });

    core = std::make_unique<app::TMainForm>(*this, std::make_unique<TQtFormTimer>());
    CentreOnScreen();
}

TQtMainForm::~TQtMainForm() {
    core.reset();
}

void TQtMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (core && event->type() == QEvent::ActivationChange && isActiveWindow()) {
        core->FormActivate(this);
    }
}

void TQtMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // A compositor may show the window and never activate it: showing starts detection too.
    if (core) {
        core->FormShow(this);
    }
}

void TQtMainForm::CreateStatusPanels() {
    const std::array<QString, 3> designTexts{QStringLiteral("Time"), QStringLiteral("Status"),
                                             QStringLiteral("Programmer Version")};
    for (std::size_t i = 0; i < statusPanels.size(); ++i) {
        // Owned by the status bar once added.
        statusPanels[i] = new QLabel(designTexts[i], ui->ProgStatusBar);
        statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    statusPanels[app::TimePanel]->setAlignment(Qt::AlignCenter);
    statusPanels[app::TimePanel]->setFixedWidth(TimePanelWidth);
    statusPanels[app::StatusPanel]->setFixedWidth(StatusPanelWidth);
    ui->ProgStatusBar->addWidget(statusPanels[app::TimePanel]);
    ui->ProgStatusBar->addWidget(statusPanels[app::StatusPanel]);
    ui->ProgStatusBar->addWidget(statusPanels[app::AdapterPanel], 1);
}

void TQtMainForm::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    move(available.center() - QPoint(width() / 2, height() / 2));
}

QListWidget* TQtMainForm::DevListBox() const {
    return ui->DevListBox;
}
QListWidget* TQtMainForm::HistoryListBox() const {
    return ui->HistoryListBox;
}
QLabel* TQtMainForm::StatusLabel() const {
    return ui->StatusLabel;
}
QStatusBar* TQtMainForm::ProgStatusBar() const {
    return ui->ProgStatusBar;
}
QLabel* TQtMainForm::StatusPanel(int index) const {
    return statusPanels.at(static_cast<std::size_t>(index));
}
QLabel* TQtMainForm::ConnectBallImage() const {
    return ui->ConnectBallImage;
}
QLabel* TQtMainForm::Green_Image() const {
    return ui->Green_Image;
}
QLabel* TQtMainForm::Gray_Image() const {
    return ui->Gray_Image;
}
QPushButton* TQtMainForm::ExitButton() const {
    return ui->ExitButton;
}
QPushButton* TQtMainForm::InProgButton() const {
    return ui->InProgButton;
}

void TQtMainForm::SetTitleSuffix(const std::string& suffix) {
    titleSuffix = suffix;
    setWindowTitle(FromUtf8(caption + titleSuffix));
}

void TQtMainForm::SetCaption(const std::string& text) {
    caption = text;
    setWindowTitle(FromUtf8(caption + titleSuffix));
}

void TQtMainForm::SetOuterSize(int width, int height) {
    const QSize client(width - OuterFrameWidth, height - OuterFrameHeight);
    // Any smaller, and the status bar covers the ball, the label and the buttons.
    setMinimumSize(client);
    resize(client);
}

void TQtMainForm::SetStatusText(const std::string& text) {
    QLabel* label = ui->StatusLabel;
    label->setText(FromUtf8(text));
    label->setWordWrap(false);
    label->adjustSize();
    // A long line (a write error's system text) wraps before the buttons instead of running
    // under them.
    const int room = ui->InProgButton->x() - StatusLabelButtonGap - label->x();
    if (label->width() > room) {
        label->setWordWrap(true);
        label->resize(room, label->heightForWidth(room));
    }
}

void TQtMainForm::SetStatusColour(app::TRgb colour) {
    QPalette palette = ui->StatusLabel->palette();
    palette.setColor(QPalette::WindowText, QColor(colour.Red, colour.Green, colour.Blue));
    ui->StatusLabel->setPalette(palette);
}

void TQtMainForm::SetPanelText(int panel, const std::string& text) {
    StatusPanel(panel)->setText(FromUtf8(text));
}

void TQtMainForm::ShowIndicator(bool green) {
    const QLabel* source = green ? ui->Green_Image : ui->Gray_Image;
    ui->ConnectBallImage->setPixmap(source->pixmap());
}

void TQtMainForm::SetProgramButtonEnabled(bool enabled) {
    // Qt passes the focus of a widget it disables on to the next one, "Exit", where Space
    // would end the program: the client area takes it instead, so that no control has it.
    // focusWidget() is also the widget that gets the focus back on activation.
    if (!enabled && focusWidget() == ui->InProgButton) {
        ui->ClientArea->setFocus(Qt::OtherFocusReason);
    }
    ui->InProgButton->setEnabled(enabled);
}

app::TFocus TQtMainForm::Focus() {
    const QWidget* focused = focusWidget();
    if (focused == ui->InProgButton) {
        return app::TFocus::ProgramButton;
    }
    if (focused == nullptr || focused == this || focused == ui->ClientArea) {
        return app::TFocus::Nowhere;
    }
    return app::TFocus::Elsewhere;
}

void TQtMainForm::FocusProgramButton() {
    ui->InProgButton->setFocus(Qt::OtherFocusReason);
    ShowFocus();
}

void TQtMainForm::ShowFocus() {
    // The style draws the focus frame only after focus moved by the keyboard; this window
    // is used from the keyboard, so the focus always shows.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void TQtMainForm::ClearDeviceList() {
    ui->DevListBox->clear();
}

void TQtMainForm::AddDeviceListEntry(const std::string& text) {
    ui->DevListBox->addItem(FromUtf8(text));
}

void TQtMainForm::SelectDeviceListEntry(int index) {
    ui->DevListBox->setCurrentRow(index);
}

void TQtMainForm::AppendLogLine(const std::string& text) {
    QListWidget* log = ui->HistoryListBox;
    log->addItem(FromUtf8(text));
    const int last = log->count() - 1;
    log->item(last)->setSizeHint(QSize(0, ListItemHeight));
    log->setCurrentRow(last);
}

void TQtMainForm::ProcessMessages() {
    app::ProcessMessages();
}

void TQtMainForm::Close() {
    close();
}

} // namespace qtview
