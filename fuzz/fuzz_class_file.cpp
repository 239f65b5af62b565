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
    const quendra::ClassFileStatus status = quendra::readColorClassFile(path, samples);
    if (status != (size < 4 ? quendra::ClassFileStatus::Empty : quendra::ClassFileStatus::Ok))
        __builtin_trap();
    if (samples.size() != size / 4) __builtin_trap();
    if (!samples.empty()) {
        const quendra::KDTree tree(samples);
        for (const quendra::PackedSample s : tree.nodes())
            (void)tree.classify(static_cast<int>(s & 0xFFFFFF), 5);
    }
    return 0;
}
