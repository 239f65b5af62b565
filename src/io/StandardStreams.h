#pragma once

// Standard input, output and error as a program started by a daemon or cron may find them, and
// the batch analyser's messages kept apart from what libraries print.

#include <ostream>
#include <streambuf>

namespace quendra {

// Opens /dev/null on whichever of the descriptors 0, 1 and 2 is closed. Called first thing:
// otherwise the first file the program opens takes the free number, and whatever is then
// written to standard output or error lands in that file.
void openMissingStandardStreams();

// Standard error for the program's own messages alone. While the object lives, descriptor 2
// leads to /dev/null, so that the decoders' and video back ends' own lines ("libpng error:
// ...", "[mov,mp4 @ 0x...] moov atom not found") never reach the operator, and the program's
// messages go to a private copy of the real standard error. A write that fails (a reader that
// closed its pipe) is dropped: messages are not results, and the program goes on.
class OwnErrorOutput {
public:
    OwnErrorOutput();
    ~OwnErrorOutput();
    OwnErrorOutput(const OwnErrorOutput&) = delete;
    OwnErrorOutput& operator=(const OwnErrorOutput&) = delete;

    std::ostream& stream() { return out; }

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(int descriptor) : fd(descriptor) {}
        const int fd;

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
    };

    int own, saved;
    Buffer buffer;
    std::ostream out;
};

}  // namespace quendra
