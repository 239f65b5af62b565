#include "sources/CameraControls.h"

namespace camera {

namespace {

// V4L2's exposure modes (V4L2_CID_EXPOSURE_AUTO), which OpenCV passes on as they are.
constexpr double kManualExposure = 1;
constexpr double kAutomaticExposure = 3;  // aperture priority: what USB cameras offer

bool offers(const cv::VideoCapture& capture, int property) {
    try {
        return capture.get(property) != -1;
    } catch (const cv::Exception&) {
        return false;
    }
}

}  // namespace

CameraControlSupport probeControls(const cv::VideoCapture& capture, const std::string& backend) {
    CameraControlSupport support;
    support.backend = backend;
    if (backend != "V4L2") return support;
    support.exposure =
        offers(capture, cv::CAP_PROP_AUTO_EXPOSURE) && offers(capture, cv::CAP_PROP_EXPOSURE);
    support.gain = offers(capture, cv::CAP_PROP_GAIN);
    support.whiteBalance =
        offers(capture, cv::CAP_PROP_AUTO_WB) && offers(capture, cv::CAP_PROP_WB_TEMPERATURE);
    return support;
}

// Automatic control off before the value: a camera in automatic mode ignores it.
void applyControls(cv::VideoCapture& capture, const CameraSettings& s,
                   const CameraControlSupport& support) {
    if (support.exposure) {
        capture.set(cv::CAP_PROP_AUTO_EXPOSURE,
                    s.lockExposure ? kManualExposure : kAutomaticExposure);
        if (s.lockExposure) capture.set(cv::CAP_PROP_EXPOSURE, s.exposure);
    }
    if (support.gain && s.lockExposure) capture.set(cv::CAP_PROP_GAIN, s.gain);
    if (support.whiteBalance) {
        capture.set(cv::CAP_PROP_AUTO_WB, s.lockWhiteBalance ? 0 : 1);
        if (s.lockWhiteBalance) capture.set(cv::CAP_PROP_WB_TEMPERATURE, s.whiteBalance);
    }
}

}  // namespace camera
