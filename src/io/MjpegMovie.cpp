#include "io/MjpegMovie.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

namespace quendra {

namespace {

// Big-endian box writing: a box is its size, its four-letter type and its contents.
class Box {
public:
    explicit Box(const char* type) { bytes.assign(4, 0), text(type); }

    Box& u8(std::uint8_t v) { return bytes.push_back(v), *this; }
    Box& u16(std::uint16_t v) { return u8(v >> 8).u8(v & 0xFF); }
    Box& u32(std::uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
    Box& u64(std::uint64_t v) {
        return u32(static_cast<std::uint32_t>(v >> 32)).u32(v & 0xFFFFFFFF);
    }
    Box& zeros(std::size_t n) { return bytes.insert(bytes.end(), n, 0), *this; }
    Box& text(const char* four) { return bytes.insert(bytes.end(), four, four + 4), *this; }
    Box& fullBox(std::uint8_t version, std::uint32_t flags) {
        return u8(version).u8(flags >> 16).u16(flags & 0xFFFF);
    }
    // The identity matrix of movie and track headers.
    Box& matrix() {
        return u32(0x00010000)
            .u32(0)
            .u32(0)
            .u32(0)
            .u32(0x00010000)
            .u32(0)
            .u32(0)
            .u32(0)
            .u32(0x40000000);
    }
    Box& add(const Box& child) {
        const std::vector<std::uint8_t> c = child.finished();
        return bytes.insert(bytes.end(), c.begin(), c.end()), *this;
    }

    std::vector<std::uint8_t> finished() const {
        std::vector<std::uint8_t> out = bytes;
        const auto n = static_cast<std::uint32_t>(out.size());
        for (int i = 0; i < 4; ++i)
            out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (24 - 8 * i));
        return out;
    }

private:
    std::vector<std::uint8_t> bytes;
};

constexpr std::uint64_t kMediaDataStart = 20 + 16;  // after 'ftyp' and the 64-bit 'mdat' header

// A rate as the fraction ticks per second / ticks per frame, both below 2^32: the first
// convergent of its continued fraction that is exact to a double's precision, so that a rate
// computed as 30000.0 / 1001 or 25.0 / 3 is kept as that fraction; else the last convergent
// that fits.
std::pair<std::uint32_t, std::uint32_t> rateFraction(double rate) {
    constexpr double kLargest = UINT32_MAX;
    double h0 = 0, h1 = 1, k0 = 1, k1 = 0, x = rate;
    for (int step = 0; step < 64; ++step) {
        const double a = std::floor(x);
        const double h = a * h1 + h0, k = a * k1 + k0;
        if (h > kLargest || k > kLargest) break;
        h0 = std::exchange(h1, h);
        k0 = std::exchange(k1, k);
        if (h1 > 0 && std::abs(h1 / k1 - rate) <= rate * 1e-12) break;
        if (x - a < 1e-12) break;
        x = 1 / (x - a);
    }
    if (h1 < 1 || k1 < 1) return {1, UINT32_MAX};  // slower than the format can say
    return {static_cast<std::uint32_t>(h1), static_cast<std::uint32_t>(k1)};
}

// The sample description of Photo-JPEG frames of `size`.
Box jpegDescription(cv::Size size) {
    Box jpeg("jpeg");
    jpeg.zeros(6)
        .u16(1)
        .u16(0)
        .u16(0)
        .u32(0)
        .u32(0)
        .u32(512)
        .u16(static_cast<std::uint16_t>(size.width))
        .u16(static_cast<std::uint16_t>(size.height))
        .u32(0x00480000)
        .u32(0x00480000)
        .u32(0)
        .u16(1);
    const char name[] = "Photo - JPEG";
    jpeg.u8(sizeof name - 1);
    for (const char c : std::string_view(name)) jpeg.u8(static_cast<std::uint8_t>(c));
    jpeg.zeros(31 - (sizeof name - 1)).u16(24).u16(0xFFFF);
    return jpeg;
}

// The sample table: each frame a sample of `frameDuration` ticks and a chunk of its own, at
// its offset in the file.
Box sampleTable(cv::Size size, std::uint32_t frameDuration, const std::vector<std::uint32_t>& sizes,
                const std::vector<std::uint64_t>& offsets) {
    const auto frames = static_cast<std::uint32_t>(sizes.size());
    Box stsd("stsd");
    stsd.fullBox(0, 0).u32(1).add(jpegDescription(size));
    Box stts("stts");
    stts.fullBox(0, 0).u32(1).u32(frames).u32(frameDuration);
    Box stsc("stsc");
    stsc.fullBox(0, 0).u32(1).u32(1).u32(1).u32(1);
    Box stsz("stsz");
    stsz.fullBox(0, 0).u32(0).u32(frames);
    for (const std::uint32_t s : sizes) stsz.u32(s);
    Box co64("co64");
    co64.fullBox(0, 0).u32(frames);
    for (const std::uint64_t o : offsets) co64.u64(o);
    Box stbl("stbl");
    stbl.add(stsd).add(stts).add(stsc).add(stsz).add(co64);
    return stbl;
}

// The track's video media around its sample table: its header, handler and information.
Box videoMedia(const Box& sampleTable, std::uint32_t timescale, std::uint64_t duration) {
    Box alis("alis");
    alis.fullBox(0, 1);  // the data lie in this file
    Box dref("dref");
    dref.fullBox(0, 0).u32(1).add(alis);
    Box dinf("dinf");
    dinf.add(dref);
    Box vmhd("vmhd");
    vmhd.fullBox(0, 1).u16(0).zeros(6);
    Box minf("minf");
    minf.add(vmhd).add(dinf).add(sampleTable);

    Box hdlr("hdlr");
    hdlr.fullBox(0, 0).text("mhlr").text("vide").zeros(12).u8(0);
    Box mdhd("mdhd");
    mdhd.fullBox(1, 0).u64(0).u64(0).u32(timescale).u64(duration).u16(0x55C4).u16(0);
    Box mdia("mdia");
    mdia.add(mdhd).add(hdlr).add(minf);
    return mdia;
}

// The movie's one track: its header, for frames of `size`, and its media.
Box trackBox(const Box& media, cv::Size size, std::uint64_t duration) {
    Box tkhd("tkhd");
    tkhd.fullBox(1, 0x3)
        .u64(0)
        .u64(0)
        .u32(1)
        .u32(0)
        .u64(duration)
        .zeros(8)
        .u16(0)
        .u16(0)
        .u16(0)
        .u16(0)
        .matrix()
        .u32(static_cast<std::uint32_t>(size.width) << 16)
        .u32(static_cast<std::uint32_t>(size.height) << 16);
    Box trak("trak");
    trak.add(tkhd).add(media);
    return trak;
}

// The movie's index: its header and its track.
Box movieBox(const Box& track, std::uint32_t timescale, std::uint64_t duration) {
    Box mvhd("mvhd");
    mvhd.fullBox(1, 0)
        .u64(0)
        .u64(0)
        .u32(timescale)
        .u64(duration)
        .u32(0x00010000)
        .u16(0x0100)
        .zeros(10)
        .matrix()
        .zeros(24)
        .u32(2);
    Box moov("moov");
    moov.add(mvhd).add(track);
    return moov;
}

}  // namespace

MjpegMovieWriter::~MjpegMovieWriter() {
    if (isOpen()) close();
}

bool MjpegMovieWriter::open(const std::string& path, cv::Size frameSize, double framesPerSecond) {
    if (!file.open(path)) return false;
    failed = false;
    size = frameSize;
    std::tie(timescale, frameDuration) = rateFraction(framesPerSecond);
    sampleSizes.clear();
    sampleOffsets.clear();
    Box ftyp("ftyp");
    ftyp.text("qt  ").u32(0x20050300).text("qt  ");
    const std::vector<std::uint8_t> head = ftyp.finished();
    // Size 1: the real size follows as 64 bits, filled in at the end.
    const std::uint8_t mediaHeader[16] = {0, 0, 0, 1, 'm', 'd', 'a', 't'};
    failed = std::fwrite(head.data(), 1, head.size(), file.stream()) != head.size() ||
             std::fwrite(mediaHeader, 1, sizeof mediaHeader, file.stream()) != sizeof mediaHeader;
    written = kMediaDataStart;
    return !failed;
}

bool MjpegMovieWriter::addFrame(std::span<const std::uint8_t> jpeg) {
    if (!isOpen() || failed) return false;
    if (std::fwrite(jpeg.data(), 1, jpeg.size(), file.stream()) != jpeg.size())
        return !(failed = true);
    sampleOffsets.push_back(written);
    sampleSizes.push_back(static_cast<std::uint32_t>(jpeg.size()));
    written += jpeg.size();
    return true;
}

bool MjpegMovieWriter::close() {
    if (!isOpen()) return false;
    const auto frames = static_cast<std::uint32_t>(sampleSizes.size());
    const std::uint64_t duration = std::uint64_t{frames} * frameDuration;
    const Box media = videoMedia(sampleTable(size, frameDuration, sampleSizes, sampleOffsets),
                                 timescale, duration);
    const std::vector<std::uint8_t> index =
        movieBox(trackBox(media, size, duration), timescale, duration).finished();
    bool ok = !failed && std::fwrite(index.data(), 1, index.size(), file.stream()) == index.size();
    // The media data's size, now known, into its header.
    const std::uint64_t mediaSize = written - kMediaDataStart + 16;
    std::uint8_t sizeBytes[8];
    for (int i = 0; i < 8; ++i) sizeBytes[i] = static_cast<std::uint8_t>(mediaSize >> (56 - 8 * i));
    ok = ok && std::fseek(file.stream(), 20 + 8, SEEK_SET) == 0 &&
         std::fwrite(sizeBytes, 1, 8, file.stream()) == 8;
    if (ok) return file.commit(Durability::Deferred);
    file.abandon();
    return false;
}

}  // namespace quendra
