#pragma once

// Which vector code runs, decided once per process, here and nowhere else: the AVX2 pixel
// kernels where the processor has AVX2, the AVX-512 k-d tree search where it has AVX-512F.
// QUENDRA_PORTABLE=1 in the environment forces the portable loops everywhere; they are the
// plain versions every vector version is tested against, and the test script runs the core
// suites a second time with them.

namespace quendra {

struct VectorCode {
    bool avx2 = false;
    bool avx512 = false;
};

// What the processor runs, whatever the environment says.
VectorCode processorVectorCode();

// What the program uses: the processor's vector code, or none under QUENDRA_PORTABLE=1.
const VectorCode& vectorCode();

}  // namespace quendra
