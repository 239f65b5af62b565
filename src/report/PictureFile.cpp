#include "report/PictureFile.h"

#include <filesystem>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "colour/FileWriting.h"

namespace quendra {

bool savePicture(const std::string& path, const cv::Mat& picture) {
    if (picture.empty()) return false;
    std::string extension = std::filesystem::path(path).extension().string();
    if (extension.empty()) extension = ".png";
    std::vector<uchar> bytes;
    try {
        if (!cv::imencode(extension, picture, bytes)) return false;
    } catch (const cv::Exception&) {
        return false;
    }
    return writeFileReplacing(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

}  // namespace quendra
