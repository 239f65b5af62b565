#include "batch/FrameQueue.h"

#include "io/DicomSeries.h"
#include "io/PictureFile.h"

namespace quendra {

namespace {

// The rate of a stack's movie, slices a second: a stack of a few hundred slices plays in
// less than a minute, slowly enough to follow a canal.
constexpr double kStackMovieRate = 10;

// A picture from a DICOM file of one image, mapped by its header's window (or its own greys').
PictureRead readDicomPicture(const std::string& path) {
    StackFrames frames(path);
    SliceFrame slice = frames.frameAt(0);
    return {slice.status, std::move(slice.frame), slice.size, 0};
}

}  // namespace

FrameQueue::FrameQueue(const std::vector<BatchItem>& i, int e, std::size_t m, StartAt s, bool r,
                       std::optional<GreyWindow> w)
    : items(i), every(e), maxAhead(m), start(s), replayStart(r), window(w), nextItem(s.item) {}

bool FrameQueue::next(WorkUnit& unit) {
    std::unique_lock turn(reading);
    {
        std::unique_lock lock(mutex);
        progress.wait(lock, [&] { return stopped || nextSeq < writtenUpTo + maxAhead; });
    }
    std::optional<std::size_t> picture;
    for (;;) {
        if (stopped) return false;
        if ((video || stack) && takeSequenceFrame(unit)) break;
        if (nextItem == items.size()) return false;
        const std::size_t item = nextItem++;
        if (items[item].kind == MediaKind::Picture) {
            picture = item;
            break;
        }
        if (!openSequence(item, unit)) break;
    }
    std::size_t seq = 0;
    {
        const std::lock_guard lock(mutex);
        seq = nextSeq++;
    }
    // A picture is a file of its own: it is read while the next caller takes its turn.
    turn.unlock();
    if (picture) takePicture(*picture, unit);
    unit.seq = seq;
    return true;
}

// A picture, read whole; what its reading throws goes with it to the worker that names it.
void FrameQueue::takePicture(std::size_t item, WorkUnit& unit) {
    unit = {};
    unit.item = item;
    try {
        const std::string& path = items[item].path;
        PictureRead read = isDicomFile(path) ? readDicomPicture(path) : readPicture(path);
        unit.picture = std::move(read.picture);
        unit.status = read.status;
        unit.size = read.size;
        unit.error = read.error;
        unit.unreadable = read.status != PictureStatus::Ok;
    } catch (const std::exception&) {
        unit.readFailure = std::current_exception();
    }
}

// Opens the video or stack `item`; false, with `unit` the one unit of the item, when it cannot
// be read or was done before a resumed run.
bool FrameQueue::openSequence(std::size_t item, WorkUnit& unit) {
    const bool isStack = items[item].kind == MediaKind::Stack;
    PictureStatus status = PictureStatus::OutOfMemory;
    int frames = 0;
    try {
        if (isStack) {
            stack = std::make_unique<StackFrames>(items[item].path, window);
            status = stack->status();
            unit.reason = status == PictureStatus::Ok ? stack->refusal() : std::string();
            if (!unit.reason.empty()) status = PictureStatus::Unreadable;
            frames = status == PictureStatus::Ok ? stack->frameCount() : 0;
        } else {
            video =
                std::make_unique<VideoFrames>(items[item].path, VideoFrames::Access::Sequential);
            status = video->isValid() ? PictureStatus::Ok : video->status();
            frames = video->isValid() ? video->frameCount() : 0;
        }
    } catch (const std::exception&) {
        status = PictureStatus::OutOfMemory;
    }
    sequenceItem = item;
    grid = frameGridOf(items[item].kind, frames, every);
    firstWritten = item == start.item && start.frame > grid.first ? start.frame : grid.first;
    nextFrame = replayStart || isStack ? grid.first : firstWritten;
    if (status == PictureStatus::Ok && nextFrame < grid.end) return true;
    // Unreadable, or done before a resumed run: a unit that only ends the item.
    std::string reason = std::move(unit.reason);
    unit = {};
    unit.item = item;
    unit.reason = std::move(reason);
    unit.unreadable = status != PictureStatus::Ok;
    unit.status = status;
    unit.size = video ? video->frameSize() : cv::Size();
    unit.error = video ? video->error() : 0;
    unit.replay = !unit.unreadable;
    video.reset();
    stack.reset();
    return false;
}

bool FrameQueue::takeSequenceFrame(WorkUnit& unit) {
    if (nextFrame >= grid.end) {
        video.reset();
        stack.reset();
        return false;
    }
    unit = {};
    unit.item = sequenceItem;
    unit.frame = nextFrame;
    unit.replay = nextFrame < firstWritten;
    nextFrame += grid.step;
    unit.lastOfItem = nextFrame >= grid.end;
    try {
        if (stack) {
            unit.rate = unit.reportedRate = kStackMovieRate;
            unit.chain = stack->pageChain();
            SliceFrame slice = stack->frameAt(unit.frame - 1);
            if (stack->windowUsed()) unit.window = stack->window();
            unit.picture = std::move(slice.frame);
            unit.status = slice.status;
            unit.size = slice.size;
            unit.reason = std::move(slice.reason);
        } else {
            unit.rate = video->rate();
            unit.reportedRate = video->reportedRate();
            unit.picture = video->takeFrameAt(unit.frame);
        }
    } catch (const std::exception&) {
        unit.picture.release();  // out of memory: the frame is named as unreadable
        unit.status = PictureStatus::OutOfMemory;
    }
    unit.unreadable = unit.picture.empty();
    return true;
}

void FrameQueue::written(std::size_t seq) {
    {
        std::lock_guard lock(mutex);
        writtenUpTo = seq + 1;
    }
    progress.notify_all();
}

void FrameQueue::stop() {
    {
        std::lock_guard lock(mutex);
        stopped = true;
    }
    progress.notify_all();
}

}  // namespace quendra
