#pragma once

#include <QObject>

// Ends the event loop on SIGINT and SIGTERM between two events, never in the middle of one:
// a file being saved when the signal comes is finished (or cleaned up) first, instead of the
// process dying with a half-written temporary file beside it. The handler only writes a byte
// to a socket; the notifier reads it on the event loop.
class QuitOnSignals : public QObject {
    Q_OBJECT
public:
    QuitOnSignals();
    ~QuitOnSignals() override;

private:
    void quit();
};
