// Target detection: the window keeps its own list of lent HID devices in step with HidCtl,
// lets the device population settle for a three-tick countdown, then looks for the adapter.
#include "app/MainForm.h"
#include "runtime/Event.h"

#include <QLabel>
#include <QListWidget>

namespace {

const QColor ProgressColour(0, 128, 0);
const QColor ConnectedColour(0, 0, 255);
const QColor NotFoundColour(255, 0, 0);

QString ToText(const hid::WideString& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

const QString ScanningText = QStringLiteral("Scanning...");

} // namespace

void TMainForm::FormActivate(QObject* /*Sender*/) {
    // The controller ignores the handler it already holds: only the first activation
    // reconciles.
    hidCtl->SetOnDeviceChange(runtime::MakeEvent<&TMainForm::HidCtlDeviceChange>(this));
}

void TMainForm::ArmCountdown() {
    // Enabling a running timer keeps its period; only the count starts again.
    checkTargetTimer.Tag = CountdownTicks;
    checkTargetTimer.SetEnabled(true);
}

void TMainForm::HidCtlArrival(hid::THidDevice* /*HidDev*/) {
    if (!connected) {
        ArmCountdown();
    }
}

void TMainForm::HidCtlRemoval(hid::THidDevice* HidDev) {
    const HIDD_ATTRIBUTES& attributes = HidDev->Attributes();
    if (attributes.VendorID == AdapterVendorID && attributes.ProductID == AdapterProductID) {
        ArmCountdown();
    }
}

void TMainForm::HidCtlDeviceChange(runtime::TComponent* /*Sender*/) {
    if (!checkTargetTimer.Enabled()) {
        return;
    }
    if (rebuilding) {
        rebuildAgain = true;
        return;
    }
    rebuilding = true;
    do {
        rebuildAgain = false;
        Rebuild();
    } while (rebuildAgain && checkTargetTimer.Enabled());
    rebuilding = false;
}

void TMainForm::Rebuild() {
    SetIndicator(false);
    const bool wasScanning = StatusLabel()->text() == ScanningText;
    ShowStatus(ProgressColour, ScanningText);
    StatusPanel(1)->setText(StatusLabel()->text());
    StatusPanel(2)->clear();
    if (!wasScanning) {
        AppendLogLine(QString());
        AppendLogLine(ScanningText);
    }
    DisableProgramButton();

    DestroyDevListDevices();

    hidCtl->Enumerate();
    if (DevListBox()->count() > 0) {
        DevListBox()->setCurrentRow(0);
    }
}

void TMainForm::DestroyDevListDevices() {
    targetDevice = nullptr;
    // In list order; destroying a lent object is its check-in.
    for (auto& device : devListDevices) {
        device.reset();
    }
    devListDevices.clear();
    DevListBox()->clear();
}

bool TMainForm::HidCtlEnumerate(hid::THidDevice* HidDev, int Idx) {
    SetIndicator(false);
    DevListBox()->addItem(DescribeDevice(HidDev));
    hid::THidDevice* lent = nullptr;
    hidCtl->CheckOutByIndex(lent, Idx);
    devListDevices.emplace_back(lent);
    return true;
}

QString TMainForm::DescribeDevice(hid::THidDevice* HidDev) {
    QString text = ToText(HidDev->ProductName());
    if (text.isEmpty()) {
        const HIDD_ATTRIBUTES& attributes = HidDev->Attributes();
        text = QString::asprintf("Device VID=%.4X PID=%.4X", unsigned{attributes.VendorID},
                                 unsigned{attributes.ProductID});
    }
    const QString serial = ToText(HidDev->SerialNumber());
    if (!serial.isEmpty()) {
        text += QStringLiteral(" (Serial=%1)").arg(serial);
    }
    return text;
}

void TMainForm::CheckTargetTimerTimer(QObject* /*Sender*/) {
    if (checkTargetTimer.Tag > 0) {
        --checkTargetTimer.Tag;
        if (checkTargetTimer.Tag != 0) {
            return;
        }
        FindTarget();
    }
    checkTargetTimer.SetEnabled(false);
}

hid::THidDevice* TMainForm::DevListDevice(int index) const {
    return devListDevices.at(static_cast<std::size_t>(index)).get();
}

void TMainForm::FindTarget() {
    connected = false;
    int match = -1;
    for (std::size_t i = 0; i < devListDevices.size(); ++i) {
        hid::THidDevice* device = devListDevices[i].get();
        if (device == nullptr || device->Attributes().VendorID != AdapterVendorID) {
            continue;
        }
        if (device->Caps().InputReportByteLength != AdapterInputReportLength ||
            device->Attributes().ProductID != AdapterProductID) {
            continue;
        }
        StatusPanel(2)->setText(FamilyName + " " + AdapterName + " " +
                                ToText(device->SerialNumber()));
        SetIndicator(true);
        EnableProgramButton();
        ShowStatus(ConnectedColour, StatusPanel(2)->text() + " is connected.");
        StatusPanel(1)->setText(StatusLabel()->text());
        AppendLogLine(StatusLabel()->text());
        connected = true;
        match = static_cast<int>(i);
        break;
    }

    if (connected) {
        DevListBox()->setCurrentRow(match);
        targetDevice = devListDevices[static_cast<std::size_t>(match)].get();
        if (targetDevice->HasReadWriteAccess()) {
            targetDevice->SetOnData(runtime::MakeEvent<&TMainForm::HandleAdapterReport>(this));
        }
        return;
    }
    SetIndicator(false);
    ShowStatus(NotFoundColour, QStringLiteral("Please connect VUZ Device."));
    StatusPanel(1)->setText(QStringLiteral("VUZ Device is not found."));
    AppendLogLine(StatusPanel(1)->text());
    DisableProgramButton();
}

void TMainForm::ShowStatus(const QColor& colour, const QString& text) {
    SetStatusColour(colour);
    SetStatusText(text);
}
