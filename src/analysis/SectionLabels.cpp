#include "analysis/SectionLabels.h"

#include <cstdint>

namespace quendra {

SliceSection sectionOfAnalysis(const ToothAnalysis& analysis) {
    if (analysis.toothMask().empty()) return {};
    cv::Mat labels;
    analysis.paintLabels(labels);
    return sectionOfLabels(analysis.result(), labels);
}

SliceSection sectionOfLabels(const FrameResult& result, const cv::Mat& labels) {
    CV_Assert(labels.type() == CV_16UC1);
    SliceSection section;
    // The labels of paintLabels (0 background, then each tooth followed by its canals) mapped
    // to a root and a canal label each, in one pass over the picture.
    std::vector<std::uint16_t> rootOf{0}, canalOf{0};
    int root = 0;
    for (const ToothFinding* tooth : result.teeth()) {
        ++root;
        rootOf.push_back(static_cast<std::uint16_t>(root));
        canalOf.push_back(0);
        for (std::size_t c = 0; c < tooth->canals.size(); ++c) {
            section.canalRoot.push_back(root);
            rootOf.push_back(static_cast<std::uint16_t>(root));
            canalOf.push_back(static_cast<std::uint16_t>(section.canalRoot.size()));
        }
    }
    section.roots.create(labels.size(), CV_16UC1);
    section.canals.create(labels.size(), CV_16UC1);
    for (int y = 0; y < labels.rows; ++y) {
        const auto* label = labels.ptr<std::uint16_t>(y);
        auto* roots = section.roots.ptr<std::uint16_t>(y);
        auto* canals = section.canals.ptr<std::uint16_t>(y);
        for (int x = 0; x < labels.cols; ++x) {
            roots[x] = rootOf[label[x]];
            canals[x] = canalOf[label[x]];
        }
    }
    return section;
}

}  // namespace quendra
