// The program's single window, apart from any toolkit: it watches the HID devices through
// its controller HidCtl, finds the adapter, shows the outcome on its view and sends the
// adapter the enable-programmer command. A front end builds its widgets (the IFormView),
// then this object, and calls the handlers from its own events: FormActivate on activation,
// FormShow when it is shown, InProgButtonClick and ExitButtonClick on the buttons; the timer
// ticks by itself.
#pragma once

#include "app/core/CommandReport.h"
#include "app/core/FormTimer.h"
#include "app/core/FormView.h"
#include "app/core/Rgb.h"
#include "hid/HidDevice.h"
#include "hid/HidDeviceController.h"
#include "platform/PlatformTypes.h"
#include "runtime/Component.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace app {

// Who raised an event; the handlers never look at it.
using TSender = const void*;

class TMainForm {
public:
    static constexpr int DesignWidth = 706;
    static constexpr int DesignHeight = 105;
    static constexpr int CountdownTicks = 3;
    static constexpr int CountdownIntervalMs = 1000;

    // Creates HidCtl with its events bound (as the stored layout binds them), sets up the
    // countdown on checkTargetTimer, then runs FormCreate. The view outlives this object.
    TMainForm(IFormView& view, std::unique_ptr<TTimer> checkTargetTimer);
    // Ends the controller before the devices it lent: their read threads stop while the HID
    // binding is still held, and the lent objects then go without any HID call.
    ~TMainForm();
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // --- Window ---------------------------------------------------------------------------
    void FormCreate(TSender Sender);
    void ExitButtonClick(TSender Sender);
    void SetIndicator(bool connected);
    void EnableProgramButton();
    void DisableProgramButton();
    void AppendLogLine(const std::string& line);

    std::string FamilyName;
    std::string AdapterName;
    bool Closing = false;

    // The outer size the view was given, frame included.
    int Width() const { return width; }
    int Height() const { return height; }
    std::string Caption() const { return caption; }

    // --- Target detection -----------------------------------------------------------------
    void FormActivate(TSender Sender);
    // A shown window may never be activated (a compositor that gives it no focus, a start
    // in the background): showing starts detection as the first activation does.
    void FormShow(TSender Sender);
    void HidCtlArrival(hid::THidDevice* HidDev);
    void HidCtlRemoval(hid::THidDevice* HidDev);
    void HidCtlDeviceChange(runtime::TComponent* Sender);
    bool HidCtlEnumerate(hid::THidDevice* HidDev, int Idx);
    void CheckTargetTimerTimer(TTimer& Sender);
    std::string DescribeDevice(hid::THidDevice* HidDev);
    void FindTarget();

    bool Connected() const { return connected; }
    // Non-owning: an object of the device list, or null.
    hid::THidDevice* TargetDevice() const { return targetDevice; }
    int DevListCount() const { return static_cast<int>(devListDevices.size()); }
    // The device object of a device-list entry (null when its check-out was refused).
    hid::THidDevice* DevListDevice(int index) const;

    // --- Programmer command ---------------------------------------------------------------
    void InProgButtonClick(TSender Sender);
    int EnableProgrammer();
    // 0 when the report was written, -1 when not. A non-empty doneText is shown in the status
    // line and logged after a successful write; a failed write shows its error line there.
    int SendCommand(BYTE firstByte, BYTE secondByte, const std::string& progressText,
                    const std::string& doneText = {});
    bool WriteToTarget(const TCommandBuffer& buffer);
    void HandleAdapterReport(hid::THidDevice* HidDev, BYTE ReportID, const BYTE* Data, WORD Size);
    void HidCtlDeviceDataError(hid::THidDevice* HidDev, DWORD Error);

    // --- Components -----------------------------------------------------------------------
    IFormView& View() const { return view; }
    TTimer& CheckTargetTimer() const { return *checkTargetTimer; }
    hid::THidDeviceController& HidCtl() const { return *hidCtl; }
    // What the status line reads now, as this window set it.
    const std::string& StatusText() const { return statusText; }

    // Told about every line appended to the event log, after the view has it (the demo and
    // tools that follow the log).
    std::function<void(const std::string& line)> OnLogLine;

private:
    void CreateHidCtl();
    void SetSize(int outerWidth, int outerHeight);
    void ShowStatus(TRgb colour, const std::string& text);
    void ArmCountdown();
    void Rebuild();
    void DestroyDevListDevices();

    IFormView& view;
    std::unique_ptr<TTimer> checkTargetTimer;
    std::unique_ptr<hid::THidDeviceController> hidCtl;
    // The objects lent by HidCtl, one per device-list entry, in the same order.
    std::vector<std::unique_ptr<hid::THidDevice>> devListDevices;
    hid::THidDevice* targetDevice = nullptr;
    bool connected = false;
    std::string statusText;
    std::string caption;
    int width = DesignWidth;
    int height = DesignHeight;
    // A rebuild waits for read threads to stop; a device change delivered meanwhile runs
    // after the rebuild instead of inside it.
    bool rebuilding = false;
    bool rebuildAgain = false;
    // The countdown was armed and no rebuild has followed: before detection starts, the
    // controller raises arrivals but no OnDeviceChange reaches this window.
    bool rebuildOwed = false;
};

} // namespace app
