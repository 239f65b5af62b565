// The window program as a user starts it: from a shell without a display, and ended by a
// signal while a message waits for the operator.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "Program.h"

namespace {

// Standard output into the pipe the test reads, and no display to connect to.
void withoutDisplay() {
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
}

// The program keeps its settings in the test's folder, not in the user's.
void outputToThePipe() {
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    ::setenv("XDG_CONFIG_HOME", ::testing::TempDir().c_str(), 1);
}

// True once the process has its own handler for `signo` (Linux's /proc tells the caught ones).
bool catches(pid_t pid, int signo) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signo - 1) & 1) != 0;
    return false;
}

// Asking for the version or the help aborted (SIGABRT) where there is no display: the
// application was made, and failed, before the command line was read.
TEST(WindowProgram, AnswersVersionAndHelpWithoutADisplay) {
    struct Case {
        const char* option;
        const char* says;
    };
    const Case cases[] = {{"--version", "Quendra " QUENDRA_VERSION "\n"},
                          {"-v", "Quendra " QUENDRA_VERSION "\n"},
                          {"--help", "--classes <datei>"},
                          {"-h", "Lädt die Farbklassendatei <datei>."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        Program program({QUENDRA_WINDOW_PROGRAM, c.option}, withoutDisplay);
        EXPECT_EQ(program.wait(), 0);
        EXPECT_NE(program.errorText().find(c.says), std::string::npos) << program.errorText();
    }
}

// A SIGTERM while a message was on screen was lost: the window stayed open. Here the message
// about a class file that is not there, given on the command line, waits for the operator.
TEST(WindowProgram, QuitsOnSigtermWhileAMessageIsOpen) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display (xvfb-run)";
    Program program({QUENDRA_WINDOW_PROGRAM, "--classes", "/nicht/da.dat"}, outputToThePipe);
    for (int waited = 0; !catches(program.processId(), SIGTERM); ++waited) {
        ASSERT_LT(waited, 6000) << "no signal handler after a minute";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(), 0);  // as the window ends at any other time
}

}  // namespace
