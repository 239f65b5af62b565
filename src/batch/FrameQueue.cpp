#include "batch/FrameQueue.h"

namespace quendra {

FrameQueue::FrameQueue(const std::vector<BatchItem>& i, int e, std::size_t m)
    : items(i), every(e), maxAhead(m) {}

bool FrameQueue::next(WorkUnit& unit) {
    std::unique_lock lock(mutex);
    progress.wait(lock, [&] { return stopped || nextSeq < writtenUpTo + maxAhead; });
    for (;;) {
        if (stopped) return false;
        if (video && takeVideoFrame(unit)) break;
        if (nextItem == items.size()) return false;
        const std::size_t item = nextItem++;
        if (items[item].kind == MediaKind::Picture) {
            unit = {0, item, -1, true, false, {}};
            break;
        }
        try {
            video =
                std::make_unique<VideoFrames>(items[item].path, VideoFrames::Access::Sequential);
        } catch (const std::exception&) {
            video.reset();  // out of memory: the video is named as unreadable
        }
        videoItem = item;
        nextFrame = 0;
        if (!video || !video->isValid()) {
            video.reset();
            unit = {0, item, -1, true, true, {}};
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
    const int frame = nextFrame;
    nextFrame += every;
    cv::Mat picture;
    try {
        picture = video->frameAt(frame).clone();
    } catch (const std::exception&) {
        picture.release();  // out of memory: the frame is named as unreadable
    }
    unit = {0, videoItem, frame, nextFrame >= video->frameCount(), picture.empty(), picture};
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
