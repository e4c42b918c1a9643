#include "SimFormFixture.h"

#include <vector>

namespace apptest {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const QString Progress = QStringLiteral("Enable KVM Programmer...");
const QString Enabled = QStringLiteral("KVM Programmer is enabled.");

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

    // The label as the command leaves it; panels, ball and button as before.
    TView AfterCommand(TView before) const {
        before.Label = Progress;
        before.Colour = Green;
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

    form->InProgButton()->click();

    EXPECT_THAT(Bus().Writes(id), ElementsAre(EnableReport(GetParam())));
    EXPECT_EQ(View(), AfterCommand(connected));
    EXPECT_EQ(Log().back(), Enabled);
    EXPECT_EQ(form->EnableProgrammer(), 0);
    EXPECT_EQ(Bus().Writes(id).size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ReportLengthTest, testing::Values(8, 3, 64, 128));

TEST_F(CommandChannelTest, TheAdaptersReportIs050002AndZeros) {
    const TSimDeviceId id = StartConnected();
    form->InProgButton()->click();
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
    EXPECT_EQ(Log().back(), QStringLiteral("WRITE ERROR: The supplied user buffer is not valid "
                                           "for the requested operation (6F8)"));
}

INSTANTIATE_TEST_SUITE_P(Lengths, OversizedReportTest, testing::Values(129, 512, 65535));

TEST_F(CommandChannelTest, WithNoDeviceAtAllProgramShowsProgressAndWritesNothing) {
    Start(); // nothing to find: the button keeps its design state
    ASSERT_TRUE(form->InProgButton()->isEnabled());

    form->InProgButton()->click();

    EXPECT_EQ(View(), (TView{Progress, Green, {}, {}, false, true}));
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(CommandChannelTest, BeforeTheSearchHasFoundTheAdapterNothingIsWritten) {
    const TSimDeviceId id = PlugQuietly(Adapter());
    Start(); // scanning: the search has not run yet
    const QStringList log = Log();

    EXPECT_EQ(form->EnableProgrammer(), -1);

    EXPECT_THAT(Bus().Writes(id), IsEmpty());
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(form->StatusLabel()->text(), Progress);
}

TEST_F(CommandChannelTest, AfterExitNothingIsWritten) {
    const TSimDeviceId id = StartConnected();
    form->show();
    form->ExitButton()->click();
    const QStringList log = Log();

    EXPECT_EQ(form->EnableProgrammer(), -1);
    EXPECT_THAT(Bus().Writes(id), IsEmpty());
    EXPECT_EQ(Log(), log);
}

TEST_F(CommandChannelTest, AFailedWriteIsLoggedWithTheSystemText) {
    const TSimDeviceId id = StartConnected();
    const TView connected = View();
    Bus().FailNextWrite(id, ERROR_GEN_FAILURE);

    EXPECT_EQ(form->EnableProgrammer(), -1);

    EXPECT_EQ(
        Log().back(),
        QStringLiteral("WRITE ERROR: A device attached to the system is not functioning (1F)"));
    EXPECT_FALSE(Log().contains(Enabled));
    EXPECT_EQ(View(), AfterCommand(connected));
    // The next press goes through.
    EXPECT_EQ(form->EnableProgrammer(), 0);
    EXPECT_EQ(Bus().Writes(id).size(), 1U);
}

TEST_F(CommandChannelTest, AReadErrorIsLogged) {
    const TSimDeviceId id = StartConnected();
    ASSERT_TRUE(ReadThreadRuns());
    Bus().FailNextReadStart(id, ERROR_NOT_ENOUGH_MEMORY);
    // The pending read completes; the next one fails to start.
    Bus().PushInputReport(id, {0x01, 0x02});

    const QString line = QStringLiteral(
        "READ ERROR: Not enough memory resources are available to process this command (8)");
    EXPECT_TRUE(runtime::PumpUntil([&] { return Log().contains(line); }));
    EXPECT_EQ(Log().count(line), 1);
    EXPECT_EQ(View(), ConnectedView(QStringLiteral("VUZ0001")));
}

TEST_F(CommandChannelTest, InputReportsAreConsumedWithoutAnyVisibleEffect) {
    const TSimDeviceId id = StartConnected();
    const TView connected = View();
    const QStringList log = Log();

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
    const QStringList before = Log();
    // The notification waits in the queue; the command's message processing delivers it.
    Bus().Unplug(id);

    form->InProgButton()->click();

    EXPECT_THAT(Bus().Writes(id), IsEmpty());
    EXPECT_EQ(form->TargetDevice(), nullptr);
    EXPECT_EQ(form->StatusLabel()->text(), QStringLiteral("Scanning..."));
    EXPECT_TRUE(form->InProgButton()->isEnabled()) << "enabled again by the click handler";
    // The label read the progress text, so the scan is logged; no write error.
    EXPECT_EQ(WithoutReadErrors(Log()).mid(before.size()),
              (QStringList{QString(), QStringLiteral("Scanning...")}));

    TickOut();
    EXPECT_EQ(View(), NotFoundView());
}

} // namespace
} // namespace apptest
