// The colour-class file reader over arbitrary bytes, and a tree built from what it read.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "colour/KDTree.h"
#include "io/ColorClassFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/quendra-fuzz-" + std::to_string(::getpid()) + ".dat";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    std::vector<quendra::PackedSample> samples;
    const quendra::ClassFileRead read = quendra::readColorClassFile(path, samples);
    // Taken whole, or refused with the first record at fault named.
    bool whole = size % 4 == 0;
    for (std::size_t i = 3; i < size; i += 4) whole = whole && quendra::isFileClass(data[i]);
    if ((read.status == quendra::ClassFileStatus::Ok) != (whole && size > 0)) __builtin_trap();
    if (read.status == quendra::ClassFileStatus::Ok && samples.size() != size / 4) __builtin_trap();
    if ((read.status == quendra::ClassFileStatus::UnknownClass ||
         read.status == quendra::ClassFileStatus::PartialRecord) &&
        (read.record == 0 || read.record > size / 4 + 1))
        __builtin_trap();
    if (!samples.empty()) {
        const quendra::KDTree tree(samples);
        for (const quendra::PackedSample s : tree.nodes())
            (void)tree.classify(static_cast<int>(s & 0xFFFFFF), 5);
    }
    return 0;
}
