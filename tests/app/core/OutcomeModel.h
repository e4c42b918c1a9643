// A small reference model of what target detection and the command show: which devices
// the controller lists, which the window holds, the countdown, and the window's texts,
// colours, panels, ball, button and log (read errors aside). The soak test drives the real
// window and this model with the same events and compares them.
#pragma once

#include "SimFormFixture.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace apptest {

enum class TDeviceKind { Adapter, AdapterIdsOtherLength, Other };

class TOutcomeModel {
public:
    struct TDevice {
        TDeviceKind Kind;
        std::string Serial;
        bool Present = true;
    };

    // Returns the model's index of the new device (plug order).
    std::size_t Plug(TDeviceKind kind, const std::string& serial) {
        devices.push_back({kind, serial, true});
        return devices.size() - 1;
    }
    void Unplug(std::size_t device) { devices[device].Present = false; }

    // One message-driven reconciliation of the controller.
    void Reconcile() {
        bool changed = false;
        std::vector<std::size_t> kept;
        for (std::size_t d : listed) {
            if (devices[d].Present) {
                kept.push_back(d);
                continue;
            }
            changed = true;
            if (devices[d].Kind != TDeviceKind::Other) {
                Arm(); // the adapter's IDs leaving
            }
            if (Held(d)) {
                kept.push_back(d); // stays until the window checks it in
            }
        }
        listed = kept;
        for (std::size_t d = 0; d < devices.size(); ++d) {
            if (devices[d].Present && std::find(listed.begin(), listed.end(), d) == listed.end()) {
                listed.push_back(d);
                changed = true;
                if (!connected) {
                    Arm();
                }
            }
        }
        if (changed && timerEnabled) {
            Rebuild();
        }
    }

    void Tick() {
        if (!timerEnabled) {
            return;
        }
        if (tag > 0) {
            --tag;
            if (tag != 0) {
                return;
            }
            FindTarget();
        }
        timerEnabled = false;
    }

    // A press of "Program" whose message processing delivers pendingChange first. Returns
    // whether a write reaches the device (failing or not).
    bool Program(bool pendingChange, bool writeFails) {
        if (!view.ProgramEnabled) {
            if (pendingChange) {
                Reconcile();
            }
            return false;
        }
        view.Label = "Enable KVM Programmer...";
        view.Colour = Green;
        if (pendingChange) {
            Reconcile();
        }
        bool written = false;
        if (target) {
            written = true;
            // The outcome replaces the progress text in the status line.
            const std::string outcome = writeFails ? "WRITE ERROR: A device attached to the "
                                                     "system is not functioning (1F)"
                                                   : "KVM Programmer is enabled.";
            log.push_back(outcome);
            view.Label = outcome;
            view.Colour = writeFails ? Red : Blue;
        }
        view.ProgramEnabled = true;
        return written;
    }

    const TView& View() const { return view; }
    const TLines& Log() const { return log; }
    bool TimerEnabled() const { return timerEnabled; }
    bool Connected() const { return connected; }
    // The device the window writes to, if any.
    std::optional<std::size_t> Target() const { return target; }
    const std::vector<TDevice>& Devices() const { return devices; }

private:
    bool Held(std::size_t d) const { return std::find(held.begin(), held.end(), d) != held.end(); }

    void Arm() {
        tag = app::TMainForm::CountdownTicks;
        timerEnabled = true;
    }

    void Rebuild() {
        view.GreenBall = false;
        const bool wasScanning = view.Label == "Scanning...";
        view.Label = "Scanning...";
        view.Colour = Green;
        view.Panel1 = view.Label;
        view.Panel2.clear();
        if (!wasScanning) {
            log.push_back({});
            log.push_back("Scanning...");
        }
        view.ProgramEnabled = false;
        target.reset();
        // Check-in drops the departed held devices; the rest are lent again in slot order.
        std::erase_if(listed, [this](std::size_t d) { return !devices[d].Present; });
        held = listed;
    }

    void FindTarget() {
        connected = false;
        for (std::size_t d : held) {
            if (devices[d].Present && devices[d].Kind == TDeviceKind::Adapter) {
                view.Panel2 = "ZEM VUZ " + devices[d].Serial;
                view = {view.Panel2 + " is connected.",
                        Blue,
                        view.Panel2 + " is connected.",
                        view.Panel2,
                        true,
                        true};
                log.push_back(view.Label);
                connected = true;
                target = d;
                return;
            }
        }
        view = {"Please connect VUZ Device.",
                Red,
                "VUZ Device is not found.",
                view.Panel2,
                false,
                false};
        log.push_back(view.Panel1);
    }

    std::vector<TDevice> devices;
    std::vector<std::size_t> listed; // the controller's slots
    std::vector<std::size_t> held;   // the window's device list
    bool timerEnabled = false;
    int tag = 0;
    bool connected = false;
    std::optional<std::size_t> target;
    TView view{{}, Blue, {}, {}, false, true};
    TLines log;
};

} // namespace apptest
