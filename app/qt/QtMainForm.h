// The program's window on Qt Widgets: the stored layout (MainForm.ui) and the view that the
// window's behaviour (app::TMainForm) drives. It maps the view onto the widgets and Qt's
// event loop and does nothing else.
#pragma once

#include "app/core/FormView.h"
#include "app/core/MainForm.h"

#include <QMainWindow>
#include <array>
#include <memory>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;

namespace Ui {
class TMainForm;
}

namespace qtview {

class TQtMainForm final : public QMainWindow, public app::IFormView {
    Q_OBJECT

public:
    // The layout's sizes are those of a window with a classic frame: 4 pixels of border on
    // each side and a 26-pixel caption. Qt sizes the client area, so the client area is the
    // outer size less this frame; the components then sit where the layout puts them.
    static constexpr int OuterFrameWidth = 8;
    static constexpr int OuterFrameHeight = 34;

    // Builds the widgets from the stored layout, then the behaviour (which runs FormCreate
    // on them), then centres the window on the screen.
    explicit TQtMainForm(QWidget* parent = nullptr);
    // The behaviour goes before the widgets it drives.
    ~TQtMainForm() override;

    app::TMainForm& Core() const { return *core; }
    // Shown after the caption the behaviour sets (the demo's mark); empty by default.
    void SetTitleSuffix(const std::string& suffix);

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

    // --- app::IFormView -------------------------------------------------------------------
    void SetCaption(const std::string& text) override;
    void SetOuterSize(int width, int height) override;
    void SetStatusText(const std::string& text) override;
    void SetStatusColour(app::TRgb colour) override;
    void SetPanelText(int panel, const std::string& text) override;
    void ShowIndicator(bool green) override;
    void SetProgramButtonEnabled(bool enabled) override;
    app::TFocus Focus() override;
    void FocusProgramButton() override;
    void ClearDeviceList() override;
    void AddDeviceListEntry(const std::string& text) override;
    void SelectDeviceListEntry(int index) override;
    void AppendLogLine(const std::string& text) override;
    void ProcessMessages() override;
    void Close() override;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateStatusPanels();
    void CentreOnScreen();
    void ShowFocus();

    std::unique_ptr<Ui::TMainForm> ui;
    std::array<QLabel*, 3> statusPanels{};
    std::string caption;
    std::string titleSuffix;
    std::unique_ptr<app::TMainForm> core;
};

} // namespace qtview
