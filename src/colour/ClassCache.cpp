#include "colour/ClassCache.h"

#include <cstring>

namespace quendra {

ClassCache::ClassCache() : entries(std::make_unique_for_overwrite<std::uint8_t[]>(kColorKeyCount)) {
    clear();
}

void ClassCache::clear() {
    std::memset(entries.get(), 0xFF, kColorKeyCount);
}

}  // namespace quendra
