// The report page of a real run, opened in headless Chromium as a reader opens it from the
// disk: it renders without a message on the console, its script runs, the counts it shows are
// those of the table, and every link of its gallery leads to a file that is there; on a phone's
// screen no table widens the page and the pictures' text stays legible.

#include <gtest/gtest.h>

#include <cstdlib>
#include <opencv2/imgcodecs.hpp>

#include "ReportCountsTest.h"
#include "StackScene.h"
#include "batch/BatchFixture.h"

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

// The page at `url` as the browser leaves it once loaded and its scripts have run; the
// browser's messages in "browser.log" of the fixture's folder.
std::string loadedPage(BatchFixture& f, const std::string& browser, const std::string& url) {
    const std::string command =
        "timeout 120 '" + browser +
        "' --headless --no-sandbox --disable-gpu --no-first-run --allow-file-access-from-files "
        "--user-data-dir='" +
        f.path("profile") + "' --enable-logging=stderr --v=0 --dump-dom '" + url + "' > '" +
        f.path("dom.html") + "' 2> '" + f.path("browser.log") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << f.readBytes(f.path("browser.log"));
    return f.readBytes(f.path("dom.html"));
}

constexpr const char* kNoChromium =
    "chromium is not installed (scripts/install-deps.sh test installs it): the report page is "
    "not checked in a browser";

TEST_F(ReportBrowser, RendersTheTableCountsAndLinks) {
    const std::string browser = chromium();
    if (browser.empty()) GTEST_SKIP() << kNoChromium;
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

    const std::string dom = loadedPage(*this, browser, "file://" + path("out/report.html"));
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

// A phone's screen, 390 px wide (the page in a frame of that width, since the browser's own
// window is never narrower than 500 px): the page itself is no wider than the screen, each
// table scrolling in its box, the histograms' and the stack picture's text is 10 px or more,
// and a problem's tile says what the problem is.
TEST_F(ReportBrowser, OnAPhoneNothingWidensThePageAndTextStaysLegible) {
    const std::string browser = chromium();
    if (browser.empty()) GTEST_SKIP() << kNoChromium;
    sample("molar-640x480.png", "m.png");
    writeBytes("in/kaputt.png", "not a picture");
    const StackScene scene{.configuration = "1-2-1", .colour = false, .slices = 12};
    ASSERT_TRUE(writeStackTiff(scene, path("in/stapel.tif")));
    Program batch(program({"--classes", kClasses, "--quiet", "--out", path("out"), path("in")}));
    ASSERT_EQ(batch.wait(), 1) << batch.errorText();  // the broken picture
    writeBytes("out/phone.html", R"(<!DOCTYPE html><html><body style="margin:0">
<iframe id="page" src="report.html" style="width:390px;height:800px;border:0"></iframe><script>
window.addEventListener('load', function () {
  var page = document.getElementById('page').contentDocument, smallest = 1000;
  // Text of 13 units in pictures 320 (histograms) and naturalWidth (stacks) units wide.
  page.querySelectorAll('svg.hist').forEach(function (svg) {
    smallest = Math.min(smallest, 13 * svg.getBoundingClientRect().width / 320);
  });
  page.querySelectorAll('.stack img').forEach(function (img) {
    smallest = Math.min(smallest, 13 * img.getBoundingClientRect().width / img.naturalWidth);
  });
  document.body.dataset.pageWidth = page.documentElement.scrollWidth;
  document.body.dataset.screenWidth = page.documentElement.clientWidth;
  document.body.dataset.smallestText = smallest;
  document.body.dataset.stackPictures = page.querySelectorAll('.stack img').length;
  document.body.dataset.problemTile = page.querySelector('.tile.problem').textContent;
});
</script></body></html>)");
    const std::string dom = loadedPage(*this, browser, "file://" + path("out/phone.html"));
    ASSERT_NE(dom.find("data-page-width"), std::string::npos) << dom;
    const auto value = [&](const std::string& name) {
        return attributeValues(dom, "data-" + name).at(0);
    };
    EXPECT_LE(std::stoi(value("page-width")), std::stoi(value("screen-width")));
    EXPECT_GE(std::stod(value("smallest-text")), 9.9);
    EXPECT_EQ(value("stack-pictures"), "1");
    EXPECT_NE(value("problem-tile").find("das Bild kann nicht gelesen werden"), std::string::npos)
        << value("problem-tile");
}

}  // namespace
}  // namespace quendra
