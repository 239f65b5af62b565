#pragma once

#include <string>

// What the operator chose for the camera. Zero and empty leave a setting to the camera.
struct CameraSettings {
    // A camera index ("0"), a device path ("/dev/video2"), a GStreamer pipeline (it contains
    // '!') or a stream address ("rtsp://...").
    std::string device = "0";
    int width = 0;
    int height = 0;
    std::string pixelFormat;  // a fourcc: "MJPG", "YUYV"
    double framesPerSecond = 0;

    // Locked: automatic exposure (white balance) off, the value below set. Unlocked, the
    // camera keeps its own automatic control and the value is not sent.
    bool lockExposure = false;
    double exposure = 0;  // in the driver's units
    double gain = 0;      // sent with a locked exposure
    bool lockWhiteBalance = false;
    double whiteBalance = 4600;  // kelvin

    bool operator==(const CameraSettings&) const = default;
};

// Why a camera could not be opened.
enum class CameraFault {
    None,
    Missing,   // no such device
    NoAccess,  // the device exists, but may not be opened by this user
    Busy,      // the device exists but could not be started: in use by another program?
    Refused,   // no back end could open the device, pipeline or address
};

// What an opened camera delivers: its frames' size, and its pixel format and rate as the
// device reports them (empty and 0 where it does not).
struct CameraDelivery {
    int width = 0;
    int height = 0;
    std::string pixelFormat;
    double framesPerSecond = 0;
};
