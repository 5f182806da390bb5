// What the port connection tells whoever shows the line's condition (a status
// line, the trace): the receiver going away and coming back, and why a start
// failed. Emitted on the GUI thread.
#pragma once

#include <QObject>
#include <QString>

class ConnectionEvents : public QObject {
    Q_OBJECT
signals:
    // The receiver went away from `port` ("COM3"); the connection waits for it.
    void ReceiverLost(const QString& port);
    // It is back and read again, with the same line settings.
    void ReceiverBack(const QString& port);
    // A start failed: `status` is the status name shown first, `explanation`
    // what the system says stands in the way and what to do (may be empty).
    void StartFailed(const QString& status, const QString& explanation);
    // A start went through (also a return after a loss).
    void Started(const QString& port);
};
