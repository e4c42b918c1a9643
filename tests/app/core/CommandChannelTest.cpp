#include "SimFormFixture.h"

#include <vector>

namespace apptest {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::string Progress = "Enable KVM Programmer...";
const std::string Enabled = "KVM Programmer is enabled.";

class CommandChannelTest : public SimFormTest {
protected:
    // Starts with the adapter found; returns its id.
    TSimDeviceId StartConnected(TSimDeviceConfig adapter = Adapter()) {
        const TSimDeviceId id = PlugQuietly(std::move(adapter));
        Start();
        TickOut();
        EXPECT_TRUE(form->Connected());
        return id;
    }

    // The status line as a write leaves it: the outcome replaces the progress text; panels,
    // ball and button as before.
    static TView AfterCommand(TView before, const std::string& outcome = Enabled,
                              app::TRgb colour = Blue) {
        before.Label = outcome;
        before.Colour = colour;
        return before;
    }
};

std::vector<BYTE> EnableReport(std::size_t length) {
    std::vector<BYTE> report(length, 0);
    const BYTE head[] = {0x05, 0x00, 0x02};
    for (std::size_t i = 0; i < length && i < 3; ++i) {
        report[i] = head[i];
    }
    return report;
}

class ReportLengthTest : public CommandChannelTest, public testing::WithParamInterface<USHORT> {};

TEST_P(ReportLengthTest, ProgramWritesTheWholeOutputReport) {
    TSimDeviceConfig adapter = Adapter();
    adapter.OutputReportByteLength = GetParam();
    const TSimDeviceId id = StartConnected(adapter);
    const TView connected = View();

    PressProgram();

    EXPECT_THAT(Bus().Writes(id), ElementsAre(EnableReport(GetParam())));
    EXPECT_EQ(View(), AfterCommand(connected));
    EXPECT_EQ(Log().back(), Enabled);
    EXPECT_EQ(form->EnableProgrammer(), 0);
    EXPECT_EQ(Bus().Writes(id).size(), 2U);
}

std::string LengthName(const testing::TestParamInfo<USHORT>& info) {
    return "Length" + std::to_string(info.param);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ReportLengthTest, testing::Values(8, 3, 64, 128), LengthName);

TEST_F(CommandChannelTest, TheAdaptersReportIs050002AndZeros) {
    const TSimDeviceId id = StartConnected();
    PressProgram();
    EXPECT_THAT(Bus().Writes(id),
                ElementsAre(std::vector<BYTE>{0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

class OversizedReportTest : public CommandChannelTest,
                            public testing::WithParamInterface<USHORT> {};

TEST_P(OversizedReportTest, AReportLongerThanTheBufferIsRefusedAndLogged) {
    TSimDeviceConfig adapter = Adapter();
    adapter.OutputReportByteLength = GetParam();
    const TSimDeviceId id = StartConnected(adapter);

    EXPECT_EQ(form->EnableProgrammer(), -1);

    EXPECT_THAT(Bus().Writes(id), IsEmpty());
    const std::string error = "WRITE ERROR: The supplied user buffer is not valid "
                              "for the requested operation (6F8)";
    EXPECT_EQ(Log().back(), error);
    EXPECT_EQ(view.StatusText, error);
    EXPECT_EQ(view.StatusColour, Red);
}

INSTANTIATE_TEST_SUITE_P(Lengths, OversizedReportTest, testing::Values(129, 512, 65535),
                         LengthName);

TEST_F(CommandChannelTest, WithNoDeviceAtAllProgramShowsProgressAndWritesNothing) {
    Start(); // nothing to find: the button keeps its design state
    ASSERT_TRUE(view.ProgramEnabled);

    PressProgram();

    EXPECT_EQ(View(), (TView{Progress, Green, {}, {}, false, true}));
    EXPECT_TRUE(Log().empty());
}

TEST_F(CommandChannelTest, BeforeTheSearchHasFoundTheAdapterNothingIsWritten) {
    const TSimDeviceId id = PlugQuietly(Adapter());
    Start(); // scanning: the search has not run yet
    const TLines log = Log();

    EXPECT_EQ(form->EnableProgrammer(), -1);

    EXPECT_THAT(Bus().Writes(id), IsEmpty());
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(view.StatusText, Progress);
}

TEST_F(CommandChannelTest, AfterExitNothingIsWritten) {
    const TSimDeviceId id = StartConnected();
    form->ExitButtonClick(nullptr);
    EXPECT_TRUE(view.Closed);
    const TLines log = Log();

    EXPECT_EQ(form->EnableProgrammer(), -1);
    EXPECT_THAT(Bus().Writes(id), IsEmpty());
    EXPECT_EQ(Log(), log);
}

TEST_F(CommandChannelTest, AFailedWriteIsLoggedWithTheSystemText) {
    const TSimDeviceId id = StartConnected();
    const TView connected = View();
    Bus().FailNextWrite(id, ERROR_GEN_FAILURE);

    EXPECT_EQ(form->EnableProgrammer(), -1);

    const std::string error =
        "WRITE ERROR: A device attached to the system is not functioning (1F)";
    EXPECT_EQ(Log().back(), error);
    EXPECT_THAT(Log(), testing::Not(testing::Contains(Enabled)));
    EXPECT_EQ(View(), AfterCommand(connected, error, Red));
    // The next press goes through.
    EXPECT_EQ(form->EnableProgrammer(), 0);
    EXPECT_EQ(Bus().Writes(id).size(), 1U);
    EXPECT_EQ(View(), AfterCommand(connected));
}

// After either outcome, the next rebuild brings back the usual texts.
class OutcomeThenRebuildTest : public CommandChannelTest,
                               public testing::WithParamInterface<bool> {};

TEST_P(OutcomeThenRebuildTest, TheUsualTextsTakeOverOnTheNextDeviceChange) {
    const bool writeFails = GetParam();
    const TSimDeviceId id = StartConnected();
    if (writeFails) {
        Bus().FailNextWrite(id, ERROR_GEN_FAILURE);
    }
    PressProgram();
    ASSERT_EQ(view.StatusColour, writeFails ? Red : Blue);
    const std::size_t logged = Log().size();

    Unplug(id);
    EXPECT_EQ(View(), ScanningView());
    EXPECT_EQ(From(WithoutReadErrors(Log()), logged), (TLines{std::string(), "Scanning..."}));
    TickOut();
    EXPECT_EQ(View(), NotFoundView());

    Plug(Adapter(u"VUZ0002"));
    TickOut();
    EXPECT_EQ(View(), ConnectedView("VUZ0002"));
}

INSTANTIATE_TEST_SUITE_P(Outcomes, OutcomeThenRebuildTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "FailedWrite" : "Written";
                         });

TEST_F(CommandChannelTest, AReadErrorIsLogged) {
    const TSimDeviceId id = StartConnected();
    ASSERT_TRUE(ReadThreadRuns());
    Bus().FailNextReadStart(id, ERROR_NOT_ENOUGH_MEMORY);
    // The pending read completes; the next one fails to start.
    Bus().PushInputReport(id, {0x01, 0x02});

    const std::string line =
        ("READ ERROR: Not enough memory resources are available to process this command (8)");
    EXPECT_TRUE(runtime::PumpUntil([&] { return CountContaining(Log(), line) > 0; }));
    EXPECT_EQ(CountContaining(Log(), line), 1U);
    EXPECT_EQ(View(), ConnectedView("VUZ0001"));
}

TEST_F(CommandChannelTest, InputReportsAreConsumedWithoutAnyVisibleEffect) {
    const TSimDeviceId id = StartConnected();
    const TView connected = View();
    const TLines log = Log();

    for (BYTE i = 0; i < 5; ++i) {
        Bus().PushInputReport(id, {0x01, i});
    }
    EXPECT_TRUE(runtime::PumpUntil(
        [&] { return Bus().QueuedInputReportCount(id) == 0 && Bus().PendingReadCount(id) == 1; }));

    EXPECT_EQ(View(), connected);
    EXPECT_EQ(Log(), log);
}

TEST_F(CommandChannelTest, AnAdapterPulledWhileTheCommandWaitsIsNotWritten) {
    const TSimDeviceId id = StartConnected();
    const TLines before = Log();
    // The notification waits in the queue; the command's message processing delivers it.
    Bus().Unplug(id);

    PressProgram();

    EXPECT_THAT(Bus().Writes(id), IsEmpty());
    EXPECT_EQ(form->TargetDevice(), nullptr);
    EXPECT_EQ(view.StatusText, "Scanning...");
    EXPECT_TRUE(view.ProgramEnabled) << "enabled again by the click handler";
    // The label read the progress text, so the scan is logged; no write error.
    EXPECT_EQ(From(WithoutReadErrors(Log()), before.size()),
              (TLines{std::string(), "Scanning..."}));

    TickOut();
    EXPECT_EQ(View(), NotFoundView());
}

} // namespace
} // namespace apptest
