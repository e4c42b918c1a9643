// The program's single window: adapter indicator, status line, status panels, the
// "Program" and "Exit" buttons, the countdown timer and two hidden lists (the device
// list and the event log). It watches the HID devices through its controller HidCtl,
// finds the adapter and sends it the enable-programmer command.
#pragma once

#include "app/Timer.h"
#include "hid/HidDevice.h"
#include "hid/HidDeviceController.h"
#include "platform/PlatformTypes.h"

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

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
    // Ends the controller before the devices it lent: their read threads stop while the
    // HID binding is still held, and the lent objects then go without any HID call.
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
    hid::THidDeviceController& HidCtl() const;

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

    // --- Target detection --------------------------------------------------------------
    static constexpr USHORT AdapterVendorID = 0x0416;
    static constexpr USHORT AdapterProductID = 0x8249;
    static constexpr USHORT AdapterInputReportLength = 8;
    static constexpr int CountdownTicks = 3;

    void FormActivate(QObject* Sender);
    void HidCtlArrival(hid::THidDevice* HidDev);
    void HidCtlRemoval(hid::THidDevice* HidDev);
    void HidCtlDeviceChange(runtime::TComponent* Sender);
    bool HidCtlEnumerate(hid::THidDevice* HidDev, int Idx);
    void CheckTargetTimerTimer(QObject* Sender);
    QString DescribeDevice(hid::THidDevice* HidDev);
    void FindTarget();

    bool Connected() const { return connected; }
    // Non-owning: an object of the device list, or null.
    hid::THidDevice* TargetDevice() const { return targetDevice; }
    // The device object of a device-list entry (null when its check-out was refused).
    hid::THidDevice* DevListDevice(int index) const;

    // --- Programmer command ------------------------------------------------------------
    static constexpr std::size_t CommandBufferSize = 128;
    using TCommandBuffer = std::array<BYTE, CommandBufferSize>;
    static constexpr BYTE CommandReportID = 0x05;

    void InProgButtonClick(QObject* Sender);
    int EnableProgrammer();
    // 0 when the report was written, -1 when not. A non-empty doneText is logged after a
    // successful write.
    int SendCommand(BYTE firstByte, BYTE secondByte, const QString& progressText,
                    const QString& doneText = QString());
    bool WriteToTarget(const TCommandBuffer& buffer);
    void HandleAdapterReport(hid::THidDevice* HidDev, BYTE ReportID, const BYTE* Data, WORD Size);
    void HidCtlDeviceDataError(hid::THidDevice* HidDev, DWORD Error);

    // The layout's sizes are those of a window with a classic frame: 4 pixels of border on
    // each side and a 26-pixel caption. The toolkit sizes the client area, so the client
    // area is the outer size less this frame; the components then sit where the layout
    // puts them, with the status bar along the bottom edge.
    static constexpr int OuterFrameWidth = 8;
    static constexpr int OuterFrameHeight = 34;
    static constexpr int DesignWidth = 706;
    static constexpr int DesignHeight = 105;

protected:
    void changeEvent(QEvent* event) override;

private:
    void CreateStatusPanels();
    void CentreOnScreen();
    void CreateHidCtl();
    void ArmCountdown();
    void Rebuild();
    void DestroyDevListDevices();
    void ShowStatus(const QColor& colour, const QString& text);

    std::unique_ptr<Ui::TMainForm> ui;
    TTimer checkTargetTimer;
    std::array<QLabel*, 3> statusPanels{};

    std::unique_ptr<hid::THidDeviceController> hidCtl;
    // The objects lent by HidCtl, one per DevListBox entry, in the same order.
    std::vector<std::unique_ptr<hid::THidDevice>> devListDevices;
    hid::THidDevice* targetDevice = nullptr;
    bool connected = false;
    // A rebuild waits for read threads to stop, and that wait serves queued calls; a
    // device change delivered there is run after the rebuild instead of inside it.
    bool rebuilding = false;
    bool rebuildAgain = false;
};
