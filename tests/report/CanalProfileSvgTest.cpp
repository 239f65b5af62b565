#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "report/CanalProfileSvg.h"

namespace quendra {
namespace {

RootConfiguration rootOf(int number, int first, std::vector<int> counts, std::string configuration,
                         std::string vertucci) {
    RootConfiguration r;
    r.root = number;
    r.firstSlice = first;
    r.lastSlice = first + static_cast<int>(counts.size()) - 1;
    r.canalCounts = std::move(counts);
    r.configuration = std::move(configuration);
    r.vertucci = std::move(vertucci);
    return r;
}

// The line of each root read back from the picture: its points' heights, slice by slice.
std::map<int, std::vector<std::pair<double, double>>> linesOf(const std::string& svg) {
    std::map<int, std::vector<std::pair<double, double>>> lines;
    const std::string rootKey = "data-root=\"", pointsKey = "points=\"";
    for (std::size_t at = svg.find(rootKey); at != std::string::npos;
         at = svg.find(rootKey, at + 1)) {
        const std::size_t close = svg.find('>', at);
        const std::size_t points = svg.find(pointsKey, at);
        if (points == std::string::npos || points > close) continue;
        const int root = std::stoi(svg.substr(at + rootKey.size()));
        const std::size_t begin = points + pointsKey.size();
        std::istringstream values(svg.substr(begin, svg.find('"', begin) - begin));
        double x, y;
        char comma;
        while (values >> x >> comma >> y) lines[root].emplace_back(x, y);
    }
    return lines;
}

TEST(CanalProfileSvg, EveryRootsCountsAlongTheSlices) {
    const std::vector<RootConfiguration> roots = {rootOf(1, 1, {1, 1, 2, 2, 2, 1}, "1-2-1", "III"),
                                                  rootOf(2, 4, {2, 2, 2}, "2", "IV")};
    const std::string svg = canalProfileSvg("tooth 7", roots, 6, false);
    const auto lines = linesOf(svg);
    ASSERT_EQ(lines.size(), 2u);
    const auto& first = lines.at(1);
    const auto& second = lines.at(2);
    ASSERT_EQ(first.size(), 12u);  // a step of two points per slice
    ASSERT_EQ(second.size(), 6u);
    for (std::size_t i = 1; i < first.size(); ++i)  // across within a slice, rising between
        EXPECT_TRUE(i % 2 ? first[i - 1].first < first[i].first
                          : first[i - 1].first == first[i].first)
            << i;
    // Heights follow the counts: equal counts level, more canals higher (smaller y).
    const double one = first[0].second, two = first[4].second;
    EXPECT_LT(two, one);
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(first[2 * k].second, roots[0].canalCounts[k] == 1 ? one : two) << k;
    // The second root's slices 4 to 6 lie under the first root's slices 4 to 6, at its count
    // of two, lifted a little so that both lines show.
    EXPECT_EQ(second.front().first, first[6].first);
    EXPECT_EQ(second.back().first, first.back().first);
    EXPECT_NE(second[0].second, two);
    EXPECT_LT(std::abs(second[0].second - two), std::abs(one - two) / 4);

    for (const char* text :
         {">Schicht<", ">Kanäle<", ">koronal<", ">apikal<",
          "Wurzel 1, Schichten 1 bis 6: 1-2-1 (Vertucci III)",
          "Wurzel 2, Schichten 4 bis 6: 2 (Vertucci IV)", "tooth 7: Kanäle je Schicht"})
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    EXPECT_LT(svg.find(">koronal<"), svg.find(">apikal<"));
}

TEST(CanalProfileSvg, NamesAndOddCasesStayReadable) {
    const std::string apexFirst =
        canalProfileSvg("a&b <x>.tif", {rootOf(1, 1, {3, 2}, "3-2", "")}, 2, true);
    EXPECT_NE(apexFirst.find("a&amp;b &lt;x&gt;.tif"), std::string::npos);
    EXPECT_EQ(apexFirst.find("a&b"), std::string::npos);
    EXPECT_LT(apexFirst.find(">apikal<"), apexFirst.find(">koronal<"));
    EXPECT_NE(apexFirst.find("3-2 (kein Vertucci-Typ)"), std::string::npos);
    EXPECT_NE(canalProfileSvg("empty", {}, 0, false).find("no root found"), std::string::npos);
}

}  // namespace
}  // namespace quendra
