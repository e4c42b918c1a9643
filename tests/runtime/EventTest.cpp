#include "runtime/Event.h"

#include "runtime/Component.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace runtime::test {
namespace {

// Shaped like a device and its handlers: events with several arguments and a result.
class TDevice {};

using TDevPlugEvent = TMethodEvent<void(TDevice* HidDev)>;
using TDevEnumerateEvent = TMethodEvent<bool(TDevice* HidDev, int Idx)>;
using TDevDataEvent = TMethodEvent<void(TDevice* HidDev, unsigned char ReportID,
                                        const unsigned char* Data, unsigned short Size)>;

class TForm {
public:
    explicit TForm(std::string name) : name_(std::move(name)) {}

    void Arrival(TDevice* dev) { log.push_back(name_ + " arrival " + Id(dev)); }
    void Removal(TDevice* dev) { log.push_back(name_ + " removal " + Id(dev)); }
    bool Enumerate(TDevice* /*dev*/, int idx) { return idx < limit; }
    void Data(TDevice* /*dev*/, unsigned char reportId, const unsigned char* data,
              unsigned short size) {
        received.assign(data, data + size);
        lastReportId = reportId;
    }
    void Changed(TComponent* sender) { log.push_back(name_ + " changed by " + sender->Name()); }
    [[nodiscard]] int Limit() const { return limit; }

    std::vector<std::string> log;
    std::vector<unsigned char> received;
    unsigned char lastReportId = 0;
    int limit = 2;

private:
    static std::string Id(TDevice* dev) { return dev != nullptr ? "dev" : "none"; }
    std::string name_;
};

TForm formA("A");
TForm formB("B");

struct EqualityCase {
    const char* name;
    TDevPlugEvent lhs;
    TDevPlugEvent rhs;
    bool equal;
};

void PrintTo(const EqualityCase& c, std::ostream* out) {
    *out << c.name;
}

class EventEquality : public ::testing::TestWithParam<EqualityCase> {};

TEST_P(EventEquality, ComparesByCodePointerAlone) {
    const auto& c = GetParam();
    EXPECT_EQ(c.lhs == c.rhs, c.equal);
    EXPECT_EQ(c.rhs == c.lhs, c.equal);
    EXPECT_EQ(c.lhs != c.rhs, !c.equal);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, EventEquality,
    ::testing::Values(
        EqualityCase{"SameMethodSameObject", MakeEvent<&TForm::Arrival>(formA),
                     MakeEvent<&TForm::Arrival>(formA), true},
        EqualityCase{"SameMethodOtherObject", MakeEvent<&TForm::Arrival>(formA),
                     MakeEvent<&TForm::Arrival>(formB), true},
        EqualityCase{"OtherMethodSameObject", MakeEvent<&TForm::Arrival>(formA),
                     MakeEvent<&TForm::Removal>(formA), false},
        EqualityCase{"AssignedAndUnassigned", MakeEvent<&TForm::Arrival>(formA), nullptr, false},
        EqualityCase{"BothUnassigned", TDevPlugEvent{}, nullptr, true},
        EqualityCase{"UnassignedCodeWithObject", TDevPlugEvent(nullptr, &formA), nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EventTest, AssignedWhenTheCodePointerIsSet) {
    EXPECT_FALSE(TDevPlugEvent{}.Assigned());
    EXPECT_FALSE(TDevPlugEvent(nullptr, &formA).Assigned());
    EXPECT_TRUE(MakeEvent<&TForm::Arrival>(formA).Assigned());
}

TEST(EventTest, CallsTheMethodOnTheBoundObject) {
    TForm a("a");
    TForm b("b");
    TDevice dev;
    TDevPlugEvent onArrival = MakeEvent<&TForm::Arrival>(&b);
    onArrival(&dev);
    EXPECT_TRUE(a.log.empty());
    EXPECT_THAT(b.log, ::testing::ElementsAre("b arrival dev"));
    EXPECT_EQ(onArrival.Object(), &b);
}

TEST(EventTest, PassesEveryArgumentAndReturnsTheResult) {
    TForm form("f");
    TDevice dev;
    TDevDataEvent onData = MakeEvent<&TForm::Data>(form);
    const unsigned char report[] = {0x05, 0x00, 0x02, 0x7F};
    onData(&dev, report[0], report + 1, 3);
    EXPECT_EQ(form.lastReportId, 0x05);
    EXPECT_THAT(form.received, ::testing::ElementsAre(0x00, 0x02, 0x7F));

    TDevEnumerateEvent onEnumerate = MakeEvent<&TForm::Enumerate>(form);
    EXPECT_TRUE(onEnumerate(&dev, 1));
    EXPECT_FALSE(onEnumerate(&dev, 2));
}

TEST(EventTest, BindsConstMethods) {
    const TForm form("c");
    auto limit = MakeEvent<&TForm::Limit>(form);
    static_assert(std::is_same_v<decltype(limit), TMethodEvent<int()>>);
    EXPECT_EQ(limit(), 2);
}

TEST(EventTest, NotifyEventNamesItsSender) {
    TForm form("f");
    TComponent sender;
    sender.SetName("HidCtl");
    TNotifyEvent onChange = MakeEvent<&TForm::Changed>(form);
    onChange(&sender);
    EXPECT_THAT(form.log, ::testing::ElementsAre("f changed by HidCtl"));
}

TEST(EventTest, CallableWithContextComparesByItsType) {
    int arrivals = 0;
    auto count = [&arrivals](TDevice*) {
        ++arrivals;
    };
    auto countToo = count;
    auto other = [](TDevice*) {
    };
    auto onArrival = TDevPlugEvent::FromCallable(count);
    onArrival(nullptr);
    onArrival(nullptr);
    EXPECT_EQ(arrivals, 2);
    EXPECT_EQ(onArrival, TDevPlugEvent::FromCallable(countToo));
    EXPECT_NE(onArrival, TDevPlugEvent::FromCallable(other));
    EXPECT_NE(onArrival, MakeEvent<&TForm::Arrival>(formA));
}

} // namespace
} // namespace runtime::test
