// The recognition-data writer over arbitrary records: NaN, infinities, huge and negative
// values, any number of canals.

#include <sstream>
#include <vector>

#include "FuzzInput.h"
#include "overlay/RecognitionData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    quendra::ToothResult tooth{in.take<float>(), in.take<int>(),   in.take<int>(), in.take<float>(),
                               in.take<float>(), in.take<float>(), in.take<int>()};
    std::vector<quendra::CanalResult> canals(static_cast<std::size_t>(in.takeIn(0, 20)));
    for (quendra::CanalResult& c : canals)
        c = {in.take<float>(), in.take<int>(),   in.take<int>(),
             in.take<float>(), in.take<float>(), in.take<float>()};
    std::ostringstream out;
    quendra::writeRecognitionData(out, tooth, canals);
    if (out.str().rfind("Zahn\n\nTyp: ", 0) != 0) __builtin_trap();
    return 0;
}
