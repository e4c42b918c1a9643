// program: find the adapter (waiting for it through the controller's device-change events),
// then write the enable-programmer report to it, as the window's Program button does.
#include "app/cli/Commands.h"
#include "app/cli/DeviceInfo.h"
#include "app/cli/Diagnostics.h"
#include "app/cli/Output.h"
#include "app/core/AdapterIdentity.h"
#include "app/core/CommandReport.h"
#include "app/core/DeviceText.h"
#include "app/core/SystemErrorText.h"
#include "app/core/Utf8.h"
#include "runtime/Event.h"

#include <memory>
#include <string>
#include <vector>

namespace cli {

namespace {

const std::string AdapterTitle = "ZEM VUZ ";

class TProgrammer {
public:
    TProgrammer(TSession& session, const TArguments& arguments)
        : session(session), controller(session.Controller()), arguments(arguments) {}

    ~TProgrammer() {
        // The device goes back before the controller, which is told nothing more.
        target.reset();
        const runtime::TLoadingGuard quiet(controller);
        controller.SetOnDeviceChange(nullptr);
        controller.SetOnEnumerate(nullptr);
    }

    TProgrammer(const TProgrammer&) = delete;
    TProgrammer& operator=(const TProgrammer&) = delete;

    int Run(std::ostream& out, std::ostream& err) {
        // Taking the handler reconciles at once: the devices present now are examined here.
        controller.SetOnDeviceChange(runtime::MakeEvent<&TProgrammer::OnDeviceChange>(this));
        if (!examined) {
            Examine();
        }
        if (state == TState::Looking && arguments.Wait.count() > 0) {
            err << "Waiting up to " << arguments.WaitText << " s for the VUZ Device" << Wanted()
                << "...\n";
            err.flush();
            session.WaitUntil([this] { return state != TState::Looking; },
                              std::chrono::steady_clock::now() + arguments.Wait);
        }
        switch (state) {
        case TState::Found: {
            // Nothing is written to the adapter when the user cannot be told about it.
            TOutput output(out);
            if (!output.Write(AdapterTitle + SerialText(targetSerial) + " is connected.\n")) {
                return OutputFailed(err);
            }
            return Write(output, err);
        }
        case TState::Several:
            return TellSeveral(err);
        case TState::Looking:
            break;
        }
        if (session.Interrupted()) {
            err << "Interrupted.\n";
            return ExitInterrupted;
        }
        err << "VUZ Device" << Wanted() << " is not found.\n";
        return ExitNoAdapter;
    }

private:
    enum class TState { Looking, Found, Several };

    struct TMatch {
        int Slot = 0;
        std::string Serial;
        std::string Path;
    };

    // What the user asked for: " with serial S", " at path P", both or nothing. Escaped as
    // device text is: a script may have taken it from a device.
    std::string Wanted() const {
        std::string text;
        if (arguments.Serial) {
            text += " with serial " + app::EscapeControls(*arguments.Serial);
        }
        if (arguments.Path) {
            text += " at path " + app::EscapeControls(*arguments.Path);
        }
        return text;
    }

    int TellSeveral(std::ostream& err) const {
        int code = ExitSeveralAdapters;
        if (!arguments.Serial && !arguments.Path) {
            err << "Several VUZ Devices are connected; choose one with --serial or --path:\n";
        } else if (!arguments.Path) {
            err << "Several VUZ Devices have serial " << app::EscapeControls(*arguments.Serial)
                << "; choose one with --path:\n";
            code = ExitSeveralMatch;
        } else {
            err << "Several VUZ Devices match" << Wanted() << ":\n";
            code = ExitSeveralMatch;
        }
        for (const TMatch& match : severalMatches) {
            err << "  serial " << Quoted(match.Serial) << " path "
                << app::EscapeControls(match.Path) << '\n';
        }
        return code;
    }

    void OnDeviceChange(runtime::TComponent* /*Sender*/) { Examine(); }

    void Examine() {
        examined = true;
        if (state != TState::Looking) {
            return;
        }
        matches.clear();
        controller.SetOnEnumerate(runtime::MakeEvent<&TProgrammer::OnEnumerate>(this));
        controller.Enumerate();
        controller.SetOnEnumerate(nullptr);
        if (matches.size() > 1) {
            state = TState::Several;
            severalMatches = matches;
            return;
        }
        if (matches.size() == 1) {
            // Borrowed at once: later events in the same batch may move list slots.
            hid::THidDevice* lent = nullptr;
            if (controller.CheckOutByIndex(lent, matches.front().Slot)) {
                target.reset(lent);
                targetSerial = matches.front().Serial;
                state = TState::Found;
            }
        }
    }

    bool OnEnumerate(hid::THidDevice* device, int Idx) {
        if (app::IsAdapter(*device)) {
            std::string serial = app::ToUtf8(device->SerialNumber());
            // The path as the controller reports it, compared as a plain string.
            const std::string& path = device->PnPInfo().DevicePath();
            if ((!arguments.Serial || serial == *arguments.Serial) &&
                (!arguments.Path || path == *arguments.Path)) {
                matches.push_back({Idx, std::move(serial), path});
            }
        }
        return true;
    }

    int Write(TOutput& output, std::ostream& err) {
        DWORD error = 0;
        const app::TCommandBuffer command =
            app::MakeCommandBuffer(app::EnableProgrammerFirstByte, app::EnableProgrammerSecondByte);
        if (app::WriteCommandReport(*target, command, error)) {
            return output.Write("KVM Programmer is enabled.\n") ? ExitWritten : OutputFailed(err);
        }
        err << app::IoErrorLine("WRITE ERROR", error) << '\n';
        // Only a refusal calls for access advice; a device that has gone is no such case.
        if (error == ERROR_ACCESS_DENIED) {
            if (const std::string hint = AccessHint(target->PnPInfo().DevicePath());
                !hint.empty()) {
                err << hint << '\n';
            }
        }
        return ExitWriteFailed;
    }

    TSession& session;
    hid::THidDeviceController& controller;
    const TArguments& arguments;
    TState state = TState::Looking;
    bool examined = false;
    std::vector<TMatch> matches;
    std::vector<TMatch> severalMatches;
    std::unique_ptr<hid::THidDevice> target;
    std::string targetSerial;
};

} // namespace

int ProgramAdapter(TSession& session, const TArguments& arguments, std::ostream& out,
                   std::ostream& err) {
    TProgrammer programmer(session, arguments);
    return programmer.Run(out, err);
}

} // namespace cli
