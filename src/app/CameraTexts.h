#pragma once

// The camera's German status lines.

#include <QString>

#include "sources/CameraSettings.h"

// `Kamera geöffnet: 1920 × 1080 Bildpunkte, MJPG, 30 Bilder/s.` (as far as the camera reports
// them; `Kamera geöffnet.` before its first frame), and what was asked for when the camera
// delivers something else.
QString cameraOpenedStatus(const CameraSettings& asked, const CameraDelivery& delivered);
// Why the camera of `settings` could not be opened.
QString cameraFaultText(CameraFault fault, const CameraSettings& settings);
// `1920 × 1080 Bildpunkte, MJPG, 30 Bilder/s`: what is set of the format, empty for none.
QString cameraFormatText(int width, int height, const std::string& format, double rate);
