#include "io/DicomSeries.h"

#include <gdcmImageHelper.h>
#include <gdcmImageReader.h>
#include <gdcmReader.h>
#include <gdcmStringFilter.h>
#include <gdcmTrace.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "io/MediaFiles.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

const gdcm::Tag kPixelData(0x7fe0, 0x0010);

// GDCM writes its warnings and errors to standard error; the stack names its problems itself.
void silenceGdcm() {
    static const bool silenced = [] {
        gdcm::Trace::WarningOff();
        gdcm::Trace::ErrorOff();
        gdcm::Trace::DebugOff();
        return true;
    }();
    (void)silenced;
}

// What the stack needs of a file's header.
struct Header {
    fs::path file;
    std::string series;
    std::vector<double> position, orientation, spacing, window;
    int instance = 0, frames = 1, rows = 0, columns = 0, samples = 1, bits = 0, pixelSign = 0;
    double slope = 1, intercept = 0, sliceSpacing = 0;
    std::string photometric;
};

// The numbers of a backslash-separated value; none where the element is missing or empty.
std::vector<double> numbers(const gdcm::StringFilter& filter, const gdcm::DataSet& data,
                            std::uint16_t group, std::uint16_t element) {
    const gdcm::Tag tag(group, element);
    std::vector<double> values;
    if (!data.FindDataElement(tag) || data.GetDataElement(tag).IsEmpty()) return values;
    std::istringstream text(filter.ToString(tag));
    for (std::string part; std::getline(text, part, '\\');) {
        char* end = nullptr;
        const double v = std::strtod(part.c_str(), &end);
        if (end != part.c_str() && std::isfinite(v)) values.push_back(v);
    }
    return values;
}

std::optional<Header> headerOf(const fs::path& file) {
    gdcm::Reader reader;
    reader.SetFileName(file.c_str());
    if (!reader.ReadUpToTag(kPixelData, {kPixelData})) return std::nullopt;
    const gdcm::DataSet& data = reader.GetFile().GetDataSet();
    gdcm::StringFilter filter;
    filter.SetFile(reader.GetFile());
    const auto one = [&](std::uint16_t g, std::uint16_t e, double otherwise) {
        const std::vector<double> v = numbers(filter, data, g, e);
        return v.empty() ? otherwise : v.front();
    };
    Header h;
    h.file = file;
    const gdcm::Tag seriesTag(0x0020, 0x000e);
    if (data.FindDataElement(seriesTag)) h.series = filter.ToString(seriesTag);
    while (!h.series.empty() && (h.series.back() == '\0' || h.series.back() == ' '))
        h.series.pop_back();
    h.position = numbers(filter, data, 0x0020, 0x0032);
    h.orientation = numbers(filter, data, 0x0020, 0x0037);
    h.spacing = numbers(filter, data, 0x0028, 0x0030);
    h.window = numbers(filter, data, 0x0028, 0x1050);
    const std::vector<double> width = numbers(filter, data, 0x0028, 0x1051);
    if (h.window.empty() || width.empty() || width.front() <= 0)
        h.window.clear();
    else
        h.window = {h.window.front(), width.front()};
    h.instance = static_cast<int>(one(0x0020, 0x0013, 0));
    h.frames = static_cast<int>(one(0x0028, 0x0008, 1));
    h.rows = static_cast<int>(one(0x0028, 0x0010, 0));
    h.columns = static_cast<int>(one(0x0028, 0x0011, 0));
    h.samples = static_cast<int>(one(0x0028, 0x0002, 1));
    h.bits = static_cast<int>(one(0x0028, 0x0100, 0));
    h.pixelSign = static_cast<int>(one(0x0028, 0x0103, 0));
    h.slope = one(0x0028, 0x1053, 1);
    h.intercept = one(0x0028, 0x1052, 0);
    h.sliceSpacing = one(0x0018, 0x0088, 0);
    const gdcm::Tag photometricTag(0x0028, 0x0004);
    if (data.FindDataElement(photometricTag)) h.photometric = filter.ToString(photometricTag);
    h.photometric.erase(h.photometric.find_last_not_of(" \0", std::string::npos, 2) + 1);
    // A multi-frame file keeps its spacing and rescale in functional groups, which GDCM reads.
    if (h.frames > 1) {
        const std::vector<double> spacing = gdcm::ImageHelper::GetSpacingValue(reader.GetFile());
        const std::vector<double> rescale =
            gdcm::ImageHelper::GetRescaleInterceptSlopeValue(reader.GetFile());
        if (spacing.size() == 3) h.spacing = {spacing[1], spacing[0]}, h.sliceSpacing = spacing[2];
        if (rescale.size() == 2) h.intercept = rescale[0], h.slope = rescale[1];
    }
    if (h.slope == 0) h.slope = 1;
    return h;
}

// Why the image is not read, or empty.
std::string unreadablePart(const Header& h) {
    if (h.rows <= 0 || h.columns <= 0) return "it holds no image (a directory or a report?)";
    if (h.samples != 1 || (h.photometric != "MONOCHROME1" && h.photometric != "MONOCHROME2"))
        return "it is a colour image (" + h.photometric + "); grey images are read";
    if (h.bits != 8 && h.bits != 16)
        return std::to_string(h.bits) + " bits a sample; 8 or 16 bits are read";
    if (std::int64_t{h.rows} * h.columns > kMaxPicturePixels)
        return pixelLimitReason({h.columns, h.rows});
    return {};
}

// The slice normal's coordinate of a header's position; NaN without position or orientation.
double along(const Header& h, const std::vector<double>& orientation) {
    if (h.position.size() != 3 || orientation.size() != 6) return std::nan("");
    const double* r = orientation.data();
    const double* c = r + 3;
    const double n[3] = {r[1] * c[2] - r[2] * c[1], r[2] * c[0] - r[0] * c[2],
                         r[0] * c[1] - r[1] * c[0]};
    return h.position[0] * n[0] + h.position[1] * n[1] + h.position[2] * n[2];
}

// "a, b, c and 4 more": the first few of many file names.
std::string someNames(const std::vector<fs::path>& files) {
    std::string text;
    for (std::size_t i = 0; i < files.size() && i < 3; ++i)
        text += (i ? ", " : "") + files[i].filename().string();
    if (files.size() > 3) text += " and " + std::to_string(files.size() - 3) + " more";
    return text;
}

// The series' slices in order along the normal (by InstanceNumber without positions), slices at
// a position taken already left out; the median step between positions in mm, or 0.
double orderSlices(std::vector<Header>& slices, std::vector<std::string>& notes) {
    const std::vector<double> orientation = slices.front().orientation;
    std::vector<double> at;
    for (const Header& h : slices) at.push_back(along(h, orientation));
    const bool placed = std::none_of(at.begin(), at.end(), [](double d) { return std::isnan(d); });
    std::vector<std::size_t> order(slices.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (placed && at[a] != at[b]) return at[a] < at[b];
        return slices[a].instance < slices[b].instance;
    });
    if (!placed)
        notes.push_back(
            "its files give no ImagePositionPatient and ImageOrientationPatient; the "
            "slices are ordered by InstanceNumber and have no slice distance");
    std::vector<Header> sorted;
    std::vector<double> steps;
    for (const std::size_t i : order) {
        if (placed && !sorted.empty() &&
            std::abs(at[i] - along(sorted.back(), orientation)) < 1e-4) {
            notes.push_back(slices[i].file.filename().string() + " lies at the position of " +
                            sorted.back().file.filename().string() + " and is left out");
            continue;
        }
        if (placed && !sorted.empty()) steps.push_back(at[i] - along(sorted.back(), orientation));
        sorted.push_back(std::move(slices[i]));
    }
    slices = std::move(sorted);
    if (steps.empty()) return 0;
    std::vector<double> ordered = steps;
    std::nth_element(ordered.begin(), ordered.begin() + ordered.size() / 2, ordered.end());
    // Rounded to a nanometre: the positions are decimals of a few digits, their differences not.
    const double median = std::round(ordered[ordered.size() / 2] * 1e6) / 1e6;
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (steps[i] > 1.5 * median) {
            std::ostringstream gap;
            gap << "a gap of " << steps[i] << " mm between slice " << i + 1 << " ("
                << slices[i].file.filename().string() << ") and slice " << i + 2
                << ", where the slices lie " << median
                << " mm apart: lengths and volumes across it come out too small";
            notes.push_back(gap.str());
        }
    return median;
}

// Decodes every frame of `file` into `all` (the frames one below the other, as stored: 8 or 16
// bits, signed or not); the reason when it cannot.
std::string decode(const fs::path& file, cv::Mat& all) {
    gdcm::ImageReader reader;
    reader.SetFileName(file.c_str());
    if (!reader.Read()) return "GDCM cannot read it as an image";
    const gdcm::Image& image = reader.GetImage();
    const unsigned* dims = image.GetDimensions();
    const gdcm::PixelFormat& format = image.GetPixelFormat();
    const int frames = image.GetNumberOfDimensions() > 2 ? static_cast<int>(dims[2]) : 1;
    const int bits = format.GetBitsAllocated();
    if (format.GetSamplesPerPixel() != 1 || (bits != 8 && bits != 16))
        return "the decoded image is no grey image of 8 or 16 bits";
    const int depth = bits == 8 ? (format.GetPixelRepresentation() ? CV_8S : CV_8U)
                                : (format.GetPixelRepresentation() ? CV_16S : CV_16U);
    all.create(static_cast<int>(dims[1]) * frames, static_cast<int>(dims[0]), depth);
    if (image.GetBufferLength() != all.total() * all.elemSize())
        return "its pixel data is not as long as its header says";
    if (!image.GetBuffer(reinterpret_cast<char*>(all.data)))
        return "its pixel data cannot be decoded (transfer syntax " +
               std::string(gdcm::TransferSyntax::GetTSString(image.GetTransferSyntax())) + ")";
    return {};
}

// The values of a series by the header of its first slice.
DicomValues valuesOf(const Header& h) {
    DicomValues f;
    f.sign = h.photometric == "MONOCHROME1" ? -1 : 1;
    const double lowest = h.pixelSign ? -std::ldexp(1.0, h.bits - 1) : 0;
    const double highest =
        h.pixelSign ? std::ldexp(1.0, h.bits - 1) - 1 : std::ldexp(1.0, h.bits) - 1;
    const double a = f.sign * (h.slope * lowest + h.intercept);
    const double b = f.sign * (h.slope * highest + h.intercept);
    f.offset = std::clamp(-std::floor(std::min(a, b)), 0.0, 32768.0);
    f.asStored = h.bits == 8 && !h.pixelSign && h.slope == 1 && h.intercept == 0 &&
                 h.window.empty() && f.sign > 0;
    if (!h.window.empty()) {
        const double centre = f.sign * h.window[0] + f.offset, half = h.window[1] / 2;
        const double low = std::clamp(centre - half, 0.0, 65534.0);
        f.window = std::pair{low, std::clamp(centre + half, low + 1, 65535.0)};
    }
    return f;
}

}  // namespace

struct DicomSeries::Decoded {
    cv::Mat frames;      // the frames one below the other, as stored
    std::string reason;  // why they cannot be decoded
};

bool isDicomFile(const std::string& path) {
    if (!isRegularFile(path)) return false;
    std::ifstream in(path, std::ios::binary);
    char head[132] = {};
    return in.read(head, sizeof head) && std::string_view(head + 128, 4) == "DICM";
}

bool holdsDicom(const fs::path& folder) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (isDicomFile(entry.path().string())) return true;
    return false;
}

std::string dicomStackPath(const std::string& file) {
    if (!isDicomFile(file)) return file;
    const std::optional<Header> h = headerOf(file);
    if (!h || h->frames > 1) return file;
    const fs::path folder = fs::path(file).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

DicomSeries::~DicomSeries() = default;

DicomSeries::DicomSeries(const std::string& path) : path_(path) {
    silenceGdcm();
    std::error_code ec;
    if (fs::is_directory(path, ec))
        openFolder(path);
    else if (isRegularFile(path))
        openFile(path);
    else
        status_ = PictureStatus::NotAFile;
    if (status_ == PictureStatus::Ok && slices_.empty()) status_ = PictureStatus::Unreadable;
}

void DicomSeries::openFolder(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (isRegularFile(entry.path().string())) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::map<std::string, std::vector<Header>> series;
    std::map<std::string, std::vector<fs::path>> leftOut;  // why, which files
    for (const fs::path& file : files) {
        if (!isDicomFile(file.string())) {
            leftOut["no DICOM files"].push_back(file);
            continue;
        }
        std::optional<Header> h = headerOf(file);
        const std::string why = !h              ? "DICOM files whose header cannot be read"
                                : h->frames > 1 ? "multi-frame files (each a stack of its own)"
                                                : unreadablePart(*h);
        if (why.empty())
            series[h->series].push_back(std::move(*h));
        else
            leftOut[why].push_back(file);
    }
    auto chosen = std::max_element(series.begin(), series.end(), [](const auto& a, const auto& b) {
        return a.second.size() < b.second.size();
    });
    for (auto it = series.begin(); it != series.end(); ++it) {
        if (it == chosen) continue;
        std::vector<fs::path> names;
        for (const Header& h : it->second) names.push_back(h.file);
        leftOut["files of another series (" + it->first + ")"] = names;
    }
    if (chosen != series.end()) {
        std::vector<Header>& slices = chosen->second;
        const Header first = slices.front();
        std::erase_if(slices, [&](const Header& h) {
            const bool other = h.rows != first.rows || h.columns != first.columns;
            if (other) leftOut["files of another size than the series' first"].push_back(h.file);
            return other;
        });
    }
    for (const auto& [why, names] : leftOut)
        notes_.push_back(std::to_string(names.size()) + " " + why +
                         " left out: " + someNames(names));
    if (chosen == series.end()) {
        problem_ = "the folder holds no DICOM image to stack";
        if (!notes_.empty()) problem_ += " (" + notes_.front() + ")";
        return;
    }
    std::vector<Header>& slices = chosen->second;
    const double step = orderSlices(slices, notes_);
    values_ = valuesOf(slices.front());
    bits_ = slices.front().bits, rows_ = slices.front().rows, columns_ = slices.front().columns;
    scale_ = slices.front().spacing.size() == 2
                 ? squarePixels(slices.front().spacing[1], slices.front().spacing[0],
                                "DICOM PixelSpacing and ImagePositionPatient")
                 : FileScale{};
    if (step > 0) scale_.sliceMm = step;
    for (const Header& h : slices) slices_.push_back({h.file, 0, h.slope, h.intercept});
    status_ = PictureStatus::Ok;
}

void DicomSeries::openFile(const fs::path& file) {
    const std::optional<Header> h = isDicomFile(file.string()) ? headerOf(file) : std::nullopt;
    if (!h) {
        problem_ = "not a DICOM file, or its header cannot be read";
        return;
    }
    if (const std::string why = unreadablePart(*h); !why.empty()) {
        problem_ = why;
        return;
    }
    values_ = valuesOf(*h);
    bits_ = h->bits, rows_ = h->rows, columns_ = h->columns;
    scale_ = h->spacing.size() == 2
                 ? squarePixels(h->spacing[1], h->spacing[0], "DICOM PixelSpacing")
                 : FileScale{};
    if (h->frames > 1 && h->sliceSpacing > 0) {
        scale_.sliceMm = h->sliceSpacing;
        scale_.source += ", SpacingBetweenSlices";
    }
    for (int f = 0; f < std::max(h->frames, 1); ++f)
        slices_.push_back({file, f, h->slope, h->intercept});
    status_ = PictureStatus::Ok;
}

SliceRead DicomSeries::read(int index) {
    SliceRead out;
    if (index < 0 || index >= sliceCount()) return out;
    const Slice& s = slices_[static_cast<std::size_t>(index)];
    cv::Mat stored;
    const bool multiFrame = slices_.size() > 1 && slices_.front().file == slices_.back().file;
    if (multiFrame && !decoded_) {
        decoded_ = std::make_unique<Decoded>();
        decoded_->reason = decode(s.file, decoded_->frames);
    }
    const std::string reason = multiFrame ? decoded_->reason : decode(s.file, stored);
    if (!reason.empty()) {
        out.reason = s.file.filename().string() + ": " + reason;
        return out;
    }
    if (multiFrame) {
        const int rows = decoded_->frames.rows / sliceCount();
        stored = decoded_->frames.rowRange(s.frame * rows, (s.frame + 1) * rows);
    } else if (stored.rows != rows_ || stored.cols != columns_) {
        out.reason = s.file.filename().string() + ": its image has another size than its header";
        return out;
    }
    out.size = stored.size();
    if (values_.asStored && stored.depth() == CV_8U)
        out.slice = stored.clone();
    else
        stored.convertTo(out.slice, CV_16U, values_.sign * s.slope,
                         values_.sign * s.intercept + values_.offset);
    out.status = PictureStatus::Ok;
    return out;
}

std::string DicomSeries::sliceName(int index) const {
    if (index < 0 || index >= sliceCount()) return path_;
    const Slice& s = slices_[static_cast<std::size_t>(index)];
    if (slices_.size() > 1 && slices_.front().file == slices_.back().file)
        return s.file.string() + " frame " + std::to_string(s.frame + 1);
    return s.file.string();
}

}  // namespace quendra
