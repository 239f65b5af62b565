#include "report/ReportText.h"

#include <cmath>
#include <cstdio>

namespace quendra {

namespace {

// Digits with a dot between every three from the right.
std::string groupThousands(const std::string& digits) {
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += '.';
        grouped += digits[i];
    }
    return grouped;
}

}  // namespace

std::string germanCount(std::size_t count) {
    return groupThousands(std::to_string(count));
}

std::string germanNumber(double value, int decimals) {
    if (!std::isfinite(value)) return "–";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
    const std::string fixed = buffer;
    const std::size_t point = fixed.find('.');
    std::string text = groupThousands(fixed.substr(0, point));
    if (point != std::string::npos) text += "," + fixed.substr(point + 1);
    const bool zero = text.find_first_not_of("0.,") == std::string::npos;
    return value < 0 && !zero ? "-" + text : text;
}

std::string urlPath(std::string_view path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            url += c;
        } else {
            url += '%';
            url += hex[b >> 4];
            url += hex[b & 15];
        }
    }
    return url;
}

}  // namespace quendra
