#pragma once
// What scanning and photographing do to a printed form, applied to a drawn
// one: skew, a phone's perspective, blur, noise, uneven light, a shadow at
// the fold, the back page showing through. The fields move with the paper.

#include "form_sheet.h"

#include <QImage>

#include <vector>

namespace ordavel::scanforms {

struct Capture {
    bool photo = false;
    double skewDegrees = 0;       // scans: the paper turned on the glass
    double perspective = 0;       // photos: how far each corner may move, share of the side
    double blurSigmaPx = 0;
    double noiseSigma = 0;        // grey levels
    double lightDrop = 0;         // darkest corner's share of light lost (0..1)
    double foldShadow = 0;        // depth of the shadow at the fold (0..1), 0 for none
    double bleed = 0;             // strength of the back page showing through (0..1)
    int jpegQuality = 0;          // 0: written as PNG
};

// A capture drawn at random, as scans and photos come.
Capture randomCapture(Rng& rng, double dpi);

// The captured picture (RGB888) with `fields` moved onto it; fields that
// leave the picture are dropped.
QImage capture(const QImage& page, const Capture& how, Rng& rng, std::vector<TruthField>& fields);

} // namespace ordavel::scanforms
