#include "DicomSeriesWriter.h"

#include <gdcmImageChangeTransferSyntax.h>
#include <gdcmImageWriter.h>
#include <gdcmMediaStorage.h>
#include <gdcmReader.h>
#include <gdcmTrace.h>
#include <gdcmWriter.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <random>
#include <sstream>

namespace quendra {

namespace {

// A text element (UI, DS, IS), padded to an even length as DICOM asks.
void put(gdcm::DataSet& data, std::uint16_t group, std::uint16_t element, gdcm::VR vr,
         std::string text) {
    if (text.size() % 2) text += vr == gdcm::VR::UI ? '\0' : ' ';
    gdcm::DataElement e(gdcm::Tag(group, element));
    e.SetVR(vr);
    e.SetByteValue(text.data(), static_cast<std::uint32_t>(text.size()));
    data.Replace(e);
}

std::string decimal(double v) {
    std::ostringstream text;
    text.precision(10);
    text << v;
    return text.str();
}

bool write(const std::string& path, const std::vector<cv::Mat>& frames, const DicomHeader& h,
           double position, int instance) {
    gdcm::Trace::WarningOff();  // of the headers being made, which are not yet complete
    const cv::Mat& first = frames.front();
    gdcm::ImageWriter writer;
    gdcm::Image& image = writer.GetImage();
    image.SetNumberOfDimensions(frames.size() > 1 ? 3 : 2);
    image.SetDimension(0, static_cast<unsigned>(first.cols));
    image.SetDimension(1, static_cast<unsigned>(first.rows));
    if (frames.size() > 1) image.SetDimension(2, static_cast<unsigned>(frames.size()));
    image.SetPixelFormat(first.depth() == CV_8U    ? gdcm::PixelFormat::UINT8
                         : first.depth() == CV_16S ? gdcm::PixelFormat::INT16
                                                   : gdcm::PixelFormat::UINT16);
    image.SetPhotometricInterpretation(gdcm::PhotometricInterpretation::MONOCHROME2);
    image.SetSpacing(0, h.pixelMm);
    image.SetSpacing(1, h.pixelMmDown > 0 ? h.pixelMmDown : h.pixelMm);
    image.SetSpacing(2, h.sliceMm);
    const double origin[3] = {0, 0, position};
    const double cosines[6] = {1, 0, 0, 0, 1, 0};
    image.SetOrigin(origin);
    image.SetDirectionCosines(cosines);
    image.SetSlope(h.slope);
    image.SetIntercept(h.intercept);
    std::vector<char> bytes;
    for (const cv::Mat& f : frames) {
        const cv::Mat whole = f.isContinuous() ? f : f.clone();
        bytes.insert(bytes.end(), whole.datastart, whole.dataend);
    }
    gdcm::DataElement pixels(gdcm::Tag(0x7fe0, 0x0010));
    pixels.SetByteValue(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    image.SetDataElement(pixels);

    gdcm::DataSet& data = writer.GetFile().GetDataSet();
    put(data, 0x0008, 0x0016, gdcm::VR::UI,
        gdcm::MediaStorage::GetMSString(gdcm::MediaStorage::CTImageStorage));
    put(data, 0x0020, 0x000e, gdcm::VR::UI, h.series);
    put(data, 0x0020, 0x0013, gdcm::VR::IS, std::to_string(instance));
    if (h.window) {
        put(data, 0x0028, 0x1050, gdcm::VR::DS, decimal((*h.window)[0]));
        put(data, 0x0028, 0x1051, gdcm::VR::DS, decimal((*h.window)[1]));
    }
    if (frames.size() > 1) put(data, 0x0018, 0x0088, gdcm::VR::DS, decimal(h.sliceMm));
    if (h.compression != DicomCompression::None) {
        gdcm::ImageChangeTransferSyntax change;
        change.SetTransferSyntax(h.compression == DicomCompression::Rle
                                     ? gdcm::TransferSyntax::RLELossless
                                     : gdcm::TransferSyntax::JPEGLosslessProcess14_1);
        change.SetInput(image);
        if (!change.Change()) return false;
        writer.SetImage(change.GetOutput());
    }
    writer.SetFileName(path.c_str());
    if (!writer.Write()) return false;
    if (frames.size() > 1) return true;
    // GDCM keeps as many origin coordinates as the image has dimensions, two for a slice: the
    // position along the normal is put in afterwards (or, without positions, none is).
    gdcm::Reader reader;
    reader.SetFileName(path.c_str());
    if (!reader.Read()) return false;
    gdcm::DataSet& written = reader.GetFile().GetDataSet();
    written.Remove(gdcm::Tag(0x0020, 0x0032));
    if (h.positions)
        put(written, 0x0020, 0x0032, gdcm::VR::DS, "0\\0\\" + decimal(position));
    else
        written.Remove(gdcm::Tag(0x0020, 0x0037));
    gdcm::Writer again;
    again.SetFile(reader.GetFile());
    again.SetFileName(path.c_str());
    return again.Write();
}

}  // namespace

bool writeDicomSlice(const std::string& path, const cv::Mat& stored, const DicomHeader& header,
                     double position, int instance) {
    return write(path, {stored}, header, position, instance);
}

bool writeDicomFrames(const std::string& path, const std::vector<cv::Mat>& frames,
                      const DicomHeader& header) {
    return !frames.empty() && write(path, frames, header, 0, 1);
}

bool writeDicomSeries(const StackScene& scene, const std::string& folder, const DicomHeader& header,
                      const std::vector<std::string>& names) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (int i = 0; i < scene.slices; ++i) {
        cv::Mat slice = renderStackSlice(scene, i);
        if (slice.channels() != 1) return false;
        if (slice.depth() == CV_16U && (header.slope != 1 || header.intercept != 0))
            slice.convertTo(slice, CV_16S, 1 / header.slope, -header.intercept / header.slope);
        const std::string name = i < static_cast<int>(names.size())
                                     ? names[static_cast<std::size_t>(i)]
                                     : "IM" + std::to_string(i + 1) + ".dcm";
        if (!writeDicomSlice((std::filesystem::path(folder) / name).string(), slice, header,
                             i * header.sliceMm, i + 1))
            return false;
    }
    return true;
}

std::vector<std::string> shuffledNames(int count) {
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::vector<std::string> names;
    for (const int k : order) names.push_back("s" + std::to_string(k) + ".dcm");
    return names;
}

}  // namespace quendra
