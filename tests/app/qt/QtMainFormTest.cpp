#include "app/qt/QtMainForm.h"

#include "FixedVersionServices.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

QImage PictureOf(const QLabel* label) {
    return label->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

class QtMainFormTest : public testing::Test {
protected:
    explicit QtMainFormTest(std::optional<DWORD> major = 6)
        : services(std::make_unique<TFixedVersionServices>(major)) {}

    TServicesInstallation services;
    qtview::TQtMainForm form;
};

TEST_F(QtMainFormTest, StartsInItsInitialState) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ZEM VUZ Utility V1.0"));

    EXPECT_TRUE(form.InProgButton()->isEnabled());
    EXPECT_EQ(form.InProgButton()->text(), QStringLiteral("Program"));
    EXPECT_EQ(form.ExitButton()->text(), QStringLiteral("Exit"));
    EXPECT_TRUE(form.StatusLabel()->text().isEmpty());
    for (int panel = 0; panel < 3; ++panel) {
        EXPECT_TRUE(form.StatusPanel(panel)->text().isEmpty()) << "panel " << panel;
    }
    EXPECT_EQ(PictureOf(form.ConnectBallImage()), PictureOf(form.Gray_Image()));
    EXPECT_NE(PictureOf(form.ConnectBallImage()), PictureOf(form.Green_Image()));

    EXPECT_EQ(form.DevListBox()->count(), 0);
    EXPECT_EQ(form.HistoryListBox()->count(), 0);
}

TEST_F(QtMainFormTest, HidesItsListsAndPictureHolders) {
    form.show();
    EXPECT_FALSE(form.DevListBox()->isVisible());
    EXPECT_FALSE(form.HistoryListBox()->isVisible());
    EXPECT_FALSE(form.Green_Image()->isVisible());
    EXPECT_FALSE(form.Gray_Image()->isVisible());
    EXPECT_TRUE(form.ConnectBallImage()->isVisible());
    EXPECT_TRUE(form.StatusLabel()->isVisible());
    form.close();
}

TEST_F(QtMainFormTest, BallPicturesAreDistinctTrueColourBalls) {
    const QImage green = PictureOf(form.Green_Image());
    const QImage gray = PictureOf(form.Gray_Image());
    ASSERT_EQ(green.size(), QSize(32, 32));
    ASSERT_EQ(gray.size(), QSize(32, 32));
    const QColor greenCentre = green.pixelColor(12, 12);
    const QColor grayCentre = gray.pixelColor(12, 12);
    EXPECT_GT(greenCentre.green(), greenCentre.red() + 60);
    EXPECT_EQ(grayCentre.red(), grayCentre.green());
    // Both on the same light background.
    EXPECT_EQ(green.pixel(0, 0), gray.pixel(0, 0));
    EXPECT_GT(QColor(green.pixel(0, 0)).lightness(), 180);
}

TEST_F(QtMainFormTest, LogKeepsOrderAndSelectsTheLastLine) {
    form.Core().AppendLogLine({});
    form.Core().AppendLogLine("Scanning...");
    form.Core().AppendLogLine("VUZ Device is not found.");
    QListWidget* log = form.HistoryListBox();
    ASSERT_EQ(log->count(), 3);
    EXPECT_EQ(log->item(0)->text(), QString());
    EXPECT_EQ(log->item(1)->text(), QStringLiteral("Scanning..."));
    EXPECT_EQ(log->item(2)->text(), QStringLiteral("VUZ Device is not found."));
    EXPECT_EQ(log->currentRow(), 2);
    ASSERT_EQ(log->selectedItems().size(), 1);
    EXPECT_EQ(log->selectedItems().front(), log->item(2));
    EXPECT_EQ(log->item(2)->sizeHint().height(), 16);
}

TEST_F(QtMainFormTest, ExitSetsClosingAndClosesTheWindow) {
    form.show();
    QTest::mouseClick(form.ExitButton(), Qt::LeftButton);
    EXPECT_TRUE(form.Core().Closing);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(QtMainFormTest, ClosingByTheFrameLeavesClosingClear) {
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.Core().Closing);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(QtMainFormTest, StatusLineSizesItselfToItsText) {
    form.SetStatusText("Please connect VUZ Device.");
    const int longWidth = form.StatusLabel()->width();
    form.SetStatusText("Scan");
    EXPECT_LT(form.StatusLabel()->width(), longWidth);
    EXPECT_EQ(form.StatusLabel()->pos(), QPoint(53, 18));
}

TEST_F(QtMainFormTest, UsesTheDesignFontAndColours) {
    EXPECT_EQ(form.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(form.font().pixelSize(), 13);
    EXPECT_TRUE(form.StatusLabel()->font().bold());
    // The label's text takes its own colour, not the buttons' (the painting test looks at
    // the pixels).
    EXPECT_EQ(form.StatusLabel()->foregroundRole(), QPalette::WindowText);
    EXPECT_EQ(form.centralWidget()->backgroundRole(), QPalette::Button);
}

TEST_F(QtMainFormTest, TabOrderRunsFromTheListsToProgramAndExit) {
    const QList<QWidget*> expected{form.DevListBox(), form.HistoryListBox(), form.InProgButton(),
                                   form.ExitButton()};
    QWidget* current = expected.front();
    for (qsizetype i = 1; i < expected.size(); ++i) {
        // Other widgets may sit between, but never one of these out of order.
        QWidget* next = current->nextInFocusChain();
        while (!expected.contains(next)) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, expected[i]) << "after " << current->objectName().toStdString();
        current = next;
    }
}

TEST_F(QtMainFormTest, ComponentsSitWhereTheLayoutPutsThem) {
    struct Placement {
        const QWidget* widget;
        QRect geometry;
    };
    const Placement placements[] = {
        {form.DevListBox(), QRect(65, 77, 320, 12)},
        {form.HistoryListBox(), QRect(9, 56, 648, 17)},
        {form.ConnectBallImage(), QRect(15, 10, 32, 32)},
        {form.Green_Image(), QRect(419, 11, 32, 32)},
        {form.Gray_Image(), QRect(453, 11, 32, 32)},
        {form.ExitButton(), QRect(557, 17, 89, 25)},
        {form.InProgButton(), QRect(460, 17, 90, 25)},
    };
    for (const Placement& p : placements) {
        const QPoint inClient = p.widget->mapTo(&form, QPoint(0, 0));
        EXPECT_EQ(QRect(inClient, p.widget->size()), p.geometry)
            << p.widget->objectName().toStdString();
    }
    EXPECT_EQ(form.StatusLabel()->mapTo(&form, QPoint(0, 0)), QPoint(53, 18));
}

TEST_F(QtMainFormTest, StatusBarPanelsHaveTheirWidthsAndAlignment) {
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.StatusPanel(0)->width(), 50);
    EXPECT_EQ(form.StatusPanel(1)->width(), 400);
    EXPECT_TRUE(form.StatusPanel(0)->alignment() & Qt::AlignHCenter);
    // The last panel takes the rest of the bar.
    EXPECT_GT(form.StatusPanel(2)->width(), 150);
    EXPECT_GT(form.StatusPanel(2)->x(), form.StatusPanel(1)->x());
    form.close();
}

TEST_F(QtMainFormTest, IsCentredOnTheScreen) {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint centre = form.geometry().center();
    EXPECT_LE(std::abs(centre.x() - available.center().x()), 1);
    EXPECT_LE(std::abs(centre.y() - available.center().y()), 1);
}

struct SizeCase {
    std::optional<DWORD> major;
    int width;
    int height;
};

class QtMainFormSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(QtMainFormSizeTest, GrowsBy8OnSystemsNewerThanMajorVersion5) {
    const SizeCase& c = GetParam();
    TServicesInstallation services(std::make_unique<TFixedVersionServices>(c.major));
    qtview::TQtMainForm form;
    form.show();
    QApplication::processEvents();

    EXPECT_EQ(form.Core().Width(), c.width);
    EXPECT_EQ(form.Core().Height(), c.height);
    const QSize client(c.width - qtview::TQtMainForm::OuterFrameWidth,
                       c.height - qtview::TQtMainForm::OuterFrameHeight);
    EXPECT_EQ(form.size(), client);
    // The status bar runs along the bottom edge at its full width.
    const QStatusBar* bar = form.ProgStatusBar();
    EXPECT_EQ(QRect(bar->mapTo(&form, QPoint(0, 0)), bar->size()),
              QRect(0, client.height() - 22, client.width(), 22));
    form.close();
}

INSTANTIATE_TEST_SUITE_P(Versions, QtMainFormSizeTest,
                         testing::Values(SizeCase{4, 706, 105}, SizeCase{5, 706, 105},
                                         SizeCase{std::nullopt, 706, 105}, SizeCase{6, 714, 113},
                                         SizeCase{10, 714, 113}),
                         [](const testing::TestParamInfo<SizeCase>& info) {
                             return info.param.major ? "Major" + std::to_string(*info.param.major)
                                                     : std::string("QueryFails");
                         });

} // namespace
