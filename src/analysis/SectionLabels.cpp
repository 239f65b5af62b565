#include "analysis/SectionLabels.h"

namespace quendra {

SliceSection sectionOfAnalysis(const ToothAnalysis& analysis) {
    SliceSection section;
    if (analysis.toothMask().empty()) return section;
    cv::Mat labels;  // 0 background, 1 the tooth, 2, 3, ... the canals
    analysis.paintLabels(labels);
    section.roots = cv::Mat::zeros(labels.size(), CV_16UC1);
    section.roots.setTo(1, labels > 0);
    cv::subtract(labels, 1, section.canals);  // saturates: 0 and the tooth's 1 become 0
    section.canalRoot.assign(analysis.getCanals().size(), 1);
    return section;
}

}  // namespace quendra
