#pragma once

#include <string>

#include "io/PictureFile.h"
#include "sources/FrameModel.h"

// A still image read from a file: one newSource() when attached, no newFrame() ever. Every
// image, greyscale and 16-bit ones included, arrives as an 8-bit B,G,R frame.
class ImageModel : public FrameModel {
    Q_OBJECT
public:
    // `path` in the platform's file-name encoding.
    explicit ImageModel(const std::string& path);

    // False when the file could not be read as an image; status() says why.
    bool isValid() const { return read.status == quendra::PictureStatus::Ok; }
    quendra::PictureStatus status() const { return read.status; }
    // errno of the file that could not be opened.
    int error() const { return read.error; }
    // The picture's size as its file gives it, also for one refused as too large.
    cv::Size pictureSize() const { return read.size; }

    cv::Mat getFrame() override { return read.picture; }
    void setObserver(FrameObserver* observer) override;

private:
    quendra::PictureRead read;
    FrameObserver* observer = nullptr;
};
