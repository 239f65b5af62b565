#include "app/QuitOnSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {

int sockets[2] = {-1, -1};

extern "C" void onSignal(int) {
    const char byte = 1;
    (void)!::write(sockets[0], &byte, 1);
}

}  // namespace

QuitOnSignals::QuitOnSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) return;
    auto* notifier = new QSocketNotifier(sockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitOnSignals::quit);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    for (int& s : sockets) {
        if (s >= 0) ::close(s);
        s = -1;
    }
}

// exit(), not quit(): quit() asks the windows to close first, and a modal dialog on screen
// refuses, so the signal was lost; before the event loop runs (a message about the command
// line) it does nothing at all. exit() ends every event loop running, the dialogs' included.
void QuitOnSignals::quit() {
    char byte;
    (void)!::read(sockets[1], &byte, 1);
    came = true;
    QCoreApplication::exit(0);
}
