// Preloaded into vuz-utility (LD_PRELOAD) to record its event log from outside: the log is a
// hidden list box and the program writes no files, so a test cannot otherwise see it. Every
// line added to the list box named HistoryListBox is appended to the file VUZ_LOG_TAP as
// "SECONDS.NANOSECONDS TEXT" (real time), then passed on unchanged.
#include <QListWidget>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>

// addItem(text), inline, comes here.
void QListWidget::insertItem(int row, const QString& label) {
    using Real = void (*)(QListWidget*, int, const QString&);
    static const auto real =
        reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_ZN11QListWidget10insertItemEiRK7QString"));
    const char* file = std::getenv("VUZ_LOG_TAP");
    if (file != nullptr && objectName() == QStringLiteral("HistoryListBox")) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        if (std::FILE* stream = std::fopen(file, "a")) {
            std::fprintf(stream, "%lld.%09ld %s\n", static_cast<long long>(now.tv_sec), now.tv_nsec,
                         label.toUtf8().constData());
            std::fclose(stream);
        }
    }
    if (real != nullptr) {
        real(this, row, label);
    }
}
