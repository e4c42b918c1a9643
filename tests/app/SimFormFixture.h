// A window on a fresh simulated HID bus: devices to plug, the window's visible state in one
// record, ticks by calling the tick handler, and the bus checked for misuse and leaks once
// the window is gone.
#pragma once

#include "app/MainForm.h"
#include "platform/sim/ScopedSimBus.h"
#include "runtime/Pump.h"

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>

namespace apptest {

using platform::sim::TBroadcast;
using platform::sim::TSimDeviceId;
using platform::sim::TSimDeviceConfig;
using platform::sim::TSimString;

inline const QColor Green(0, 128, 0);
inline const QColor Blue(0, 0, 255);
inline const QColor Red(255, 0, 0);

// What the operator sees.
struct TView {
    QString Label;
    QColor Colour;
    QString Panel1;
    QString Panel2;
    bool GreenBall = false;
    bool ProgramEnabled = false;

    friend bool operator==(const TView&, const TView&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TView& v) {
        return out << "{\"" << v.Label.toStdString() << "\" " << v.Colour.name().toStdString()
                   << " p1=\"" << v.Panel1.toStdString() << "\" p2=\"" << v.Panel2.toStdString()
                   << "\" " << (v.GreenBall ? "green" : "grey") << " "
                   << (v.ProgramEnabled ? "enabled" : "disabled") << "}";
    }
};

inline TView ScanningView() {
    return {QStringLiteral("Scanning..."), Green, QStringLiteral("Scanning..."), {}, false, false};
}
inline TView ConnectedView(const QString& serial) {
    const QString name = QStringLiteral("ZEM VUZ ") + serial;
    return {name + " is connected.", Blue, name + " is connected.", name, true, true};
}
inline TView NotFoundView() {
    return {QStringLiteral("Please connect VUZ Device."),
            Red,
            QStringLiteral("VUZ Device is not found."),
            {},
            false,
            false};
}

// The adapter's IDs and report lengths with the given serial number.
inline TSimDeviceConfig Adapter(std::u16string serial = u"VUZ0001") {
    TSimDeviceConfig device;
    device.Product = TSimString::Present(u"VUZ Programming Adapter");
    device.SerialNumber = TSimString::Present(std::move(serial));
    return device;
}

inline TSimDeviceConfig OtherDevice(USHORT vendor = 0x046D, USHORT product = 0xC31C) {
    TSimDeviceConfig device;
    device.VendorID = vendor;
    device.ProductID = product;
    device.Product = TSimString::Present(u"USB Keyboard");
    device.SerialNumber = TSimString::Absent();
    return device;
}

// Read errors of an adapter that was just pulled may or may not reach the log before the
// window rebuilds its list; comparisons that do not expect them leave them out.
inline QStringList WithoutReadErrors(const QStringList& lines) {
    QStringList kept;
    for (const QString& line : lines) {
        if (!line.startsWith(QStringLiteral("READ ERROR: "))) {
            kept << line;
        }
    }
    return kept;
}

class SimFormTest : public testing::Test {
protected:
    ~SimFormTest() override = default;

    void TearDown() override {
        form.reset();
        // Nothing queued for the main thread may outlive this test's bus.
        Serve();
        EXPECT_THAT(sim->Violations(), testing::IsEmpty());
        EXPECT_THAT(sim->Leaks(), testing::IsEmpty());
    }

    platform::sim::TSimBus& Bus() { return sim.Bus(); }

    // Creates the window on the devices plugged so far and activates it, as the first
    // showing does; then lets the message loop deliver what is waiting.
    void Start() {
        CreateForm();
        form->FormActivate(form.get());
        Serve();
    }
    void CreateForm() { form = std::make_unique<TMainForm>(); }

    // Plugs a device that is there before the window starts.
    TSimDeviceId PlugQuietly(TSimDeviceConfig device) {
        return Bus().Plug(std::move(device), TBroadcast::No);
    }
    // Plugs or unplugs a device and lets the window handle the notification.
    TSimDeviceId Plug(TSimDeviceConfig device) {
        const TSimDeviceId id = Bus().Plug(std::move(device));
        Serve();
        return id;
    }
    void Unplug(TSimDeviceId id) {
        Bus().Unplug(id);
        Serve();
    }

    // Runs every call waiting for the main thread (device-change messages, hand-overs).
    static void Serve() { runtime::PumpPending(); }

    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            form->CheckTargetTimerTimer(&form->CheckTargetTimer());
        }
    }
    // Ticks until the countdown has ended (at most its length).
    void TickOut() {
        for (int i = 0; i < TMainForm::CountdownTicks && form->CheckTargetTimer().Enabled(); ++i) {
            Tick();
        }
    }

    TView View() const {
        const QImage ball = form->ConnectBallImage()->pixmap().toImage();
        return {form->StatusLabel()->text(),
                form->StatusLabel()->palette().color(QPalette::WindowText),
                form->StatusPanel(1)->text(),
                form->StatusPanel(2)->text(),
                ball == form->Green_Image()->pixmap().toImage(),
                form->InProgButton()->isEnabled()};
    }

    QStringList Log() const {
        QStringList lines;
        for (int row = 0; row < form->HistoryListBox()->count(); ++row) {
            lines << form->HistoryListBox()->item(row)->text();
        }
        return lines;
    }

    QStringList DeviceList() const {
        QStringList lines;
        for (int row = 0; row < form->DevListBox()->count(); ++row) {
            lines << form->DevListBox()->item(row)->text();
        }
        return lines;
    }

    bool ReadThreadRuns() const {
        return form->TargetDevice() != nullptr && form->TargetDevice()->HasReadThread();
    }

    platform::sim::TScopedSimBus sim;
    std::unique_ptr<TMainForm> form;
};

} // namespace apptest

// gtest prints QStrings readably.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& lines, std::ostream* out) {
    *out << '[';
    for (const QString& line : lines) {
        *out << '"' << line.toStdString() << "\" ";
    }
    *out << ']';
}
