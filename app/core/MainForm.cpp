#include "app/core/MainForm.h"

#include "platform/PlatformServices.h"
#include "runtime/Event.h"

namespace app {

namespace {

constexpr int ProgramMajorVersion = 1;
constexpr int ProgramMinorVersion = 0;
constexpr int NewerSystemGrowth = 8;

} // namespace

TMainForm::TMainForm(IFormView& view, std::unique_ptr<TTimer> timer)
    : view(view), checkTargetTimer(std::move(timer)) {
    CreateHidCtl();
    checkTargetTimer->SetEnabled(false);
    checkTargetTimer->SetInterval(CountdownIntervalMs);
    checkTargetTimer->Tag = 0;
    checkTargetTimer->OnTimer = [this](TTimer& sender) {
        CheckTargetTimerTimer(sender);
    };
    FormCreate(this);
}

TMainForm::~TMainForm() {
    checkTargetTimer->SetEnabled(false);
    checkTargetTimer->OnTimer = nullptr;
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

void TMainForm::FormCreate(TSender /*Sender*/) {
    FamilyName = "ZEM";
    AdapterName = "VUZ";
    caption = FamilyName + " " + AdapterName + " " + "Utility V" +
              std::to_string(ProgramMajorVersion) + "." + std::to_string(ProgramMinorVersion);
    view.SetCaption(caption);

    statusText.clear();
    view.SetStatusText(statusText);
    for (int panel : {TimePanel, StatusPanel, AdapterPanel}) {
        view.SetPanelText(panel, {});
    }
    SetIndicator(false);

    SetSize(DesignWidth, DesignHeight);
    OSVERSIONINFOA versionInfo{};
    versionInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (platform::Services().GetVersionExA(&versionInfo) && versionInfo.dwMajorVersion > 5) {
        SetSize(width + NewerSystemGrowth, height + NewerSystemGrowth);
    }
}

void TMainForm::ExitButtonClick(TSender /*Sender*/) {
    Closing = true;
    view.Close();
}

void TMainForm::SetIndicator(bool connected) {
    view.ShowIndicator(connected);
}

void TMainForm::EnableProgramButton() {
    view.SetProgramButtonEnabled(true);
    // Disabling "Program" left the focus on no control; unless the user has put it on one
    // since, "Program" gets it back, so that Space programs as a keyboard user expects.
    if (view.Focus() == TFocus::Nowhere) {
        view.FocusProgramButton();
    }
}

void TMainForm::DisableProgramButton() {
    view.SetProgramButtonEnabled(false);
}

void TMainForm::AppendLogLine(const std::string& line) {
    view.AppendLogLine(line);
    if (OnLogLine) {
        OnLogLine(line);
    }
}

void TMainForm::SetSize(int outerWidth, int outerHeight) {
    width = outerWidth;
    height = outerHeight;
    view.SetOuterSize(width, height);
}

void TMainForm::ShowStatus(TRgb colour, const std::string& text) {
    statusText = text;
    view.SetStatusColour(colour);
    view.SetStatusText(text);
}

} // namespace app
