#pragma once

// Makes each video's movie (Motion JPEG, MjpegMovie.h) of its analysed frames with their
// overlay, as the writer hands them on in input order. A movie that cannot be written, and a
// frame that does not fit it, are named; the run goes on.

#include <cstddef>
#include <optional>
#include <vector>

#include "batch/OrderedWriter.h"
#include "io/MjpegMovie.h"

namespace quendra {

class MovieListener : public FrameListener {
public:
    MovieListener(const std::vector<BatchItem>& items, int every, RunProblems& problems,
                  Progress& progress);

    void afterRows(const WorkUnit& unit, const UnitResult& result) override;
    void finish() override { close(); }

private:
    void open(const WorkUnit& unit, const UnitResult& result);
    void addFrame(const WorkUnit& unit, const UnitResult& result);
    void close();

    const std::vector<BatchItem>& items;
    const int every;
    RunProblems& problems;
    Progress& progress;
    // The movie of the video being written, and whether it failed already.
    MjpegMovieWriter movie;
    std::optional<std::size_t> movieItem;
    bool movieFailed = false;
};

}  // namespace quendra
