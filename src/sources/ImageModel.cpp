#include "sources/ImageModel.h"

#include "sources/FrameObserver.h"

ImageModel::ImageModel(const std::string& path) : read(quendra::readPicture(path)) {}

void ImageModel::setObserver(FrameObserver* o) {
    observer = o;
    observer->newSource();
}
