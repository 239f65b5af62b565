#pragma once

// The tooth type from the number and arrangement of the accepted canals.

#include <cstddef>
#include <vector>

#include "analysis/ToothResult.h"

namespace quendra {

// One canal: a round tooth (major / minor < 1.5) is a premolar, an elongated one (or one whose
// ratio is undefined) a front tooth.
int toothTypeForOneCanal(ToothResult tooth, const std::vector<CanalResult>& canals);

// Three canals: the lower molar when the centroid of the three canal centres lies closer to
// their circumcentre than a third of the circumradius, else the upper molar; also the upper
// molar whenever the quotient is undefined (collinear centres, centroid on the circumcentre or
// in its column).
int toothTypeForThreeCanals(ToothResult tooth, const std::vector<CanalResult>& canals);

// Whether this many accepted canals decide a type: one to four do; a tooth with none, or with
// five and more, is ToothUnknown. The run's tally counts such teeth by their canals.
bool canalsDecideType(std::size_t canals);

// The type for the accepted canals: 1, 2, 3, 4 canals decide as above (2 gives
// ToothUpperPremolar4, 4 gives ToothUpperMolar); none or five and more give ToothUnknown.
int decideToothType(const ToothResult& tooth, const std::vector<CanalResult>& canals);

// The type's name as the overlay, the texts and the tables give it: "Frontzahn", ..., and
// "Zahn nicht erkannt." for ToothUnknown and every unknown code.
const char* toothTypeText(int toothType);

}  // namespace quendra
