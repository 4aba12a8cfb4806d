#include "hue.h"

#include <algorithm>

#include "int32_math.h"

void rotateHue(std::int32_t& r, std::int32_t& g, std::int32_t& b, std::int32_t hue) {
    const std::int32_t h = i32::modPos(hue, 1530);
    if (h == 0) return;
    if (r == g && g == b) return;
    const std::int32_t mn = std::min({r, g, b});
    const std::int32_t mx = std::max({r, g, b});
    const std::int32_t span = i32::sub(mx, mn);
    auto normal = [&](std::int32_t c) { return i32::div(i32::mul(i32::sub(c, mn), 255), span); };
    const std::int32_t R = normal(r), G = normal(g), B = normal(b);

    std::int32_t H;
    if (R == 255)
        H = B == 0 ? G : 1530 - B;
    else if (G == 255)
        H = R == 0 ? 510 + B : 510 - R;
    else
        H = G == 0 ? 1020 + R : 1020 - G;

    // H stays within 0..1530 for channels in 0..255; modPos keeps the wheel
    // position defined for anything else too.
    const std::int32_t Hn = i32::modPos(i32::add(H, h), 1530);
    std::int32_t Rn, Gn, Bn;
    if (Hn <= 255) {
        Rn = 255, Gn = Hn, Bn = 0;
    } else if (Hn <= 510) {
        Rn = 510 - Hn, Gn = 255, Bn = 0;
    } else if (Hn <= 765) {
        Rn = 0, Gn = 255, Bn = Hn - 510;
    } else if (Hn <= 1020) {
        Rn = 0, Gn = 1020 - Hn, Bn = 255;
    } else if (Hn <= 1275) {
        Rn = Hn - 1020, Gn = 0, Bn = 255;
    } else {
        Rn = 255, Gn = 0, Bn = 1530 - Hn;
    }
    r = i32::add(mn, i32::mul(span, Rn) / 255);
    g = i32::add(mn, i32::mul(span, Gn) / 255);
    b = i32::add(mn, i32::mul(span, Bn) / 255);
}
