#include "colour/VectorCode.h"

#include <cstdlib>
#include <cstring>

namespace quendra {

VectorCode processorVectorCode() {
#if defined(__x86_64__)
    __builtin_cpu_init();  // also right when asked before the runtime's own start-up code
    return {__builtin_cpu_supports("avx2") != 0, __builtin_cpu_supports("avx512f") != 0};
#else
    return {};
#endif
}

const VectorCode& vectorCode() {
    static const VectorCode chosen = [] {
        const char* portable = std::getenv("QUENDRA_PORTABLE");
        return portable && std::strcmp(portable, "1") == 0 ? VectorCode{} : processorVectorCode();
    }();
    return chosen;
}

}  // namespace quendra
