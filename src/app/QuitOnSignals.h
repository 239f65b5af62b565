#pragma once

#include <QObject>

// Ends the event loops on SIGINT and SIGTERM between two events, never in the middle of one:
// a file being saved when the signal comes is finished (or cleaned up) first, instead of the
// process dying with a half-written temporary file beside it. A dialog open at the time is
// closed as cancelled, and every later one returns at once. The handler only writes a byte to
// a socket; the notifier reads it on whichever event loop runs, a dialog's included.
class QuitOnSignals : public QObject {
    Q_OBJECT
public:
    QuitOnSignals();
    ~QuitOnSignals() override;

    // A signal came: the application's event loop, if not running yet, must not start (it would
    // run on as if none had come).
    bool received() const { return came; }

private:
    void quit();

    bool came = false;
};
