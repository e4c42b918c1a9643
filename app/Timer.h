// A window timer with the toolkit's semantics: an Enabled switch that does not restart a
// timer that already runs, an integer Tag for the owner's use, and an OnTimer handler.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class TTimer : public QObject {
    Q_OBJECT

public:
    using TNotifyHandler = std::function<void(QObject* Sender)>;

    explicit TTimer(QObject* owner);

    bool Enabled() const;
    // Enabling a running timer keeps its current tick period going.
    void SetEnabled(bool enabled);
    int Interval() const;
    void SetInterval(int milliseconds);

    int Tag = 0;
    TNotifyHandler OnTimer;

private:
    QTimer timer;
};
