#pragma once

// Reads typed values off the front of a fuzzer's input; past its end every value is 0.

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    template <typename T>
    T take() {
        T value{};
        const std::size_t n = sizeof(T) <= size ? sizeof(T) : size;
        std::memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }
    // A value in lo..hi.
    int takeIn(int lo, int hi) {
        return lo + static_cast<int>(take<std::uint16_t>() % static_cast<unsigned>(hi - lo + 1));
    }

    const std::uint8_t* rest() const { return data; }
    std::size_t remaining() const { return size; }

private:
    const std::uint8_t* data;
    std::size_t size;
};
