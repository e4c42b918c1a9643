// watch: every arrival and removal, and the adapter's input reports, until interrupted.
// The adapters are borrowed while they are plugged in, so that their read threads run.
#include "app/cli/Commands.h"
#include "app/cli/DeviceInfo.h"
#include "app/cli/Diagnostics.h"
#include "app/cli/Output.h"
#include "app/cli/Timestamp.h"
#include "app/core/AdapterIdentity.h"
#include "app/core/SystemErrorText.h"
#include "runtime/Event.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace cli {

namespace {

std::string HexBytes(const BYTE* data, std::size_t size) {
    std::string text;
    std::array<char, 4> hex{};
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(hex.data(), hex.size(), "%02X", unsigned{data[i]});
        if (i != 0) {
            text += ' ';
        }
        text += hex.data();
    }
    return text;
}

class TWatcher {
public:
    TWatcher(TSession& session, const TArguments& arguments, std::ostream& out, std::ostream& err)
        : session(session), controller(session.Controller()), json(arguments.Json), output(out),
          err(err) {}

    ~TWatcher() {
        // Borrowed devices go back (their read threads end) while the controller is there.
        held.clear();
        const runtime::TLoadingGuard quiet(controller);
        controller.SetOnDeviceChange(nullptr);
        controller.SetOnArrival(nullptr);
        controller.SetOnRemoval(nullptr);
        controller.SetOnEnumerate(nullptr);
    }

    TWatcher(const TWatcher&) = delete;
    TWatcher& operator=(const TWatcher&) = delete;

    int Run() {
        controller.SetOnArrival(runtime::MakeEvent<&TWatcher::OnArrival>(this));
        controller.SetOnRemoval(runtime::MakeEvent<&TWatcher::OnRemoval>(this));
        // The first reconciliation runs now: the devices present at start.
        starting = true;
        controller.SetOnDeviceChange(runtime::MakeEvent<&TWatcher::OnDeviceChange>(this));
        starting = false;
        BorrowAdapters();
        // Until interrupted, or until no one can read what is told.
        if (!output.Failed()) {
            session.WaitUntil([this] { return output.Failed(); }, std::nullopt);
        }
        // What happened before the interrupt is still told.
        if (!output.Failed()) {
            session.Loop().ServePending();
        }
        return output.Failed() ? OutputFailed(err) : ExitInterrupted;
    }

private:
    std::chrono::system_clock::time_point Now() const {
        const auto& clock = session.Context().Clock;
        return clock ? clock() : std::chrono::system_clock::now();
    }

    void Emit(const std::string& event, const std::string& text, nlohmann::ordered_json fields) {
        const auto time = Now();
        if (json) {
            nlohmann::ordered_json line = {{"time", UtcIsoTime(time)}, {"event", event}};
            line.update(fields);
            output.Write(DumpJson(line) + '\n');
        } else {
            std::string name = event;
            name.resize(std::max<std::size_t>(name.size(), 7), ' ');
            output.Write(LocalTimeOfDay(time) + ' ' + name + ' ' + text + '\n');
        }
    }

    void OnArrival(hid::THidDevice* device) {
        const TDeviceInfo info = DescribeDevice(*device);
        known[device->PnPInfo().DevInst()] = info;
        Emit(starting ? "present" : "arrival", FormatDevice(info), DeviceJson(info));
    }

    void OnRemoval(hid::THidDevice* device) {
        const DWORD instance = device->PnPInfo().DevInst();
        const auto found = known.find(instance);
        TDeviceInfo info;
        if (found != known.end()) {
            info = found->second;
            known.erase(found);
        } else {
            info.VendorID = device->Attributes().VendorID;
            info.ProductID = device->Attributes().ProductID;
            info.Path = device->PnPInfo().DevicePath();
        }
        Emit("removal", FormatDevice(info), DeviceJson(info));
    }

    void OnDeviceChange(runtime::TComponent* /*Sender*/) {
        if (!starting) {
            BorrowAdapters();
        }
    }

    // Gives back the adapters that have gone and borrows those that have come.
    void BorrowAdapters() {
        std::erase_if(held, [](const std::unique_ptr<hid::THidDevice>& device) {
            return !device->IsPluggedIn();
        });
        controller.SetOnEnumerate(runtime::MakeEvent<&TWatcher::OnEnumerate>(this));
        controller.Enumerate();
        controller.SetOnEnumerate(nullptr);
    }

    bool OnEnumerate(hid::THidDevice* device, int Idx) {
        if (device->IsCheckedOut() || !app::IsAdapter(*device)) {
            return true;
        }
        if (!device->HasReadWriteAccess()) {
            const std::string& path = device->PnPInfo().DevicePath();
            if (hinted.insert(path).second) {
                if (const std::string hint = AccessHint(path); !hint.empty()) {
                    err << hint << '\n';
                }
            }
            return true;
        }
        hid::THidDevice* lent = nullptr;
        if (controller.CheckOutByIndex(lent, Idx)) {
            held.emplace_back(lent);
            lent->SetOnDataError(runtime::MakeEvent<&TWatcher::OnDataError>(this));
            lent->SetOnData(runtime::MakeEvent<&TWatcher::OnData>(this));
        }
        return true;
    }

    TDeviceInfo InfoOf(hid::THidDevice* device) const {
        const auto found = known.find(device->PnPInfo().DevInst());
        if (found != known.end()) {
            return found->second;
        }
        TDeviceInfo info;
        info.VendorID = device->Attributes().VendorID;
        info.ProductID = device->Attributes().ProductID;
        info.Path = device->PnPInfo().DevicePath();
        return info;
    }

    static std::string Origin(const TDeviceInfo& info) {
        std::string text = HexIds(info.VendorID, info.ProductID);
        if (!info.Serial.empty()) {
            text += " serial " + Quoted(info.Serial);
        }
        return text;
    }

    void OnData(hid::THidDevice* device, BYTE ReportID, const BYTE* Data, WORD Size) {
        const TDeviceInfo info = InfoOf(device);
        std::vector<BYTE> report{ReportID};
        report.insert(report.end(), Data, Data + Size);
        Emit("report", Origin(info) + ": " + HexBytes(report.data(), report.size()),
             {{"serial", info.Serial},
              {"path", info.Path},
              {"reportId", ReportID},
              {"data", HexBytes(Data, Size)}});
    }

    void OnDataError(hid::THidDevice* device, DWORD Error) {
        // A device that has gone fails its read; its removal line tells that already.
        if (Error == ERROR_DEVICE_NOT_CONNECTED || !device->IsPluggedIn()) {
            return;
        }
        const TDeviceInfo info = InfoOf(device);
        const std::string line = app::IoErrorLine("READ ERROR", Error);
        Emit("error", Origin(info) + ": " + line,
             {{"serial", info.Serial}, {"path", info.Path}, {"code", Error}, {"text", line}});
    }

    TSession& session;
    hid::THidDeviceController& controller;
    bool json = false;
    TOutput output;
    std::ostream& err;
    bool starting = false;
    // What each listed device told at its arrival, by device instance: a device that has
    // gone can no longer be asked.
    std::map<DWORD, TDeviceInfo> known;
    std::set<std::string> hinted;
    std::vector<std::unique_ptr<hid::THidDevice>> held;
};

} // namespace

int WatchDevices(TSession& session, const TArguments& arguments, std::ostream& out,
                 std::ostream& err) {
    TWatcher watcher(session, arguments, out, err);
    return watcher.Run();
}

} // namespace cli
