// The window timer ticking on Qt's event loop.
#pragma once

#include "app/core/FormTimer.h"

#include <QTimer>

class TQtFormTimer final : public app::TTimer {
public:
    TQtFormTimer() {
        QObject::connect(&timer, &QTimer::timeout, [this] { Tick(); });
    }

protected:
    void StartTicking(int intervalMs) override { timer.start(intervalMs); }
    void StopTicking() override { timer.stop(); }

private:
    QTimer timer;
};
