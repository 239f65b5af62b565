#include "batch/FrameQueue.h"

namespace quendra {

FrameQueue::FrameQueue(const std::vector<BatchItem>& i, int e, std::size_t m, StartAt s, bool r)
    : items(i), every(e), maxAhead(m), start(s), replayStart(r), nextItem(s.item) {}

bool FrameQueue::next(WorkUnit& unit) {
    std::unique_lock lock(mutex);
    progress.wait(lock, [&] { return stopped || nextSeq < writtenUpTo + maxAhead; });
    for (;;) {
        if (stopped) return false;
        if (video && takeVideoFrame(unit)) break;
        if (nextItem == items.size()) return false;
        const std::size_t item = nextItem++;
        if (items[item].kind == MediaKind::Picture) {
            unit = {};
            unit.item = item;
            break;
        }
        try {
            video =
                std::make_unique<VideoFrames>(items[item].path, VideoFrames::Access::Sequential);
        } catch (const std::exception&) {
            video.reset();  // out of memory
        }
        videoItem = item;
        firstWritten = item == start.item ? start.frame : 0;
        nextFrame = replayStart ? 0 : firstWritten;
        if (!video || !video->isValid() || nextFrame >= video->frameCount()) {
            // Unreadable, or done before a resumed run: a unit that only ends the item.
            unit = {};
            unit.item = item;
            unit.unreadable = !video || !video->isValid();
            unit.status = video ? video->status() : PictureStatus::OutOfMemory;
            unit.size = video ? video->frameSize() : cv::Size();
            unit.error = video ? video->error() : 0;
            unit.replay = !unit.unreadable;
            video.reset();
            break;
        }
    }
    unit.seq = nextSeq++;
    return true;
}

bool FrameQueue::takeVideoFrame(WorkUnit& unit) {
    if (nextFrame >= video->frameCount()) {
        video.reset();
        return false;
    }
    unit = {};
    unit.item = videoItem;
    unit.frame = nextFrame;
    unit.rate = video->rate();
    unit.reportedRate = video->reportedRate();
    unit.replay = nextFrame < firstWritten;
    nextFrame += every;
    unit.lastOfItem = nextFrame >= video->frameCount();
    try {
        unit.picture = video->takeFrameAt(unit.frame);
    } catch (const std::exception&) {
        unit.picture.release();  // out of memory: the frame is named as unreadable
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
