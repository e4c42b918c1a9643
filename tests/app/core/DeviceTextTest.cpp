// Device-supplied text in the window: a serial number or product name with terminal escape
// sequences, a bell or line breaks reaches no label, list entry or log line raw.
#include "app/core/DeviceText.h"

#include "SimFormFixture.h"

namespace apptest {
namespace {

using testing::ElementsAre;

// ESC ] 0 ; title BEL (sets a terminal's title), clear screen, carriage return, C1 CSI.
const std::u16string HostileSerial = u"X\x1b]0;owned\x07\x1b[2J\rZ\x9b"
                                     u"2J";
const std::string EscapedSerial = "X\\u001b]0;owned\\u0007\\u001b[2J\\rZ\\u009b2J";

struct TEscapeCase {
    const char* name;
    std::string text;
    std::string plain;
    std::string json;
};

void PrintTo(const TEscapeCase& c, std::ostream* out) {
    *out << c.name;
}

class EscapeControlsTest : public testing::TestWithParam<TEscapeCase> {};

TEST_P(EscapeControlsTest, EscapesControlsOnly) {
    const TEscapeCase& c = GetParam();
    EXPECT_EQ(app::EscapeControls(c.text), c.plain);
    EXPECT_EQ(app::EscapeControls(c.text, app::TQuoting::Json), c.json);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EscapeControlsTest,
    testing::Values(
        TEscapeCase{"Plain", "DEMO0001", "DEMO0001", "\"DEMO0001\""},
        TEscapeCase{"Empty", "", "", "\"\""},
        TEscapeCase{"NonAscii", "D\xC3\x89MO-\xC3\xBC \xF0\x9F\x94\x8C",
                    "D\xC3\x89MO-\xC3\xBC \xF0\x9F\x94\x8C",
                    "\"D\xC3\x89MO-\xC3\xBC \xF0\x9F\x94\x8C\""},
        TEscapeCase{"ShortEscapes", "a\bb\fc\nd\re\tf", "a\\bb\\fc\\nd\\re\\tf",
                    "\"a\\bb\\fc\\nd\\re\\tf\""},
        TEscapeCase{"EscBelNulDel", std::string("\x1b\x07\0\x7f", 4),
                    "\\u001b\\u0007\\u0000\\u007f", "\"\\u001b\\u0007\\u0000\\u007f\""},
        TEscapeCase{"C1AndLineSeparators", "\xC2\x9B\xC2\x85\xE2\x80\xA8\xE2\x80\xA9",
                    "\\u009b\\u0085\\u2028\\u2029", "\"\\u009b\\u0085\\u2028\\u2029\""},
        TEscapeCase{"QuotesOnlyInJson", "a\"b\\c", "a\"b\\c", "\"a\\\"b\\\\c\""},
        TEscapeCase{
            "BytesThatAreNoUtf8", "a\x9b\xC0\xAF\xED\xA0\x80z",
            "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz",
            "\"a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz\""},
        TEscapeCase{"TruncatedSequence", "ab\xE2\x80", "ab\xEF\xBF\xBD\xEF\xBF\xBD",
                    "\"ab\xEF\xBF\xBD\xEF\xBF\xBD\""}),
    [](const testing::TestParamInfo<TEscapeCase>& info) { return info.param.name; });

class DeviceTextInTheWindowTest : public SimFormTest {};

TEST_F(DeviceTextInTheWindowTest, ControlCharactersFromTheAdapterAreEscapedEverywhere) {
    TSimDeviceConfig adapter = Adapter(HostileSerial);
    adapter.Product = TSimString::Present(u"VUZ\r\nProgramming Adapter\x1b[31m");
    PlugQuietly(adapter);
    Start();
    TickOut();

    EXPECT_EQ(View(), ConnectedView(EscapedSerial));
    EXPECT_THAT(Log(), ElementsAre(std::string(), "Scanning...",
                                   "ZEM VUZ " + EscapedSerial + " is connected."));
    EXPECT_THAT(DeviceList(), ElementsAre("VUZ\\r\\nProgramming Adapter\\u001b[31m (Serial=" +
                                          EscapedSerial + ")"));
}

} // namespace
} // namespace apptest
