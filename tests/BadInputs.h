#pragma once

// Files an operator or a researcher may feed the program: broken, odd or misnamed pictures and
// videos, and colour-class files of odd sizes. `readable` says whether a picture or video can
// be analysed at all; the unreadable ones must be refused with a message naming them.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

struct BadInput {
    std::filesystem::path path;
    bool readable;
};

inline void writeText(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

inline std::string fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// An MJPG video of `frames` frames cut off after `keep` of its bytes (0..1): its index still
// promises every frame, but the last ones cannot be decoded.
inline std::filesystem::path makeVideoWithBrokenTail(const std::filesystem::path& dir, int frames,
                                                     double keep) {
    const auto path = dir / "abgebrochen.avi";
    {
        cv::VideoWriter writer(path.string(), cv::CAP_FFMPEG,
                               cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 25, cv::Size(64, 48));
        cv::Mat noise(48, 64, CV_8UC3);
        for (int i = 0; i < frames; ++i) {
            cv::randu(noise, 0, 256);
            writer.write(noise);
        }
    }
    std::filesystem::resize_file(
        path, static_cast<std::uintmax_t>(std::filesystem::file_size(path) * keep));
    return path;
}

inline std::vector<BadInput> makeBadPictures(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    cv::Mat tooth(60, 80, CV_8UC3, cv::Scalar(200, 220, 240));
    std::vector<uchar> png, jpg;
    cv::imencode(".png", tooth, png);
    cv::imencode(".jpg", tooth, jpg);
    std::vector<BadInput> inputs;
    const auto add = [&](const std::string& name, const std::string& bytes, bool readable) {
        writeText(dir / name, bytes);
        inputs.push_back({dir / name, readable});
    };
    add("leer.png", "", false);
    add("leer.jpg", "", false);
    add("halb.png", std::string(png.begin(), png.begin() + static_cast<long>(png.size() / 3)),
        false);
    add("text.png", "Dies ist kein Bild.\n", false);
    add("halb.jpg", std::string(jpg.begin(), jpg.begin() + static_cast<long>(jpg.size() * 2 / 3)),
        false);
    cv::imwrite((dir / "pixel 1x1.png").string(), cv::Mat(1, 1, CV_8UC3, cv::Scalar(1, 2, 3)));
    inputs.push_back({dir / "pixel 1x1.png", true});
    cv::imwrite((dir / "streifen.png").string(), cv::Mat(5000, 1, CV_8UC3, cv::Scalar(9, 9, 9)));
    inputs.push_back({dir / "streifen.png", true});
    cv::imwrite((dir / "tief 16bit.png").string(),
                cv::Mat(40, 40, CV_16UC3, cv::Scalar(40000, 1000, 65535)));
    inputs.push_back({dir / "tief 16bit.png", true});
    cv::imwrite((dir / "grau.png").string(), cv::Mat(40, 40, CV_8UC1, cv::Scalar(128)));
    inputs.push_back({dir / "grau.png", true});
    cv::imwrite((dir / "Zähne.jpg").string(), tooth);
    inputs.push_back({dir / "Zähne.jpg", true});
    {
        cv::VideoWriter empty((dir / "ohne Bilder.avi").string(), cv::CAP_FFMPEG,
                              cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 25, cv::Size(64, 48));
    }
    inputs.push_back({dir / "ohne Bilder.avi", false});
    std::vector<uchar> huge;  // a small file whose header promises 30000 x 30000 pixels
    cv::imencode(".png", cv::Mat(1, 30000, CV_8UC3, cv::Scalar::all(0)), huge);
    huge[22] = 0x75, huge[23] = 0x30;
    add("riesig.png", std::string(huge.begin(), huge.end()), false);
    ::mkfifo((dir / "rohr.png").c_str(), 0600);  // opening it would wait forever
    inputs.push_back({dir / "rohr.png", false});
    fs::create_directories(dir / "ordner.png");
    inputs.push_back({dir / "ordner.png", false});
    inputs.push_back({dir / "fehlt.png", false});
    return inputs;
}
