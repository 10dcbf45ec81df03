#include "app/gradient.h"

#include <array>
#include <cmath>

namespace pelmora::app {

namespace {

struct Stop {
    int column;
    unsigned rgb;
};

constexpr std::array<Stop, 9> kStops = {{
    {0, 0x62BAE6},
    {128, 0x6EC3F2},
    {256, 0x8BD0F9},
    {384, 0xA4DBFD},
    {512, 0xB3E2FF},
    {640, 0xB2E1FD},
    {768, 0xA4D9F8},
    {896, 0x8FCDF0},
    {1023, 0x77C1E9},
}};

QImage BuildGradient() {
    QImage image(kGradientWidth, kGradientHeight, QImage::Format_RGB888);
    for (std::size_t s = 0; s + 1 < kStops.size(); ++s) {
        const Stop& a = kStops[s];
        const Stop& b = kStops[s + 1];
        for (int x = a.column; x <= b.column; ++x) {
            double t = double(x - a.column) / double(b.column - a.column);
            auto channel = [&](int shift) {
                int ca = (a.rgb >> shift) & 0xFF, cb = (b.rgb >> shift) & 0xFF;
                return int(std::lround(ca + t * (cb - ca)));
            };
            QRgb colour = qRgb(channel(16), channel(8), channel(0));
            for (int y = 0; y < kGradientHeight; ++y) image.setPixel(x, y, colour);
        }
    }
    return image;
}

}  // namespace

const QImage& GradientBitmap() {
    static const QImage image = BuildGradient();
    return image;
}

}  // namespace pelmora::app
