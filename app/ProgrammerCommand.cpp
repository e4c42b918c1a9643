// The programmer command channel: the "Program" button writes the enable-programmer output
// report to the adapter; write and read failures go into the event log.
#include "app/MainForm.h"
#include "app/MainLoop.h"
#include "app/SystemErrorText.h"
#include "platform/PlatformServices.h"

namespace {

const QColor ProgressColour(0, 128, 0);

constexpr BYTE EnableProgrammerFirstByte = 0x00;
constexpr BYTE EnableProgrammerSecondByte = 0x02;

} // namespace

void TMainForm::InProgButtonClick(QObject* /*Sender*/) {
    EnableProgrammer();
    EnableProgramButton();
}

int TMainForm::EnableProgrammer() {
    return SendCommand(EnableProgrammerFirstByte, EnableProgrammerSecondByte,
                       QStringLiteral("Enable KVM Programmer..."),
                       QStringLiteral("KVM Programmer is enabled."));
}

int TMainForm::SendCommand(BYTE firstByte, BYTE secondByte, const QString& progressText,
                           const QString& doneText) {
    TCommandBuffer buffer{};
    if (!progressText.isEmpty()) {
        ShowStatus(ProgressColour, progressText);
        // Repaints the label before the write. Other handlers may run here: a device
        // change can take the target away, so the write looks at it only afterwards.
        app::ProcessMessages();
    }
    buffer[0] = CommandReportID;
    buffer[1] = firstByte;
    buffer[2] = secondByte;
    if (!WriteToTarget(buffer)) {
        return -1;
    }
    if (!doneText.isEmpty()) {
        AppendLogLine(doneText);
    }
    return 0;
}

bool TMainForm::WriteToTarget(const TCommandBuffer& buffer) {
    if (targetDevice == nullptr || Closing) {
        return false;
    }
    const DWORD length = targetDevice->Caps().OutputReportByteLength;
    if (length > buffer.size()) {
        // The report would be taken from beyond the buffer: never written.
        AppendLogLine(app::IoErrorLine(QStringLiteral("WRITE ERROR"), ERROR_INVALID_USER_BUFFER));
        return false;
    }
    DWORD written = 0;
    if (!targetDevice->WriteReport(buffer.data(), length, written)) {
        const DWORD error = platform::Services().GetLastError();
        AppendLogLine(app::IoErrorLine(QStringLiteral("WRITE ERROR"), error));
        return false;
    }
    return true;
}

void TMainForm::HandleAdapterReport(hid::THidDevice* /*HidDev*/, BYTE /*ReportID*/,
                                    const BYTE* /*Data*/, WORD /*Size*/) {
    // Reading keeps the adapter's input reports flowing; they carry nothing to show.
}

void TMainForm::HidCtlDeviceDataError(hid::THidDevice* /*HidDev*/, DWORD Error) {
    AppendLogLine(app::IoErrorLine(QStringLiteral("READ ERROR"), Error));
}
