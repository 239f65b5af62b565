#include "sources/VideoModel.h"

#include <algorithm>
#include <utility>

#include "io/DicomSeries.h"
#include "io/MediaFiles.h"
#include "sources/FrameObserver.h"

namespace {

// How far a video can be read: the frame count its header gives, unless the last of those
// frames cannot be read (a file cut off, a count estimated from the duration); then one after
// the last frame that decodes, found by halving the stretch between frame 0 and the header's
// last.
int readableFrameCount(quendra::VideoFrames& frames) {
    const int promised = frames.frameCount();
    if (!frames.isValid() || !frames.frameAt(promised - 1).empty()) return promised;
    int readable = 0, unreadable = promised - 1;
    while (unreadable - readable > 1) {
        const int middle = readable + (unreadable - readable) / 2;
        (frames.frameAt(middle).empty() ? unreadable : readable) = middle;
    }
    return readable + 1;
}

}  // namespace

VideoModel::VideoModel(const std::string& path, PlaybackClock::Now now)
    : clock(quendra::VideoFrames::kFallbackFps, now) {
    if (quendra::isTiffName(path) || quendra::holdsTiff(path) || quendra::isDicomFile(path)) {
        // One file of a DICOM series opens the series.
        stack.emplace(quendra::dicomStackPath(path));
        count = stack->frameCount();
        valid = startAtFirstReadableSlice();
    } else {
        video.emplace(path);
        valid = video->isValid();
        count = readableFrameCount(*video);
        clock = PlaybackClock(video->rate(), now);
    }
    timer.setInterval(std::max(kMinInterval, static_cast<int>(1000 / getRate())));
    connect(&timer, &QTimer::timeout, this, &VideoModel::playOn);
    if (valid)
        reader = std::make_unique<FrameReadAhead>([this](int i) { return readFrame(i); }, count);
}

// A video's frame is handed over for good: the reading thread hands it to another.
quendra::SliceFrame VideoModel::readFrame(int index) {
    if (stack) return stack->frameAt(index);
    quendra::SliceFrame read;
    read.frame = video->takeFrameAt(index);
    if (!read.frame.empty()) read.status = quendra::PictureStatus::Ok;
    return read;
}

// The first slice's fault stays the one told: it is the slice the operator would have seen.
bool VideoModel::startAtFirstReadableSlice() {
    if (stack->status() != quendra::PictureStatus::Ok) {
        fault.status = stack->status();
        return false;
    }
    const quendra::SliceFrame first = stack->frameAt(0);
    if (first.status == quendra::PictureStatus::Ok) return true;
    for (int i = 1; i < count; ++i)
        if (stack->frameAt(i).status == quendra::PictureStatus::Ok) {
            position = lastRead = i;
            break;
        }
    fault = first;
    return position > 0;
}

// The time noted is what reading cost, on whichever thread it was read.
cv::Mat VideoModel::getFrame() {
    if (!reader) return {};
    if (position == keptIndex) return kept;
    double cost = 0;
    quendra::SliceFrame read = reader->frameAt(position, cost);
    if (readSteps > 0) clock.noteReadCost(cost / readSteps);
    readSteps = 0;
    readFailed = read.status != quendra::PictureStatus::Ok;
    if (readFailed) {
        if (stack) fault = std::move(read);
        return {};
    }
    lastRead = keptIndex = position;
    kept = std::move(read.frame);
    return kept;
}

void VideoModel::setObserver(FrameObserver* o) {
    observer = o;
    observer->newSource();
}

void VideoModel::show(int index) {
    position = count > 0 ? ((index % count) + count) % count : 0;
    readFailed = false;
    if (observer) observer->newFrame();
    emit frameChanged(position);
    if (readFailed) emit frameUnreadable(position, lastRead);
}

// A frame chosen while playing is on time: playback goes on from it.
void VideoModel::setFrame(int index) {
    show(index);
    if (playing) clock.start();
}

void VideoModel::nextFrame() {
    setFrame(position + 1);
}

void VideoModel::prevFrame() {
    setFrame(position - 1);
}

void VideoModel::playOn() {
    const int steps = clock.stepsDue();
    if (steps == 0) return;
    if (steps > 1) {
        skipped += steps - 1;
        emit framesSkipped(skipped);
    }
    readSteps = steps;
    show(position + steps % std::max(count, 1));
}

void VideoModel::togglePlaying() {
    if (playing) {
        timer.stop();
    } else {
        clock.start();
        skipped = 0;
        emit framesSkipped(0);
        timer.start();
    }
    playing = !playing;
    if (reader) reader->setReadingOn(playing);
}
