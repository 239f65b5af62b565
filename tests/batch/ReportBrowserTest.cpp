// The report page of a real run, opened in headless Chromium as a reader opens it from the
// disk: it renders without a message on the console, its script runs, the counts it shows are
// those of the table, and every link of its gallery leads to a file that is there.

#include <gtest/gtest.h>

#include <cstdlib>
#include <opencv2/imgcodecs.hpp>

#include "BatchFixture.h"
#include "ReportCountsTest.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

using ReportBrowser = BatchFixture;

// The browser's program, or empty when none is installed.
std::string chromium() {
    for (const char* name : {"chromium", "chromium-browser"})
        for (const char* dir : {"/usr/bin", "/usr/local/bin", "/snap/bin"})
            if (fs::exists(fs::path(dir) / name)) return (fs::path(dir) / name).string();
    return {};
}

// Every value of attribute `name` in `html`, in order.
std::vector<std::string> attributeValues(const std::string& html, const std::string& name) {
    std::vector<std::string> values;
    const std::string start = " " + name + "=\"";
    for (std::size_t at = html.find(start); at != std::string::npos; at = html.find(start, at)) {
        at += start.size();
        values.push_back(html.substr(at, html.find('"', at) - at));
    }
    return values;
}

// The text of the element whose opening tag ends in `attribute`, up to its next tag.
std::string textAfter(const std::string& html, const std::string& attribute) {
    const std::size_t at = html.find(attribute + ">");
    if (at == std::string::npos) return "(not on the page)";
    const std::size_t from = at + attribute.size() + 1;
    return html.substr(from, html.find('<', from) - from);
}

std::size_t germanCountValue(std::string text) {
    std::erase(text, '.');
    return std::stoul(text);
}

std::string percentDecoded(const std::string& url) {
    std::string path;
    for (std::size_t i = 0; i < url.size(); ++i)
        if (url[i] == '%' && i + 2 < url.size()) {
            path += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += url[i];
        }
    return path;
}

TEST_F(ReportBrowser, RendersTheTableCountsAndLinks) {
    const std::string browser = chromium();
    if (browser.empty())
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh test installs it): "
                        "the report page is not checked in a browser";
    sample("molar-640x480.png", "m.png");
    sample("front-640x480.png", "Zähne f.png");
    sample("premolar-1920x1080.png", "p.png");
    cv::imwrite(path("in/gum.png"),
                cv::imread(QUENDRA_SAMPLE_DIR "/front-640x480.png")(cv::Rect(0, 0, 120, 100)));
    writeBytes("in/broken.png", "not a picture");
    ASSERT_TRUE(writeIndexedVideo(path("in/v.avi"), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 4,
                                  {96, 64}));
    Program batch(program(
        {"--classes", kClasses, "--px-per-mm", "20", "--quiet", "--out", path("out"), path("in")}));
    ASSERT_EQ(batch.wait(), 1) << batch.errorText();  // the broken picture

    const std::string command =
        "timeout 120 '" + browser +
        "' --headless --no-sandbox --disable-gpu --no-first-run "
        "--user-data-dir='" +
        path("profile") + "' --enable-logging=stderr --v=0 --dump-dom 'file://" +
        path("out/report.html") + "' > '" + path("dom.html") + "' 2> '" + path("browser.log") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << readBytes(path("browser.log"));
    const std::string dom = readBytes(path("dom.html"));
    const std::string browserLog = readBytes(path("browser.log"));
    ASSERT_NE(dom.find("</html>"), std::string::npos) << browserLog;

    std::istringstream lines(browserLog);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.find(":CONSOLE"), std::string::npos) << line;
    // The filter's script ran: it shows its form, which the page hides without it.
    EXPECT_EQ(dom.find("<form id=\"filter\" hidden"), std::string::npos);
    EXPECT_NE(dom.find("<form id=\"filter\""), std::string::npos);

    const PlainCounts plain = plainCounts(table());
    const std::pair<const char*, std::size_t> counts[] = {
        {"items", plain.items},
        {"frames", plain.frames},
        {"teeth", plain.teeth},
        {"canals", plain.canals},
        {"none", plain.none},
        {"not-recognised", plain.notRecognised},
        {"problems", record()["problems"].size()}};
    for (const auto& [key, expected] : counts)
        EXPECT_EQ(germanCountValue(textAfter(dom, "data-count=\"" + std::string(key) + "\"")),
                  expected)
            << key;
    for (const auto& [type, expected] : plain.types)
        EXPECT_EQ(germanCountValue(textAfter(dom, "data-type-count=\"" + type + "\"")), expected)
            << type;
    EXPECT_EQ(plain.items, 5u);  // all but the broken picture
    EXPECT_EQ(plain.none, 5u);   // the gum and the video's four frames

    const std::string gallery = dom.substr(dom.find("class=\"gallery\""));
    const auto links = attributeValues(gallery, "href");
    const auto thumbnails = attributeValues(gallery, "src");
    EXPECT_EQ(thumbnails.size(), 8u);  // every analysed picture and frame
    EXPECT_EQ(links.size(), thumbnails.size());
    for (const std::string& link : links)
        EXPECT_TRUE(fs::is_regular_file(path("out/" + percentDecoded(link)))) << link;
    for (const std::string& thumbnail : thumbnails)
        EXPECT_FALSE(cv::imread(path("out/" + percentDecoded(thumbnail))).empty()) << thumbnail;
    EXPECT_NE(gallery.find("data-outcome=\"problem\""), std::string::npos);
    EXPECT_EQ(textAfter(dom, "id=\"shown\""), "9");  // the thumbnails and the problem
}

}  // namespace
}  // namespace quendra
