// The programmer command channel: the "Program" button writes the enable-programmer output
// report to the adapter. The status line shows the outcome of the write; write and read
// failures go into the event log.
#include "app/core/MainForm.h"
#include "app/core/SystemErrorText.h"

namespace app {

void TMainForm::InProgButtonClick(TSender /*Sender*/) {
    EnableProgrammer();
    EnableProgramButton();
}

int TMainForm::EnableProgrammer() {
    return SendCommand(EnableProgrammerFirstByte, EnableProgrammerSecondByte,
                       "Enable KVM Programmer...", "KVM Programmer is enabled.");
}

int TMainForm::SendCommand(BYTE firstByte, BYTE secondByte, const std::string& progressText,
                           const std::string& doneText) {
    if (!progressText.empty()) {
        ShowStatus(ProgressColour, progressText);
        // Repaints the label before the write. Other handlers may run here: a device
        // change can take the target away, so the write looks at it only afterwards.
        view.ProcessMessages();
    }
    if (!WriteToTarget(MakeCommandBuffer(firstByte, secondByte))) {
        return -1;
    }
    if (!doneText.empty()) {
        // The progress text must not stay: it would read as work still going on.
        ShowStatus(ConnectedColour, doneText);
        AppendLogLine(doneText);
    }
    return 0;
}

bool TMainForm::WriteToTarget(const TCommandBuffer& buffer) {
    if (targetDevice == nullptr || Closing) {
        return false;
    }
    DWORD error = 0;
    if (!WriteCommandReport(*targetDevice, buffer, error)) {
        // Where the operator looks, in the colour of a missing adapter: a failure must not
        // look like progress.
        const std::string line = IoErrorLine("WRITE ERROR", error);
        ShowStatus(NotFoundColour, line);
        AppendLogLine(line);
        return false;
    }
    return true;
}

void TMainForm::HandleAdapterReport(hid::THidDevice* /*HidDev*/, BYTE /*ReportID*/,
                                    const BYTE* /*Data*/, WORD /*Size*/) {
    // Reading keeps the adapter's input reports flowing; they carry nothing to show.
}

void TMainForm::HidCtlDeviceDataError(hid::THidDevice* /*HidDev*/, DWORD Error) {
    AppendLogLine(IoErrorLine("READ ERROR", Error));
}

} // namespace app
