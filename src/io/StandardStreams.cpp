#include "io/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace quendra {

void openMissingStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number is taken, which is this one.
        (void)::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
}

OwnErrorOutput::OwnErrorOutput()
    : own(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3)),
      saved(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3)),
      buffer(own),
      out(&buffer) {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
#if defined(__SANITIZE_ADDRESS__)
    // A sanitizer's report is no library noise: it goes where the operator sees it.
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(own)));
#endif
}

OwnErrorOutput::~OwnErrorOutput() {
    if (saved >= 0) {
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
    }
    if (own >= 0) ::close(own);
}

OwnErrorOutput::Buffer::int_type OwnErrorOutput::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    xsputn(&byte, 1);
    return c;
}

std::streamsize OwnErrorOutput::Buffer::xsputn(const char* s, std::streamsize n) {
    std::streamsize done = 0;
    while (fd >= 0 && done < n) {
        const ssize_t w = ::write(fd, s + done, static_cast<std::size_t>(n - done));
        if (w > 0)
            done += w;
        else if (!(w < 0 && errno == EINTR))
            break;
    }
    return n;  // what could not be written is dropped, never an error of the stream
}

}  // namespace quendra
