#include "image/LvImage.h"

#include <algorithm>

// The 8-bit HSL model of the colour operations. The arithmetic is kept exactly as the operations have
// always computed it (integer rounding on the way in, single precision on the way out), so that results
// stay the same from one version to the next.

RGBQUAD CLvImage::RGBtoHSL(RGBQUAD color) {
    const int red = color.rgbRed, green = color.rgbGreen, blue = color.rgbBlue;
    const int cMax = std::max({red, green, blue});
    const int cMin = std::min({red, green, blue});
    const int lightness = ((cMax + cMin) * 255 + 255) / 510;
    int saturation, hue;
    if (cMax == cMin) {
        saturation = 0;
        hue = 170; // grey
    } else {
        const int sum = cMax + cMin, range = cMax - cMin;
        if (lightness <= 127)
            saturation = (range * 255 + sum / 2) / sum;
        else
            saturation = (range * 255 + (510 - sum) / 2) / (510 - sum);
        const int redDelta = ((cMax - red) * 42 + range / 2) / range;
        const int greenDelta = ((cMax - green) * 42 + range / 2) / range;
        const int blueDelta = ((cMax - blue) * 42 + range / 2) / range;
        if (red == cMax)
            hue = blueDelta - greenDelta;
        else if (green == cMax)
            hue = 85 + redDelta - blueDelta;
        else
            hue = 170 + greenDelta - redDelta;
    }
    RGBQUAD hsl;
    hsl.rgbBlue = static_cast<BYTE>(lightness);
    hsl.rgbGreen = static_cast<BYTE>(saturation);
    hsl.rgbRed = static_cast<BYTE>(hue); // modulo 256
    hsl.rgbReserved = 0;
    return hsl;
}

float CLvImage::HueToRGB(float low, float high, float hue) {
    if (hue > 360)
        hue -= 360;
    else if (hue < 0)
        hue += 360;
    if (hue < 60) return low + (high - low) * hue * 0.016666668f;
    if (hue < 180) return high;
    if (hue < 240) return low + (high - low) * (240 - hue) * 0.016666668f;
    return low;
}

RGBQUAD CLvImage::HSLtoRGB(RGBQUAD hsl) {
    const float hue = hsl.rgbRed * 1.4117647f; // 360 / 255
    const float saturation = hsl.rgbGreen * 0.003921569f;
    const float lightness = hsl.rgbBlue * 0.003921569f;
    const float m2 = lightness <= 0.5f ? lightness * (1 + saturation) : lightness + saturation - lightness * saturation;
    const float m1 = 2 * lightness - m2;
    RGBQUAD color;
    if (saturation == 0) {
        color.rgbRed = color.rgbGreen = color.rgbBlue = static_cast<BYTE>(static_cast<int>(lightness * 255));
    } else {
        color.rgbRed = static_cast<BYTE>(static_cast<int>(HueToRGB(m1, m2, hue + 120) * 255));
        color.rgbGreen = static_cast<BYTE>(static_cast<int>(HueToRGB(m1, m2, hue) * 255));
        color.rgbBlue = static_cast<BYTE>(static_cast<int>(HueToRGB(m1, m2, hue - 120) * 255));
    }
    color.rgbReserved = 0;
    return color;
}
