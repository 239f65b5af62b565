#pragma once

#include <memory>
#include <opencv2/videoio.hpp>
#include <string>

#include "sources/CameraSettings.h"

// Opening the device the operator named, asking it for the chosen format, and saying why it
// could not be opened or what it delivers instead.
namespace camera {

// A GStreamer pipeline (it contains '!'); one without a sink of its own gets an appsink.
bool isPipeline(const std::string& device);
// The device file behind an index or a path ("/dev/video0" for "0"); empty for a pipeline or a
// stream address.
std::string devicePath(const std::string& device);

// The capture opened as the settings say (the format asked for where the device is a camera
// rather than a pipeline); not opened when it could not be.
std::unique_ptr<cv::VideoCapture> open(const CameraSettings& settings);
// Why the device of `settings` did not open.
CameraFault faultOf(const CameraSettings& settings);

// A fourcc as its four letters; empty for none or one that is not printable.
std::string fourccText(double fourcc);

}  // namespace camera
