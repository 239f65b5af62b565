#pragma once

#include <opencv2/videoio.hpp>
#include <string>

#include "sources/CameraSettings.h"

// The controls that keep a camera's colours still: automatic exposure and white balance, and
// the exposure, gain and white balance set by hand. OpenCV drives them for cameras opened
// through V4L2 only; a control the driver lacks reads as -1 there.
struct CameraControlSupport {
    std::string backend;  // the capture's back end, "V4L2", "GSTREAMER", ...; empty unknown
    bool exposure = false;
    bool gain = false;
    bool whiteBalance = false;
};

namespace camera {

CameraControlSupport probeControls(const cv::VideoCapture& capture, const std::string& backend);
// Locked controls the capture offers are set to manual and their values; unlocked ones are
// handed back to the camera's automatic control. Controls it lacks are left alone.
void applyControls(cv::VideoCapture& capture, const CameraSettings& settings,
                   const CameraControlSupport& support);

}  // namespace camera
