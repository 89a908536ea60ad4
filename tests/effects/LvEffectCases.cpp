#include "LvEffectCases.h"

std::vector<EffectInput> AllEffectInputs() {
    std::vector<EffectInput> inputs;
    for (int bpp : {24, 8, 4, 1})
        for (bool selection : {false, true})
            for (bool background : {false, true})
                for (int threads : {1, 3})
                    inputs.push_back({bpp, selection, background, threads});
    return inputs;
}

CLvImage MakeInput(const EffectInput& input, int width, int height, unsigned seed) {
    CLvImage image;
    if (input.bpp == 24) {
        image = PhotoLike(width, height, seed);
    } else {
        image.Create(width, height, input.bpp);
        FillPattern(image, seed);
    }
    if (input.background) {
        image.SetTransIndex(input.bpp == 24 ? 0 : 1);
        image.SetTransColor(Quad(250, 20, 90));
    }
    if (input.selection) SelectSomething(image);
    return image;
}

CLvImage Uniform(int width, int height, RGBQUAD color) {
    CLvImage image(width, height, 24);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            image.SetPixelColor(x, y, color);
    return image;
}

std::vector<int> Reds(const CLvImage& image) {
    std::vector<int> reds;
    for (int y = 0; y < image.GetHeight(); y++)
        for (int x = 0; x < image.GetWidth(); x++)
            reds.push_back(image.GetPixelColor(x, y).rgbRed);
    return reds;
}
