#pragma once

#include <string>

#include "sources/FrameModel.h"

// A still image read from a file: one newSource() when attached, no newFrame() ever. Every
// image, greyscale and 16-bit ones included, arrives as an 8-bit B,G,R frame.
class ImageModel : public FrameModel {
    Q_OBJECT
public:
    // `path` in the platform's file-name encoding.
    explicit ImageModel(const std::string& path);

    // False when the file could not be read as an image.
    bool isValid() const { return !image.empty(); }

    cv::Mat getFrame() override { return image; }
    void setObserver(FrameObserver* observer) override;

private:
    cv::Mat image;
    FrameObserver* observer = nullptr;
};
