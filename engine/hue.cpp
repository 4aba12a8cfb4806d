#include "hue.h"

#include <algorithm>

#include "int32_math.h"

namespace {

// The last step of a rotation: a wheel position (0..1529) back to normalised
// channels, one of which is 255 and one 0.
void wheelToChannels(std::int32_t Hn, std::int32_t& Rn, std::int32_t& Gn, std::int32_t& Bn) {
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
}

}  // namespace

void rotateHue(std::int32_t& r, std::int32_t& g, std::int32_t& b, std::int32_t hue) {
    const std::int32_t h = i32::modPos(hue, 1530);
    if (h == 0) return;
    if (r == g && g == b) return;
    const std::int32_t mn = std::min({r, g, b});
    const std::int32_t mx = std::max({r, g, b});
    const std::int32_t span = i32::sub(mx, mn);
    auto normal = [&](std::int32_t c) { return i32::div(i32::mul(i32::sub(c, mn), 255), span); };
    const std::int32_t R = normal(r), G = normal(g), B = normal(b);

    // Wrap-safe for channels outside 0..255 (possible only with unvalidated
    // output ranges), where the normalised values can be anything.
    std::int32_t H;
    if (R == 255)
        H = B == 0 ? G : i32::sub(1530, B);
    else if (G == 255)
        H = R == 0 ? i32::add(510, B) : i32::sub(510, R);
    else
        H = G == 0 ? i32::add(1020, R) : i32::sub(1020, G);

    // H stays within 0..1530 for channels in 0..255; modPos keeps the wheel
    // position defined for anything else too.
    const std::int32_t Hn = i32::modPos(i32::add(H, h), 1530);
    std::int32_t Rn, Gn, Bn;
    wheelToChannels(Hn, Rn, Gn, Bn);
    r = i32::add(mn, i32::mul(span, Rn) / 255);
    g = i32::add(mn, i32::mul(span, Gn) / 255);
    b = i32::add(mn, i32::mul(span, Bn) / 255);
}

HueRotator::HueRotator(std::int32_t hue) : h_(i32::modPos(hue, 1530)) {
    // floor(a * 255 / d) == (a * ceil(255 * 2^32 / d)) >> 32 as long as the
    // rounding-up error, a * (ceil(..) * d - 255 * 2^32) / (d * 2^32), stays
    // below 1 / d, i.e. a * d < 2^32; here a, d <= 255.
    reciprocal255_[0] = 0;
    for (std::uint64_t d = 1; d < 256; ++d) reciprocal255_[d] = ((std::uint64_t{255} << 32) + d - 1) / d;
    for (std::int32_t H = 0; H < 1530; ++H) {
        std::int32_t Rn, Gn, Bn;
        wheelToChannels((H + h_) % 1530, Rn, Gn, Bn);
        wheel_[H] = static_cast<std::uint32_t>(Rn) | static_cast<std::uint32_t>(Gn) << 8 |
                    static_cast<std::uint32_t>(Bn) << 16;
    }
}

std::uint32_t HueRotator::rotateGeneral(std::int32_t r, std::int32_t g, std::int32_t b) const {
    rotateHue(r, g, b, h_);
    return packPixel(r, g, b);
}
