#pragma once

// What micro-CT studies report of each canal and root, from the canals followed through a stack
// (CanalTracking.h).
//
// Of a canal (a CanalRun), with the scale in the slice plane (pixels per millimetre) and the
// distance of neighbouring slices (millimetres):
//   length_mm     the line through its centroids from slice to slice (each step the in-plane
//                 shift and the slice distance, by Pythagoras), plus one slice distance: each
//                 slice stands for a slab of that thickness, half of it beyond either end
//                 centroid. A straight canal across n slices is n slice distances long.
//   volume_voxels the sum of its sections' pixels; volume_mm3 that times the voxel's volume,
//                 1 / px_per_mm² x slice distance
//   diameters     of each section the equivalent diameter, 2 sqrt(area / pi), in pixels and in
//                 mm; their least, mean and largest over the canal's sections
// Millimetre figures need the scale (and the length and volume the slice distance); without
// them they are empty.
//
// The four-digit code (Briseño-Marroquín B, Paqué F, Maier K, Willershausen B, Wolf TG: "Root
// canal morphology and configuration of 179 maxillary first molars by means of micro-computed
// tomography: an ex vivo study", J Endod 41 (2015) 2008-2013): the number of canals in the
// coronal, middle and apical third of the root and at its apical foramen, as "2-2-1-1". Here the
// root runs from its first to its last slice with a canal (the canals' counts after the noise,
// coronal end first), cut into three parts of equal slices (the apical one takes what is left
// over); a third's number is the count most of its slices show (the larger on a tie), and the
// foramen's the count of the root's most apical slice with a canal.

#include <optional>
#include <string>
#include <vector>

#include "analysis/CanalTracking.h"

namespace quendra {

struct CanalMeasure {
    int firstSlice = 0, lastSlice = 0;  // stack order, from 1
    long long volumeVoxels = 0;
    double diameterMinPx = 0, diameterMeanPx = 0, diameterMaxPx = 0;
    std::optional<double> lengthMm, volumeMm3;
    std::optional<double> diameterMinMm, diameterMeanMm, diameterMaxMm;
};

// The canal's figures; a canal without sections gives zeros.
CanalMeasure measureCanal(const CanalRun& canal, std::optional<double> pxPerMm,
                          std::optional<double> sliceMm);

// The four-digit code of a root from its canal counts slice by slice, coronal end first; empty
// when no slice shows a canal.
std::string fourDigitCode(const std::vector<int>& coronalFirst);

}  // namespace quendra
