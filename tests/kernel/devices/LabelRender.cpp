// Renders the window's status line as the window draws it (its font, colour and
// background) with a given text, for comparison with the pixels of the real window.
// Usage: vuz-label-render TEXT #RRGGBB OUT.png   (on the same X server as the window)
#include <QApplication>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: vuz-label-render TEXT #RRGGBB OUT.png\n");
        return 64;
    }
    // The window's font (its status line is bold) and its button-coloured background.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    font.setBold(true);
    QLabel label;
    label.setFont(font);
    label.setBackgroundRole(QPalette::Button);
    label.setAutoFillBackground(true);
    label.setForegroundRole(QPalette::WindowText);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, QColor(QString::fromUtf8(argv[2])));
    label.setPalette(palette);
    label.setText(QString::fromUtf8(argv[1]));
    label.adjustSize();
    const QImage image = label.grab().toImage().convertToFormat(QImage::Format_RGB32);
    return image.save(QString::fromUtf8(argv[3])) ? 0 : 1;
}
