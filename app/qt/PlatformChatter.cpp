#include "app/qt/PlatformChatter.h"

#include <QtGlobal>
#include <array>
#include <cstdio>

namespace qtview {

namespace {

// What the platform plugins and the standard-paths lookup say about features they lack or
// the runtime directory they made up.
constexpr std::array ChatterPrefixes{
    "This plugin does not support ",
    "QStandardPaths: XDG_RUNTIME_DIR not set",
    "QStandardPaths: runtime directory ",
    "QStandardPaths: wrong permissions on runtime directory ",
};

QtMessageHandler previousHandler = nullptr;

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg && IsPlatformChatter(message)) {
        return;
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
}

} // namespace

bool IsPlatformChatter(const QString& message) {
    for (const char* prefix : ChatterPrefixes) {
        if (message.startsWith(QLatin1String(prefix))) {
            return true;
        }
    }
    return false;
}

void FilterPlatformChatter() {
    previousHandler = qInstallMessageHandler(Filter);
}

} // namespace qtview
