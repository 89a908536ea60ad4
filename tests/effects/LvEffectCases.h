#pragma once

#include "LvEffectTestUtil.h"
#include "LvReference.h"

#include <string>
#include <vector>

// The pictures every effect of the filter, threshold, artistic, distortion and decoration families is tried
// on: each depth, with and without a selection, with the outside colour of pixel (0, 0) and with a
// background index or colour, on one thread and on several.
struct EffectInput {
    int bpp;
    bool selection;
    bool background; // nTransIndex set: positions outside the picture read the background
    int threads;
    std::string Name() const {
        return std::to_string(bpp) + "bit" + (selection ? "-selection" : "") + (background ? "-background" : "") +
               "-threads" + std::to_string(threads);
    }
};

std::vector<EffectInput> AllEffectInputs();

// A photo-like 24-bit picture, or a palette picture with a random palette and random indices.
CLvImage MakeInput(const EffectInput& input, int width = 29, int height = 21, unsigned seed = 7);

// A uniform 24-bit picture.
CLvImage Uniform(int width, int height, RGBQUAD color);

// Every pixel's red channel, bottom row first, for short pinned pictures.
std::vector<int> Reds(const CLvImage& image);
