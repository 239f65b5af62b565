#include "sources/ImageModel.h"

#include <opencv2/imgcodecs.hpp>

#include "sources/FrameObserver.h"

ImageModel::ImageModel(const std::string& path) {
    try {
        image = cv::imread(path, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        image.release();  // a decoder that gives up on a broken file: treated as unreadable
    }
}

void ImageModel::setObserver(FrameObserver* o) {
    observer = o;
    observer->newSource();
}
