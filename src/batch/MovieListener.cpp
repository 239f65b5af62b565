#include "batch/MovieListener.h"

#include <sstream>

namespace quendra {

MovieListener::MovieListener(const std::vector<BatchItem>& i, int e, RunProblems& r, Progress& p)
    : items(i), every(e), problems(r), progress(p) {}

void MovieListener::afterRows(const WorkUnit& unit, const UnitResult& result) {
    if (!result.movieFrame.empty()) addFrame(unit, result);
    if (unit.lastOfItem) close();
}

// Starts the movie of the video the frame is of, at the rate it is analysed at.
void MovieListener::open(const WorkUnit& unit, const UnitResult& result) {
    close();
    const std::string path = outputPath(items[unit.item], Output::Movie).string();
    movieItem = unit.item;
    movieFailed = !movie.open(path, result.frameSize, unit.rate / every);
    if (movieFailed) problems.name(path + ": cannot be written");
    if (unit.reportedRate == unit.rate) return;
    std::ostringstream note;
    note << items[unit.item].path << ": the video "
         << (unit.reportedRate > 0 ? "claims " : "gives no rate, ");
    if (unit.reportedRate > 0) note << unit.reportedRate << " frames a second, ";
    note << "its movie is made for " << unit.rate << " (" << VideoFrames::kMinRate << " to "
         << VideoFrames::kMaxRate << " are kept)";
    progress.problem(note.str());
}

void MovieListener::addFrame(const WorkUnit& unit, const UnitResult& result) {
    if (movieItem != unit.item) open(unit, result);
    if (movieFailed) return;
    const std::string path = outputPath(items[unit.item], Output::Movie).string();
    if (result.frameSize != movie.frameSize()) {
        problems.name(path + ": frame " + std::to_string(unit.frame) +
                      " has another size than the first; the movie leaves it out");
    } else if (!movie.addFrame(result.movieFrame)) {
        movieFailed = true;
        problems.name(path + ": cannot be written");
    }
}

void MovieListener::close() {
    if (!movie.isOpen()) return;
    if (!movie.close() && !movieFailed)
        problems.name(outputPath(items[*movieItem], Output::Movie).string() +
                      ": cannot be written");
    movieFailed = false;
}

}  // namespace quendra
