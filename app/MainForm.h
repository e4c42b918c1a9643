// The program's single window: adapter indicator, status line, status panels, the
// "Program" and "Exit" buttons, the countdown timer and two hidden lists (the device
// list and the event log).
#pragma once

#include "app/Timer.h"

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;

namespace Ui {
class TMainForm;
}

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // Creates the window from its stored layout, then runs FormCreate.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The window's outer size, frame included (see OuterFrameWidth).
    int Width() const;
    int Height() const;
    void SetSize(int outerWidth, int outerHeight);

    // Components, named as in the stored layout.
    QListWidget* DevListBox() const;
    QListWidget* HistoryListBox() const;
    QLabel* StatusLabel() const;
    QStatusBar* ProgStatusBar() const;
    QLabel* StatusPanel(int index) const;
    QLabel* ConnectBallImage() const;
    QLabel* Green_Image() const;
    QLabel* Gray_Image() const;
    QPushButton* ExitButton() const;
    QPushButton* InProgButton() const;
    TTimer& CheckTargetTimer();

    void FormCreate(QObject* Sender);
    void ExitButtonClick(QObject* Sender);
    void SetIndicator(bool connected);
    void EnableProgramButton();
    void DisableProgramButton();
    void AppendLogLine(const QString& line);
    // The status line sizes itself to its text.
    void SetStatusText(const QString& text);
    void SetStatusColour(const QColor& colour);

    QString FamilyName;
    QString AdapterName;
    bool Closing = false;

    // The layout's sizes are those of a window with a classic frame: 4 pixels of border on
    // each side and a 26-pixel caption. The toolkit sizes the client area, so the client
    // area is the outer size less this frame; the components then sit where the layout
    // puts them, with the status bar along the bottom edge.
    static constexpr int OuterFrameWidth = 8;
    static constexpr int OuterFrameHeight = 34;
    static constexpr int DesignWidth = 706;
    static constexpr int DesignHeight = 105;

private:
    void CreateStatusPanels();
    void CentreOnScreen();

    std::unique_ptr<Ui::TMainForm> ui;
    TTimer checkTargetTimer;
    std::array<QLabel*, 3> statusPanels{};
};
