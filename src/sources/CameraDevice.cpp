#include "sources/CameraDevice.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace camera {

namespace {

bool isIndex(const std::string& device) {
    return !device.empty() && device.size() <= 3 &&
           std::all_of(device.begin(), device.end(),
                       [](unsigned char c) { return std::isdigit(c); });
}

// Format first: a V4L2 driver offers its sizes and rates per pixel format.
void requestFormat(cv::VideoCapture& capture, const CameraSettings& s) {
    if (s.pixelFormat.size() == 4) {
        const std::string& f = s.pixelFormat;
        capture.set(cv::CAP_PROP_FOURCC, cv::VideoWriter::fourcc(f[0], f[1], f[2], f[3]));
    }
    if (s.width > 0 && s.height > 0) {
        capture.set(cv::CAP_PROP_FRAME_WIDTH, s.width);
        capture.set(cv::CAP_PROP_FRAME_HEIGHT, s.height);
    }
    if (s.framesPerSecond > 0) capture.set(cv::CAP_PROP_FPS, s.framesPerSecond);
}

}  // namespace

bool isPipeline(const std::string& device) {
    return device.find('!') != std::string::npos;
}

std::string devicePath(const std::string& device) {
    if (isIndex(device)) return "/dev/video" + device;
    return device.starts_with("/dev/") ? device : std::string();
}

std::unique_ptr<cv::VideoCapture> open(const CameraSettings& s) {
    auto capture = std::make_unique<cv::VideoCapture>();
    try {
        if (isPipeline(s.device)) {
            // Whatever the pipeline gives is converted; the sink keeps a single buffer, so that
            // a frame waiting there is never older than one.
            const bool sink = s.device.find("appsink") != std::string::npos;
            capture->open(
                sink ? s.device : s.device + " ! videoconvert ! appsink max-buffers=1 drop=true",
                cv::CAP_GSTREAMER);
            return capture;
        }
        if (isIndex(s.device))
            capture->open(std::stoi(s.device), cv::CAP_ANY);
        else if (!devicePath(s.device).empty())
            capture->open(s.device, cv::CAP_V4L2);
        else  // a stream address: FFmpeg speaks RTSP, HTTP and the like
            capture->open(s.device, cv::CAP_FFMPEG);
        if (capture->isOpened()) requestFormat(*capture, s);
    } catch (const cv::Exception&) {
        capture->release();
    }
    return capture;
}

CameraFault faultOf(const CameraSettings& s) {
    const std::string path = devicePath(s.device);
    if (path.empty()) return CameraFault::Refused;
    if (::access(path.c_str(), F_OK) != 0) return CameraFault::Missing;
    if (::access(path.c_str(), R_OK | W_OK) != 0) return CameraFault::NoAccess;
    return CameraFault::Busy;
}

std::string fourccText(double fourcc) {
    if (!(fourcc > 0 && fourcc < 4294967296.0)) return {};
    const auto code = static_cast<std::uint32_t>(fourcc);
    std::string text;
    for (int i = 0; i < 4; ++i) text += static_cast<char>((code >> (8 * i)) & 0xFF);
    const bool printable = std::all_of(text.begin(), text.end(),
                                       [](unsigned char c) { return std::isalnum(c) || c == ' '; });
    return printable ? text : std::string();
}

}  // namespace camera
