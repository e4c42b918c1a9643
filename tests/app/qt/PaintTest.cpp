// What the Qt window paints in each outcome, read from a rendering of the whole window:
// the status line's colour, the ball, the status panels' texts and the "Program" button.
#include "QtFormFixture.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <string>

namespace apptest {
namespace {

enum class TOutcome { Scanning, Connected, NotFound, AfterProgram, AfterFailedProgram };

const QColor Green(0, 128, 0);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

struct TPaintCase {
    const char* name;
    TOutcome outcome;
    QString labelText;
    QColor labelColour;
    bool greenBall;
    QString statusPanel;
    QString adapterPanel;
    bool programEnabled;
};

void PrintTo(const TPaintCase& c, std::ostream* out) {
    *out << c.name;
}

QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The rectangle of a child widget in the window's rendering.
QRect RectIn(const QWidget* window, const QWidget* child) {
    return {child->mapTo(window, QPoint(0, 0)), child->size()};
}

int CountPixels(const QImage& image, const QRect& rect, const QColor& colour) {
    int n = 0;
    const QRgb wanted = colour.rgb();
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            n += image.pixel(x, y) == wanted ? 1 : 0;
        }
    }
    return n;
}

// The darkest pixel in the rectangle: the text of a button.
int DarkestLightness(const QImage& image, const QRect& rect) {
    int darkest = 255;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            darkest = std::min(darkest, QColor(image.pixel(x, y)).lightness());
        }
    }
    return darkest;
}

// Where the image has pixels of the colour, as a white-on-black picture.
QImage TextPixels(const QImage& image, const QColor& colour) {
    QImage mask(image.size(), QImage::Format_Mono);
    mask.fill(0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour.rgb()) {
                mask.setPixel(x, y, 1);
            }
        }
    }
    return mask;
}

// The status line as it would be painted with the given text: a label like it, of its size.
QImage LabelWithText(const QLabel* label, const QString& text) {
    QLabel reference(text);
    reference.setFont(label->font());
    reference.setPalette(label->palette());
    reference.setForegroundRole(label->foregroundRole());
    reference.setBackgroundRole(QPalette::Button);
    reference.setAutoFillBackground(true);
    reference.setWordWrap(label->wordWrap());
    reference.resize(label->size());
    return Grab(&reference);
}

// A status panel as it would be painted with the given text: a label like the panel, in the
// same place of a status bar like the window's.
QImage PanelWithText(const QLabel* panel, const QString& text) {
    QStatusBar bar;
    bar.setFont(panel->font());
    bar.setPalette(panel->parentWidget()->palette());
    bar.resize(panel->parentWidget()->size());
    QLabel reference(text, &bar);
    reference.setFrameStyle(panel->frameStyle());
    reference.setAlignment(panel->alignment());
    reference.setFont(panel->font());
    reference.setGeometry(panel->geometry());
    return Grab(&bar).copy(panel->geometry());
}

class PaintTest : public QtFormTest, public testing::WithParamInterface<TPaintCase> {
protected:
    void Reach(TOutcome outcome) {
        TSimDeviceId adapter{};
        if (outcome == TOutcome::NotFound) {
            Bus().Plug(OtherDevice(), TBroadcast::No);
        } else {
            adapter = Bus().Plug(Adapter(u"PAINT1"), TBroadcast::No);
        }
        CreateWindow();
        window->show();
        Core().FormActivate(nullptr);
        runtime::PumpPending();
        if (outcome != TOutcome::Scanning) {
            TickOut();
        }
        if (outcome == TOutcome::AfterFailedProgram) {
            Bus().FailNextWrite(adapter, ERROR_GEN_FAILURE);
        }
        if (outcome == TOutcome::AfterProgram || outcome == TOutcome::AfterFailedProgram) {
            window->InProgButton()->click();
        }
        QApplication::processEvents();
    }
};

TEST_P(PaintTest, TheWindowShowsTheOutcome) {
    const TPaintCase& c = GetParam();
    Reach(c.outcome);
    const QImage shot = Grab(window.get());

    // The status line's text is painted in the outcome's colour, and in no other of the
    // three (a status line that still reads as progress after the write would be green).
    const QRect label = RectIn(window.get(), window->StatusLabel());
    EXPECT_GE(CountPixels(shot, label, c.labelColour), 20)
        << "status line not painted in " << c.labelColour.name().toStdString();
    for (const QColor& other : {Green, Blue, Red}) {
        if (other != c.labelColour) {
            EXPECT_EQ(CountPixels(shot, label, other), 0)
                << "status line painted in " << other.name().toStdString();
        }
    }
    // It reads the outcome's text: a label with that text paints its text pixels at the
    // same places.
    EXPECT_TRUE(TextPixels(shot.copy(label), c.labelColour) ==
                TextPixels(LabelWithText(window->StatusLabel(), c.labelText), c.labelColour))
        << "status line should read \"" << c.labelText.toStdString() << '"';
    // However long, it stays clear of the buttons: a write error's line wraps before them.
    EXPECT_EQ(CountPixels(shot, RectIn(window.get(), window->InProgButton()), c.labelColour), 0)
        << "status line runs under \"Program\"";

    // The ball is the green or the grey picture.
    const QLabel* picture = c.greenBall ? window->Green_Image() : window->Gray_Image();
    const QImage ball = picture->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(shot.copy(RectIn(window.get(), window->ConnectBallImage())) == ball)
        << (c.greenBall ? "green" : "grey") << " ball expected";

    // The panels read their texts.
    const struct {
        int index;
        QString text;
    } panels[] = {{app::TimePanel, {}},
                  {app::StatusPanel, c.statusPanel},
                  {app::AdapterPanel, c.adapterPanel}};
    for (const auto& p : panels) {
        const QLabel* panel = window->StatusPanel(p.index);
        EXPECT_TRUE(shot.copy(RectIn(window.get(), panel)) == PanelWithText(panel, p.text))
            << "panel " << p.index << " should read \"" << p.text.toStdString() << '"';
    }

    // A disabled "Program" is drawn in the disabled text colour, lighter than the enabled
    // button's text.
    const QRect button = RectIn(window.get(), window->InProgButton()).adjusted(4, 4, -4, -4);
    const QPalette palette = window->InProgButton()->palette();
    const int darkest = DarkestLightness(shot, button);
    if (c.programEnabled) {
        EXPECT_LE(darkest, palette.color(QPalette::Active, QPalette::ButtonText).lightness() + 40);
    } else {
        EXPECT_GE(darkest,
                  palette.color(QPalette::Disabled, QPalette::ButtonText).lightness() - 40);
        EXPECT_GT(darkest, palette.color(QPalette::Active, QPalette::ButtonText).lightness() + 40);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, PaintTest,
    testing::Values(
        TPaintCase{
            "Scanning", TOutcome::Scanning, "Scanning...", Green, false, "Scanning...", {}, false},
        TPaintCase{"Connected", TOutcome::Connected, "ZEM VUZ PAINT1 is connected.", Blue, true,
                   "ZEM VUZ PAINT1 is connected.", "ZEM VUZ PAINT1", true},
        TPaintCase{"NotFound",
                   TOutcome::NotFound,
                   "Please connect VUZ Device.",
                   Red,
                   false,
                   "VUZ Device is not found.",
                   {},
                   false},
        TPaintCase{"AfterProgram", TOutcome::AfterProgram, "KVM Programmer is enabled.", Blue, true,
                   "ZEM VUZ PAINT1 is connected.", "ZEM VUZ PAINT1", true},
        TPaintCase{"AfterFailedProgram", TOutcome::AfterFailedProgram,
                   "WRITE ERROR: A device attached to the system is not functioning (1F)", Red,
                   true, "ZEM VUZ PAINT1 is connected.", "ZEM VUZ PAINT1", true}),
    [](const testing::TestParamInfo<TPaintCase>& info) { return info.param.name; });

} // namespace
} // namespace apptest
