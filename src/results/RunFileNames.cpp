#include "results/RunFileNames.h"

#include <algorithm>
#include <array>

namespace quendra {

namespace {

struct StemAndEnding {
    std::string_view stem, ending;
};

// By RunFile.
constexpr auto kNames = std::to_array<StemAndEnding>({
    {"results", ".csv"},
    {"run", ".json"},
    {".quendra-batch", ".lock"},
    {"report", ".html"},
    {"report", "-thumbs"},
    {"stacks", ".csv"},
    {"canals", ".csv"},
    {"levels", ".csv"},
});

const StemAndEnding& namesOf(RunFile file) {
    return kNames.at(static_cast<std::size_t>(file));
}

bool digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string shardSuffix(int shard, int shards) {
    return shards > 1 ? "-" + std::to_string(shard) + "-of-" + std::to_string(shards) : "";
}

std::string runFileName(RunFile file, std::string_view suffix) {
    const StemAndEnding& n = namesOf(file);
    return std::string(n.stem) + std::string(suffix) + std::string(n.ending);
}

bool hasStemAndEnding(RunFile file, std::string_view name) {
    const StemAndEnding& n = namesOf(file);
    return name.size() >= n.stem.size() + n.ending.size() && name.starts_with(n.stem) &&
           name.ends_with(n.ending);
}

bool isShardName(RunFile file, std::string_view name) {
    if (!hasStemAndEnding(file, name)) return false;
    const StemAndEnding& n = namesOf(file);
    const std::string_view shard =
        name.substr(n.stem.size(), name.size() - n.stem.size() - n.ending.size());
    const std::size_t of = shard.find("-of-");
    return shard.empty() || (shard.front() == '-' && of != std::string_view::npos &&
                             digits(shard.substr(1, of - 1)) && digits(shard.substr(of + 4)));
}

}  // namespace quendra
