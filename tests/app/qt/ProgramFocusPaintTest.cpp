// The keyboard focus of the Qt window once the adapter is found: on "Program", never passed
// on to "Exit" while "Program" is disabled, and visible in the pixels. The real key presses
// are in ProgramByKeyboard.sh.
#include "QtFormFixture.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>

namespace apptest {
namespace {

class ProgramFocusPaintTest : public QtFormTest {
protected:
    QImage ButtonShot(const QPushButton* button) const {
        QApplication::processEvents();
        return window->grab(QRect(button->mapTo(window.get(), QPoint(0, 0)), button->size()))
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(ProgramFocusPaintTest, ProgramHasTheVisibleFocusOnceTheAdapterIsFound) {
    Bus().Plug(Adapter(u"FOCUS1"), TBroadcast::No);
    CreateWindow();
    window->show();
    window->activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(window->isActiveWindow());
    Core().FormActivate(nullptr);
    runtime::PumpPending();
    ASSERT_FALSE(window->InProgButton()->isEnabled());
    EXPECT_FALSE(window->ExitButton()->hasFocus()) << "the focus went on to Exit";

    TickOut();
    ASSERT_EQ(Core().StatusText(), "ZEM VUZ FOCUS1 is connected.");
    EXPECT_TRUE(window->InProgButton()->hasFocus());
    EXPECT_FALSE(window->ExitButton()->hasFocus());
    const QImage focused = ButtonShot(window->InProgButton());

    window->centralWidget()->setFocus();
    ASSERT_FALSE(window->InProgButton()->hasFocus());
    EXPECT_FALSE(focused == ButtonShot(window->InProgButton()))
        << "the focus on Program does not show";
}

} // namespace
} // namespace apptest
