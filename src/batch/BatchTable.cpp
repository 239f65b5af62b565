#include "batch/BatchTable.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>

#include "report/ResultOverlay.h"

namespace quendra {

namespace {

// The length of the valid UTF-8 sequence at the start of `s`, or 0.
std::size_t utf8SequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length;
    std::uint32_t min;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, min = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, min = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, min = 0x10000;
    else
        return 0;
    if (s.size() < length) return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= min && code <= 0x10FFFF && !surrogate ? length : 0;
}

// The shortest text that reads back as the same float, with a decimal point in any locale; a
// negative zero is written 0, and what is not a number stays empty.
std::string number(double v) {
    if (std::isnan(v)) return {};
    auto f = static_cast<float>(v);
    if (f == 0) f = 0;
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, f).ptr;
    return {buffer, end};
}

// One measured object: what the columns from area_px on hold.
struct Measured {
    double area, x, y, angle, major, minor;
    RegionShape shape;
};

void appendRow(std::string& rows, const std::string& place, const std::string& object,
               const std::string& type, const std::string& canals, const Measured& m,
               bool millimetres, std::optional<double> pxPerMm) {
    rows += place + "," + object + "," + csvField(type) + "," + canals + "," + number(m.area) +
            "," + number(m.x) + "," + number(m.y) + "," + number(m.angle) + "," + number(m.major) +
            "," + number(m.minor) + "," + number(m.shape.perimeter) + "," +
            number(m.shape.circularity) + "," + number(m.shape.aspectRatio) + "," + m.shape.shape;
    if (millimetres && pxPerMm) {
        const double s = *pxPerMm;
        rows += "," + number(s) + "," + number(m.area / (s * s)) + "," + number(m.x / s) + "," +
                number(m.y / s) + "," + number(m.major / s) + "," + number(m.minor / s) + "," +
                number(m.shape.perimeter / s);
    } else if (millimetres) {
        rows += ",,,,,,,";
    }
    rows += "\r\n";
}

}  // namespace

std::string utf8Text(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto escape = [&](std::string& text, unsigned char byte) {
        text += "\\x";
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    };
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t n = utf8SequenceLength(bytes);
        const auto lead = static_cast<unsigned char>(bytes[0]);
        const bool control =
            lead < 0x20 || lead == 0x7F ||
            (n == 2 && lead == 0xC2 && static_cast<unsigned char>(bytes[1]) < 0xA0);
        if (n > 0 && !control) {
            text.append(bytes.substr(0, n));
        } else {
            for (std::size_t i = 0; i < std::max<std::size_t>(n, 1); ++i)
                escape(text, static_cast<unsigned char>(bytes[i]));
        }
        bytes.remove_prefix(std::max<std::size_t>(n, 1));
    }
    return text;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string tableHeader(bool millimetres) {
    std::string header =
        "file,frame,object,type,canals,area_px,x_px,y_px,angle_deg,major_semi_px,minor_semi_px,"
        "perimeter_px,circularity,aspect_ratio,shape";
    if (millimetres)
        header += ",px_per_mm,area_mm2,x_mm,y_mm,major_semi_mm,minor_semi_mm,perimeter_mm";
    return header + "\r\n";
}

std::string frameRows(const std::string& file, int frame, const FrameResult& result,
                      const std::vector<RegionShape>& shapes, bool millimetres,
                      std::optional<double> pxPerMm) {
    const std::string place = csvField(file) + "," + (frame >= 0 ? std::to_string(frame) : "");
    if (!result.toothFound) {
        std::string row = place + ",none,,,,,,,,,,,,";
        if (millimetres) row += ",,,,,,,";
        return row + "\r\n";
    }
    std::string rows;
    const ToothResult& t = result.tooth;
    appendRow(rows, place, "tooth", toothTypeText(t.toothType),
              std::to_string(result.canals.size()),
              {t.area, double(t.centerX), double(t.centerY), t.angle, t.majorAxis, t.minorAxis,
               shapes.at(0)},
              millimetres, pxPerMm);
    for (std::size_t i = 0; i < result.canals.size(); ++i) {
        const CanalResult& c = result.canals[i];
        appendRow(rows, place, "canal " + std::to_string(i + 1), "", "",
                  {c.area, double(c.centerX), double(c.centerY), c.angle, c.majorAxis, c.minorAxis,
                   shapes.at(i + 1)},
                  millimetres, pxPerMm);
    }
    return rows;
}

TableFile::~TableFile() {
    if (fd >= 0) ::close(fd);
}

bool TableFile::open(const std::filesystem::path& path) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) return false;
    length = static_cast<std::uintmax_t>(end);
    return true;
}

bool TableFile::lock() {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool TableFile::truncate(std::uintmax_t bytes) {
    if (::ftruncate(fd, static_cast<off_t>(bytes)) != 0) return false;
    length = bytes;
    return true;
}

bool TableFile::append(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(length + done));
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            const int error = n < 0 ? errno : ENOSPC;
            (void)!::ftruncate(fd, static_cast<off_t>(length));
            errno = error;
            return false;
        }
    }
    length += done;
    return true;
}

bool TableFile::sync() {
    return ::fsync(fd) == 0;
}

}  // namespace quendra
