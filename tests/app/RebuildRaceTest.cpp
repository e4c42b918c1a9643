// A device change that arrives while the window rebuilds its list: stopping the held
// adapter's read thread must not deliver the waiting notification inside the rebuild, where
// the controller would drop it.
#include "SimFormFixture.h"

#include <QAbstractItemModel>
#include <QModelIndex>

namespace apptest {
namespace {

class RebuildRaceTest : public SimFormTest {};

// A flaky cable, a USB reset or the switch coming back: the adapter returns at the moment
// the log shows "Scanning...", while its read thread still runs.
TEST_F(RebuildRaceTest, AnAdapterBackDuringTheRebuildEndsConnected) {
    Start();
    const TSimDeviceId adapter = Plug(Adapter(u"FLAKY1"));
    TickOut();
    ASSERT_EQ(View(), ConnectedView(QStringLiteral("FLAKY1")));
    ASSERT_TRUE(ReadThreadRuns());

    bool pluggedBack = false;
    bool threadRanThen = false;
    QAbstractItemModel* log = form->HistoryListBox()->model();
    QObject::connect(log, &QAbstractItemModel::rowsInserted, form.get(),
                     [&](const QModelIndex& /*parent*/, int first, int /*last*/) {
                         if (pluggedBack ||
                             log->index(first, 0).data().toString() != "Scanning...") {
                             return;
                         }
                         pluggedBack = true;
                         threadRanThen = ReadThreadRuns();
                         Bus().Plug(Adapter(u"FLAKY1"));
                     });

    Unplug(adapter);
    ASSERT_TRUE(pluggedBack);
    EXPECT_TRUE(threadRanThen);

    TickOut();
    EXPECT_EQ(View(), ConnectedView(QStringLiteral("FLAKY1")));
    EXPECT_TRUE(ReadThreadRuns());
    EXPECT_EQ(WithoutReadErrors(Log()).mid(3),
              (QStringList{QString(), QStringLiteral("Scanning..."),
                           QStringLiteral("ZEM VUZ FLAKY1 is connected.")}));
}

} // namespace
} // namespace apptest
