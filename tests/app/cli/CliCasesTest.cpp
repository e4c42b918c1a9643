// The commands end to end through the CLI's entry point on the simulated bus: the command
// line in; standard output, standard error, the exit code and the bytes the bus took out.
#include "app/cli/Arguments.h"
#include "app/cli/Cli.h"
#include "app/cli/Interrupt.h"
#include "platform/sim/ScopedSimBus.h"
#include "tests/app/cli/UsageExitCodes.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// The cases name only the fields they set; the rest keep their defaults on purpose.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

namespace clitest {
namespace {

using platform::sim::TSimBus;
using platform::sim::TSimDeviceConfig;
using platform::sim::TSimDeviceId;
using platform::sim::TSimString;
using TBytes = std::vector<BYTE>;

const std::string HidGuid = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::string AdapterPath(const std::string& name) {
    return "\\\\?\\hid#vid_0416&pid_8249#" + name + HidGuid;
}

TSimDeviceConfig Adapter(const std::u16string& serial, const std::string& path) {
    TSimDeviceConfig adapter; // the adapter's IDs and 8-byte reports
    adapter.Manufacturer = TSimString::Present(u"ZEM");
    adapter.Product = TSimString::Present(u"VUZ Programming Adapter");
    adapter.SerialNumber = TSimString::Present(serial);
    adapter.Path = AdapterPath(path);
    return adapter;
}

// A serial that drives a terminal: ESC ] 0 ; title BEL (sets the window title), clear
// screen, carriage return, and the one-byte CSI of the C1 set.
const std::u16string HostileSerial = u"X\x1b]0;owned\x07\x1b[2J\rZ\x9b"
                                     u"2J";
const std::string EscapedSerial = "X\\u001b]0;owned\\u0007\\u001b[2J\\rZ\\u009b2J";

TSimDeviceConfig HostileAdapter(const std::string& path) {
    TSimDeviceConfig adapter = Adapter(HostileSerial, path);
    adapter.Product = TSimString::Present(u"VUZ\x1b[31m\r\nAdapter\x07");
    return adapter;
}

TSimDeviceConfig Keyboard() {
    TSimDeviceConfig keyboard;
    keyboard.VendorID = 0x046D;
    keyboard.ProductID = 0xC31C;
    keyboard.UsagePage = 0x0001;
    keyboard.Usage = 0x0006;
    keyboard.InputReportByteLength = 9;
    keyboard.OutputReportByteLength = 2;
    keyboard.Product = TSimString::Present(u"USB Keyboard");
    keyboard.SerialNumber = TSimString::Absent();
    keyboard.Access = platform::sim::TSimAccess::QueryOnly;
    keyboard.Path = "\\\\?\\hid#vid_046d&pid_c31c#kbd" + HidGuid;
    return keyboard;
}

TBytes EnableCommand(std::size_t length) {
    TBytes report(length, 0);
    report[0] = 0x05;
    report[2] = 0x02;
    return report;
}

// What a case can do to the bus, before the run and while the command waits.
class TCaseWorld {
public:
    TCaseWorld(TSimBus& bus, cli::TInterrupt& interrupt) : bus(bus), interrupt(interrupt) {}
    ~TCaseWorld() { Join(); }

    void Plug(const std::string& name, const TSimDeviceConfig& config,
              platform::sim::TBroadcast broadcast = platform::sim::TBroadcast::No) {
        devices[name] = bus.Plug(config, broadcast);
    }
    TSimDeviceId Id(const std::string& name) const { return devices.at(name); }

    // Runs steps on a thread of their own, as a device or a user acts from outside.
    void FromOutside(std::function<void()> steps) { outside = std::thread(std::move(steps)); }
    void Join() {
        if (outside.joinable()) {
            outside.join();
        }
    }

    // The run has returned.
    void Finish() {
        const std::lock_guard lock(mutex);
        finished = true;
        ended.notify_all();
    }
    // Whether the run returns within the time a command needs at most to end by itself.
    bool EndsByItself() {
        std::unique_lock lock(mutex);
        return ended.wait_for(lock, std::chrono::seconds(10), [this] { return finished; });
    }

    TSimBus& bus;
    cli::TInterrupt& interrupt;
    std::map<std::string, TSimDeviceId> devices;

private:
    std::thread outside;
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
};

using TStep = std::function<void(TCaseWorld&)>;

// Standard output that takes a number of lines, then fails every write, as a full disk, a
// closed stream or a pipe whose reader has gone (SIGPIPE ignored) does.
class TFailingOutput : public std::streambuf {
public:
    explicit TFailingOutput(std::size_t lines) : linesLeft(lines) {}
    const std::string& Text() const { return text; }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        if (linesLeft == 0) {
            return traits_type::eof();
        }
        text += traits_type::to_char_type(c);
        if (traits_type::to_char_type(c) == '\n') {
            --linesLeft;
        }
        return c;
    }

private:
    std::size_t linesLeft;
    std::string text;
};

constexpr std::size_t Unlimited = std::numeric_limits<std::size_t>::max();

struct TCliCase {
    std::string Name;
    std::vector<std::string> Args;
    TStep Before;       // the bus before the run
    TStep WhileWaiting; // once the command waits
    int ExitCode = 0;
    // Standard output fails after this many lines.
    std::size_t OutputLines = Unlimited;
    std::string Out;
    std::string Err;
    // Every write per named device; a named device not listed takes none.
    std::map<std::string, std::vector<TBytes>> Writes;
};

void PrintTo(const TCliCase& c, std::ostream* os) {
    *os << c.Name;
}

// Watch lines start with the local time of day, which depends on the time zone.
std::string WithoutTimesOfDay(const std::string& text) {
    static const std::regex time("(^|\n)[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ");
    return std::regex_replace(text, time, "$1HH:MM:SS.mmm ");
}

constexpr auto FixedTime = std::chrono::sys_days{std::chrono::year{2026} / 1 / 2} +
                           std::chrono::hours{3} + std::chrono::minutes{4} +
                           std::chrono::seconds{5} + std::chrono::milliseconds{678};

// The watch cases: the adapter arrives, sends one report and leaves, then the user stops.
TStep AdapterComesReportsAndGoesAs(TSimDeviceConfig adapter) {
    return [adapter](TCaseWorld& world) {
        world.FromOutside([&world, adapter] {
            TSimBus& bus = world.bus;
            const TSimDeviceId id = bus.Plug(adapter);
            // Borrowed by the watcher once its read is pending.
            ASSERT_TRUE(bus.WaitUntil([&] { return bus.PendingReadCount(id) > 0; }));
            bus.PushInputReport(id, {0x01, 0x2A, 0, 0, 0, 0, 0, 0x7F});
            // The read after the delivered report.
            ASSERT_TRUE(bus.WaitUntil([&] { return bus.PendingReadCount(id) > 0; }));
            bus.Unplug(id);
            world.interrupt.Request();
        });
    };
}
const TStep AdapterComesReportsAndGoes = AdapterComesReportsAndGoesAs(Adapter(u"W1", "w1"));

const std::string KeyboardLine = "046D:C31C v0100 usage 0001:0006 in 9 out 2 feature 0 product "
                                 "\"USB Keyboard\" serial - path \\\\?\\hid#vid_046d&pid_c31c#kbd" +
                                 HidGuid;
const std::string AdapterA1Line =
    "0416:8249 v0100 usage FF00:0001 in 8 out 8 feature 0 product \"VUZ Programming Adapter\" "
    "serial \"A1\" path \\\\?\\hid#vid_0416&pid_8249#a1" +
    HidGuid + " [adapter]";
const std::string AdapterW1Line =
    "0416:8249 v0100 usage FF00:0001 in 8 out 8 feature 0 product \"VUZ Programming Adapter\" "
    "serial \"W1\" path \\\\?\\hid#vid_0416&pid_8249#w1" +
    HidGuid + " [adapter]";

const TStep KeyboardOnly = [](TCaseWorld& w) {
    w.Plug("keyboard", Keyboard());
};
const TStep KeyboardAndA1 = [](TCaseWorld& w) {
    w.Plug("keyboard", Keyboard());
    w.Plug("A1", Adapter(u"A1", "a1"));
};
const TStep TwoAdapters = [](TCaseWorld& w) {
    w.Plug("A1", Adapter(u"A1", "a1"));
    w.Plug("B2", Adapter(u"B2", "b2"));
};
TStep AdapterWithOutputLength(USHORT length) {
    return [length](TCaseWorld& w) {
        TSimDeviceConfig adapter = Adapter(u"A1", "a1");
        adapter.OutputReportByteLength = length;
        w.Plug("A1", adapter);
    };
}

const TStep TwoWithTheSameSerial = [](TCaseWorld& w) {
    w.Plug("S1", Adapter(u"SAME", "s1"));
    w.Plug("S2", Adapter(u"SAME", "s2"));
};

const std::string Connected = "ZEM VUZ A1 is connected.\n";
const std::string Enabled = "KVM Programmer is enabled.\n";
const std::string CannotWrite = "vuz-cli: cannot write to standard output.\n";

// The adapter arrives while the command waits; a command that does not end by itself is
// interrupted, so that a case never hangs.
const TStep AdapterArrivesThenEndUnlessEnded = [](TCaseWorld& w) {
    w.FromOutside([&w] {
        w.Plug("A1", Adapter(u"A1", "a1"), platform::sim::TBroadcast::Yes);
        if (!w.EndsByItself()) {
            w.interrupt.Request();
        }
    });
};

// The demo's bus as --simulated sets it up: its own device instances from the first one on.
const std::string DemoKeyboardLine =
    "046D:C31C v0100 usage 0001:0006 in 9 out 2 feature 0 product \"USB Keyboard\" serial - "
    "path \\\\?\\hid#vid_046d&pid_c31c#sim257" +
    HidGuid;
const std::string DemoMouseLine = "093A:2510 v0100 usage 0001:0002 in 5 out 0 feature 0 product - "
                                  "serial - path \\\\?\\hid#vid_093a&pid_2510#sim258" +
                                  HidGuid;
const std::string DemoAdapterLine =
    "0416:8249 v0100 usage FF00:0001 in 8 out 8 feature 0 product \"VUZ Programming Adapter\" "
    "serial \"DEMO0001\" path \\\\?\\hid#vid_0416&pid_8249#sim259" +
    HidGuid + " [adapter]";
const std::string DemoListJson = R"([
  {
    "vendorId": 1133,
    "productId": 49948,
    "version": 256,
    "usagePage": 1,
    "usage": 6,
    "inputReportLength": 9,
    "outputReportLength": 2,
    "featureReportLength": 0,
    "product": "USB Keyboard",
    "serial": null,
    "path": "\\\\?\\hid#vid_046d&pid_c31c#sim257#{4d1e55b2-f16f-11cf-88cb-001111000030}",
    "adapter": false
  },
  {
    "vendorId": 2362,
    "productId": 9488,
    "version": 256,
    "usagePage": 1,
    "usage": 2,
    "inputReportLength": 5,
    "outputReportLength": 0,
    "featureReportLength": 0,
    "product": null,
    "serial": null,
    "path": "\\\\?\\hid#vid_093a&pid_2510#sim258#{4d1e55b2-f16f-11cf-88cb-001111000030}",
    "adapter": false
  },
  {
    "vendorId": 1046,
    "productId": 33353,
    "version": 256,
    "usagePage": 65280,
    "usage": 1,
    "inputReportLength": 8,
    "outputReportLength": 8,
    "featureReportLength": 0,
    "product": "VUZ Programming Adapter",
    "serial": "DEMO0001",
    "path": "\\\\?\\hid#vid_0416&pid_8249#sim259#{4d1e55b2-f16f-11cf-88cb-001111000030}",
    "adapter": true
  }
]
)";

std::vector<TCliCase> Cases() {
    return {
        // --- usage --------------------------------------------------------------------------
        {.Name = "Version", .Args = {"--version"}, .Out = "vuz-cli 1.0.0\n"},
        {.Name = "HelpGoesToStandardOutput", .Args = {"program", "--help"}, .Out = cli::Usage()},
        {.Name = "UnknownOption",
         .Args = {"program", "--force"},
         .ExitCode = 64,
         .Err = "vuz-cli: unknown option '--force'\n\n" + cli::Usage()},
        {.Name = "UnknownCommand",
         .Args = {"flash"},
         .ExitCode = 64,
         .Err = "vuz-cli: unknown command 'flash'\n\n" + cli::Usage()},
        {.Name = "NoCommand",
         .Args = {"--simulated"},
         .ExitCode = 64,
         .Err = "vuz-cli: no command given\n\n" + cli::Usage()},
        {.Name = "WaitIsNotANumber",
         .Args = {"program", "--wait", "soon"},
         .ExitCode = 64,
         .Err = "vuz-cli: --wait needs a number of seconds from 0 to 86400\n\n" + cli::Usage()},
        {.Name = "SerialWithoutValue",
         .Args = {"program", "--serial"},
         .ExitCode = 64,
         .Err = "vuz-cli: --serial needs a serial number\n\n" + cli::Usage()},
        {.Name = "SerialGoesWithProgramOnly",
         .Args = {"list", "--serial=A1"},
         .ExitCode = 64,
         .Err = "vuz-cli: --serial, --path and --wait go with program\n\n" + cli::Usage()},
        {.Name = "PathWithoutValue",
         .Args = {"program", "--path="},
         .ExitCode = 64,
         .Err = "vuz-cli: --path needs a device path\n\n" + cli::Usage()},
        {.Name = "PathGoesWithProgramOnly",
         .Args = {"watch", "--path", "/dev/hidraw0"},
         .ExitCode = 64,
         .Err = "vuz-cli: --serial, --path and --wait go with program\n\n" + cli::Usage()},

        // --- program ------------------------------------------------------------------------
        {.Name = "ProgramsTheAdapterPresent",
         .Args = {"program"},
         .Before = KeyboardAndA1,
         .Out = Connected + Enabled,
         .Writes = {{"A1", {EnableCommand(8)}}}},
        {.Name = "PadsToTheOutputReportLength",
         .Args = {"program"},
         .Before = AdapterWithOutputLength(64),
         .Out = Connected + Enabled,
         .Writes = {{"A1", {EnableCommand(64)}}}},
        {.Name = "WritesAnOutputReportOf128Bytes",
         .Args = {"program"},
         .Before = AdapterWithOutputLength(128),
         .Out = Connected + Enabled,
         .Writes = {{"A1", {EnableCommand(128)}}}},
        {.Name = "RefusesAnOutputReportAbove128Bytes",
         .Args = {"program"},
         .Before = AdapterWithOutputLength(129),
         .ExitCode = 2,
         .Out = Connected,
         .Err = "WRITE ERROR: The supplied user buffer is not valid for the requested operation "
                "(6F8)\n"},
        {.Name = "WriteFailure",
         .Args = {"program"},
         .Before =
             [](TCaseWorld& w) {
                 w.Plug("A1", Adapter(u"A1", "a1"));
                 w.bus.FailNextWrite(w.Id("A1"), ERROR_GEN_FAILURE);
             },
         .ExitCode = 2,
         .Out = Connected,
         .Err = "WRITE ERROR: A device attached to the system is not functioning (1F)\n"},
        {.Name = "NotFound",
         .Args = {"program"},
         .Before = KeyboardOnly,
         .ExitCode = 1,
         .Err = "VUZ Device is not found.\n"},
        {.Name = "TheAdapterIdsWithLongerInputReportsAreNotTheAdapter",
         .Args = {"program"},
         .Before =
             [](TCaseWorld& w) {
                 TSimDeviceConfig lookalike = Adapter(u"L1", "l1");
                 lookalike.InputReportByteLength = 64;
                 w.Plug("L1", lookalike);
             },
         .ExitCode = 1,
         .Err = "VUZ Device is not found.\n"},
        {.Name = "NotFoundWithinTheWait",
         .Args = {"program", "--wait", "0.05"},
         .Before = KeyboardOnly,
         .ExitCode = 1,
         .Err = "Waiting up to 0.05 s for the VUZ Device...\nVUZ Device is not found.\n"},
        {.Name = "ArrivesDuringTheWait",
         .Args = {"program", "--wait=30"},
         .Before = KeyboardOnly,
         .WhileWaiting =
             [](TCaseWorld& w) {
                 w.FromOutside(
                     [&w] { w.Plug("A1", Adapter(u"A1", "a1"), platform::sim::TBroadcast::Yes); });
             },
         .Out = Connected + Enabled,
         .Err = "Waiting up to 30 s for the VUZ Device...\n",
         .Writes = {{"A1", {EnableCommand(8)}}}},
        {.Name = "TwoAdaptersWithoutSerial",
         .Args = {"program"},
         .Before = TwoAdapters,
         .ExitCode = 3,
         .Err = "Several VUZ Devices are connected; choose one with --serial or --path:\n"
                "  serial \"A1\" path " +
                AdapterPath("a1") + "\n  serial \"B2\" path " + AdapterPath("b2") + "\n"},
        {.Name = "TwoAdaptersWithSerial",
         .Args = {"program", "--serial", "B2"},
         .Before = TwoAdapters,
         .Out = "ZEM VUZ B2 is connected.\n" + Enabled,
         .Writes = {{"B2", {EnableCommand(8)}}}},
        {.Name = "TwoAdaptersWithTheSameSerial",
         .Args = {"program", "--serial", "SAME"},
         .Before = TwoWithTheSameSerial,
         .ExitCode = 4,
         .Err = "Several VUZ Devices have serial SAME; choose one with --path:\n"
                "  serial \"SAME\" path " +
                AdapterPath("s1") + "\n  serial \"SAME\" path " + AdapterPath("s2") + "\n"},
        {.Name = "TwoAdaptersWithTheSameSerialAndNoSerialGiven",
         .Args = {"program"},
         .Before = TwoWithTheSameSerial,
         .ExitCode = 3,
         .Err = "Several VUZ Devices are connected; choose one with --serial or --path:\n"
                "  serial \"SAME\" path " +
                AdapterPath("s1") + "\n  serial \"SAME\" path " + AdapterPath("s2") + "\n"},
        {.Name = "PathPicksOneOfTwoWithTheSameSerial",
         .Args = {"program", "--serial", "SAME", "--path", AdapterPath("s2")},
         .Before = TwoWithTheSameSerial,
         .Out = "ZEM VUZ SAME is connected.\n" + Enabled,
         .Writes = {{"S2", {EnableCommand(8)}}}},
        {.Name = "PathAlonePicksTheAdapter",
         .Args = {"program", "--path=" + AdapterPath("b2")},
         .Before = TwoAdapters,
         .Out = "ZEM VUZ B2 is connected.\n" + Enabled,
         .Writes = {{"B2", {EnableCommand(8)}}}},
        {.Name = "PathOfADeviceThatIsNoAdapter",
         .Args = {"program", "--path", "\\\\?\\hid#vid_046d&pid_c31c#kbd" + HidGuid},
         .Before = KeyboardAndA1,
         .ExitCode = 1,
         .Err =
             "VUZ Device at path \\\\?\\hid#vid_046d&pid_c31c#kbd" + HidGuid + " is not found.\n"},
        {.Name = "SerialAndPathOfDifferentAdapters",
         .Args = {"program", "--serial", "A1", "--path", AdapterPath("b2"), "--wait", "0.05"},
         .Before = TwoAdapters,
         .ExitCode = 1,
         .Err = "Waiting up to 0.05 s for the VUZ Device with serial A1 at path " +
                AdapterPath("b2") + "...\nVUZ Device with serial A1 at path " + AdapterPath("b2") +
                " is not found.\n"},
        {.Name = "ProgramEscapesTheSerial",
         .Args = {"program"},
         .Before = [](TCaseWorld& w) { w.Plug("X", HostileAdapter("x")); },
         .Out = "ZEM VUZ " + EscapedSerial + " is connected.\n" + Enabled,
         .Writes = {{"X", {EnableCommand(8)}}}},
        {.Name = "SeveralAdaptersListEscapedSerials",
         .Args = {"program"},
         .Before =
             [](TCaseWorld& w) {
                 w.Plug("X", HostileAdapter("x"));
                 w.Plug("A1", Adapter(u"A1", "a1"));
             },
         .ExitCode = 3,
         .Err = "Several VUZ Devices are connected; choose one with --serial or --path:\n"
                "  serial \"" +
                EscapedSerial + "\" path " + AdapterPath("x") + "\n  serial \"A1\" path " +
                AdapterPath("a1") + "\n"},
        {.Name = "SerialNotPresent",
         .Args = {"program", "--serial", "C3"},
         .Before = TwoAdapters,
         .ExitCode = 1,
         .Err = "VUZ Device with serial C3 is not found.\n"},
        {.Name = "InterruptedWait",
         .Args = {"program", "--wait", "600"},
         .Before = KeyboardOnly,
         .WhileWaiting = [](TCaseWorld& w) { w.FromOutside([&w] { w.interrupt.Request(); }); },
         .ExitCode = 130,
         .Err = "Waiting up to 600 s for the VUZ Device...\nInterrupted.\n"},

        // --- standard output fails -------------------------------------------------------------
        {.Name = "HelpToAFailingOutput",
         .Args = {"--help"},
         .ExitCode = 74,
         .OutputLines = 0,
         .Err = CannotWrite},
        {.Name = "ListStopsAtTheFirstFailedLine",
         .Args = {"list"},
         .Before = KeyboardAndA1,
         .ExitCode = 74,
         .OutputLines = 1,
         .Out = KeyboardLine + "\n",
         .Err = CannotWrite},
        {.Name = "ListJsonToAFailingOutput",
         .Args = {"list", "--json"},
         .Before = KeyboardAndA1,
         .ExitCode = 74,
         .OutputLines = 0,
         .Err = CannotWrite},
        {.Name = "ProgramWritesNothingToTheAdapterWhenOutputFails",
         .Args = {"program"},
         .Before = KeyboardAndA1,
         .ExitCode = 74,
         .OutputLines = 0,
         .Err = CannotWrite},
        {.Name = "ProgramOutputFailsAfterTheReport",
         .Args = {"program"},
         .Before = KeyboardAndA1,
         .ExitCode = 74,
         .OutputLines = 1,
         .Out = Connected,
         .Err = CannotWrite,
         .Writes = {{"A1", {EnableCommand(8)}}}},
        {.Name = "WatchEndsWhenOutputFails",
         .Args = {"watch"},
         .Before = KeyboardOnly,
         .WhileWaiting = AdapterArrivesThenEndUnlessEnded,
         .ExitCode = 74,
         .OutputLines = 1,
         .Out = "HH:MM:SS.mmm present " + KeyboardLine + "\n",
         .Err = CannotWrite},

        // --- list ---------------------------------------------------------------------------
        {.Name = "ListMarksTheAdapter",
         .Args = {"list"},
         .Before = KeyboardAndA1,
         .Out = KeyboardLine + "\n" + AdapterA1Line + "\n"},
        {.Name = "ListJson", .Args = {"list", "--json"}, .Before = KeyboardAndA1, .Out = R"([
  {
    "vendorId": 1133,
    "productId": 49948,
    "version": 256,
    "usagePage": 1,
    "usage": 6,
    "inputReportLength": 9,
    "outputReportLength": 2,
    "featureReportLength": 0,
    "product": "USB Keyboard",
    "serial": null,
    "path": "\\\\?\\hid#vid_046d&pid_c31c#kbd#{4d1e55b2-f16f-11cf-88cb-001111000030}",
    "adapter": false
  },
  {
    "vendorId": 1046,
    "productId": 33353,
    "version": 256,
    "usagePage": 65280,
    "usage": 1,
    "inputReportLength": 8,
    "outputReportLength": 8,
    "featureReportLength": 0,
    "product": "VUZ Programming Adapter",
    "serial": "A1",
    "path": "\\\\?\\hid#vid_0416&pid_8249#a1#{4d1e55b2-f16f-11cf-88cb-001111000030}",
    "adapter": true
  }
]
)"},
        {.Name = "ListNothing", .Args = {"list", "--json"}, .Out = "[]\n"},

        // --- watch --------------------------------------------------------------------------
        {.Name = "WatchText",
         .Args = {"watch"},
         .Before = KeyboardOnly,
         .WhileWaiting = AdapterComesReportsAndGoes,
         .ExitCode = 130,
         .Out = "HH:MM:SS.mmm present " + KeyboardLine + "\n" + "HH:MM:SS.mmm arrival " +
                AdapterW1Line + "\n" +
                "HH:MM:SS.mmm report  0416:8249 serial \"W1\": 01 2A 00 00 00 00 00 7F\n" +
                "HH:MM:SS.mmm removal " + AdapterW1Line + "\n"},
        {.Name = "WatchJson",
         .Args = {"watch", "--json"},
         .WhileWaiting = AdapterComesReportsAndGoes,
         .ExitCode = 130,
         .Out =
             R"({"time":"2026-01-02T03:04:05.678Z","event":"arrival","vendorId":1046,"productId":33353,"version":256,"usagePage":65280,"usage":1,"inputReportLength":8,"outputReportLength":8,"featureReportLength":0,"product":"VUZ Programming Adapter","serial":"W1","path":"\\\\?\\hid#vid_0416&pid_8249#w1#{4d1e55b2-f16f-11cf-88cb-001111000030}","adapter":true}
{"time":"2026-01-02T03:04:05.678Z","event":"report","serial":"W1","path":"\\\\?\\hid#vid_0416&pid_8249#w1#{4d1e55b2-f16f-11cf-88cb-001111000030}","reportId":1,"data":"2A 00 00 00 00 00 7F"}
{"time":"2026-01-02T03:04:05.678Z","event":"removal","vendorId":1046,"productId":33353,"version":256,"usagePage":65280,"usage":1,"inputReportLength":8,"outputReportLength":8,"featureReportLength":0,"product":"VUZ Programming Adapter","serial":"W1","path":"\\\\?\\hid#vid_0416&pid_8249#w1#{4d1e55b2-f16f-11cf-88cb-001111000030}","adapter":true}
)"},

        // --- the demo's bus -----------------------------------------------------------------
        {.Name = "SimulatedAdapterArrivesDuringTheWait",
         .Args = {"--simulated", "program", "--wait", "5"},
         .Out = "ZEM VUZ DEMO0001 is connected.\n" + Enabled,
         .Err = "Waiting up to 5 s for the VUZ Device...\n"},
        {.Name = "SimulatedAdapterIsNotThereAtOnce",
         .Args = {"program", "--simulated"},
         .ExitCode = 1,
         .Err = "VUZ Device is not found.\n"},
        // list shows what the user is told the simulation has: it waits for the adapter.
        {.Name = "SimulatedListShowsTheAdapter",
         .Args = {"--simulated", "list"},
         .Out = DemoKeyboardLine + "\n" + DemoMouseLine + "\n" + DemoAdapterLine + "\n"},
        {.Name = "SimulatedListJsonShowsTheAdapter",
         .Args = {"--simulated", "list", "--json"},
         .Out = DemoListJson},
        {.Name = "SimulatedListInterruptedWhileTheAdapterIsAwaited",
         .Args = {"--simulated", "list"},
         .WhileWaiting = [](TCaseWorld& w) { w.FromOutside([&w] { w.interrupt.Request(); }); },
         .ExitCode = 130,
         .Err = "Interrupted.\n"},
    };
}

struct TRunResult {
    int Code = 0;
    std::string Out;
    std::string Err;
    int Waits = 0;
};

// Runs the case's command line on the world's bus, its steps at their places.
TRunResult RunIn(TCaseWorld& world, const TCliCase& c) {
    if (c.Before) {
        c.Before(world);
    }
    cli::TCliContext context;
    context.Services = cli::TServicesChoice::Installed;
    context.Interrupt = &world.interrupt;
    context.Clock = [] {
        return std::chrono::system_clock::time_point(FixedTime);
    };
    TRunResult result;
    context.OnWaiting = [&] {
        ++result.Waits;
        if (c.WhileWaiting) {
            c.WhileWaiting(world);
        }
    };

    TFailingOutput outBuffer(c.OutputLines);
    std::ostream out(&outBuffer);
    std::ostringstream err;
    result.Code = cli::RunCli(c.Args, out, err, context);
    world.Finish();
    world.Join();
    result.Out = outBuffer.Text();
    result.Err = err.str();
    return result;
}

class CliCases : public testing::TestWithParam<TCliCase> {};

TEST_P(CliCases, Run) {
    const TCliCase& c = GetParam();
    platform::sim::TScopedSimBus sim;
    cli::TInterrupt interrupt;
    TCaseWorld world(sim.Bus(), interrupt);
    const TRunResult run = RunIn(world, c);

    EXPECT_EQ(WithoutTimesOfDay(run.Out), c.Out);
    EXPECT_EQ(run.Err, c.Err);
    EXPECT_EQ(run.Code, c.ExitCode);
    EXPECT_TRUE(UsageExitCodes().contains(run.Code)) << "--help does not list " << run.Code;
    if (c.WhileWaiting) {
        EXPECT_EQ(run.Waits, 1) << "the command never waited";
    }
    for (const auto& [name, id] : world.devices) {
        const auto expected = c.Writes.find(name);
        EXPECT_EQ(sim->Writes(id),
                  expected == c.Writes.end() ? std::vector<TBytes>{} : expected->second)
            << name;
    }
    // A clean stop: nothing left open or bound, no misuse of the platform.
    EXPECT_THAT(sim->Violations(), testing::IsEmpty());
    EXPECT_THAT(sim->Leaks(), testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Commands, CliCases, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<TCliCase>& info) {
                             return info.param.Name;
                         });

// Whatever a device's strings hold, no control character but the line feed reaches the
// terminal: none of C0, DEL, C1 (U+0080 to U+009F, two bytes in UTF-8).
std::string RawControls(const std::string& text) {
    std::string found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1) {
            found += "@" + std::to_string(i) + " ";
        }
    }
    return found;
}

class HostileDeviceStrings : public testing::TestWithParam<TCliCase> {};

TEST_P(HostileDeviceStrings, ReachTheTerminalEscaped) {
    platform::sim::TScopedSimBus sim;
    cli::TInterrupt interrupt;
    TCaseWorld world(sim.Bus(), interrupt);
    const TRunResult run = RunIn(world, GetParam());
    EXPECT_EQ(RawControls(run.Out), "") << run.Out;
    EXPECT_EQ(RawControls(run.Err), "") << run.Err;
    EXPECT_THAT(run.Out + run.Err, testing::HasSubstr(EscapedSerial));
    EXPECT_EQ(run.Code, GetParam().ExitCode);
    EXPECT_TRUE(UsageExitCodes().contains(run.Code)) << "--help does not list " << run.Code;
}

const TStep HostileAdapterPresent = [](TCaseWorld& w) {
    w.Plug("keyboard", Keyboard());
    w.Plug("X", HostileAdapter("x"));
};

INSTANTIATE_TEST_SUITE_P(
    Commands, HostileDeviceStrings,
    testing::Values(
        TCliCase{.Name = "List", .Args = {"list"}, .Before = HostileAdapterPresent},
        TCliCase{.Name = "ListJson", .Args = {"list", "--json"}, .Before = HostileAdapterPresent},
        TCliCase{.Name = "Program", .Args = {"program"}, .Before = HostileAdapterPresent},
        TCliCase{.Name = "SeveralAdapters",
                 .Args = {"program"},
                 .Before =
                     [](TCaseWorld& w) {
                         w.Plug("X", HostileAdapter("x"));
                         w.Plug("Y", HostileAdapter("y"));
                     },
                 .ExitCode = 3},
        TCliCase{.Name = "SameSerial",
                 .Args = {"program", "--serial",
                          "X\x1b]0;owned\x07\x1b[2J\rZ\xC2\x9B"
                          "2J"},
                 .Before =
                     [](TCaseWorld& w) {
                         w.Plug("X", HostileAdapter("x"));
                         w.Plug("Y", HostileAdapter("y"));
                     },
                 .ExitCode = 4},
        TCliCase{.Name = "Watch",
                 .Args = {"watch"},
                 .WhileWaiting = AdapterComesReportsAndGoesAs(HostileAdapter("x")),
                 .ExitCode = 130},
        TCliCase{.Name = "WatchJson",
                 .Args = {"watch", "--json"},
                 .WhileWaiting = AdapterComesReportsAndGoesAs(HostileAdapter("x")),
                 .ExitCode = 130}),
    [](const testing::TestParamInfo<TCliCase>& info) { return info.param.Name; });

} // namespace
} // namespace clitest
