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

HueRotator::HueRotator(std::int32_t hue) : h_(i32::modPos(hue, 1530)) {
    // floor(a / d) == (a * ceil(2^32 / d)) >> 32 whenever a * (d - 1) < 2^32;
    // here a <= 255 * 255 and d <= 255, far inside that.
    reciprocal_[0] = 0;
    for (std::uint64_t d = 1; d < 256; ++d) reciprocal_[d] = ((std::uint64_t{1} << 32) + d - 1) / d;
}

void HueRotator::apply(std::int32_t& r, std::int32_t& g, std::int32_t& b) const {
    if (h_ == 0) return;
    // Channels outside 0..255 (only possible with unvalidated ranges) take the
    // general path; the reciprocal table covers spans up to 255.
    if (static_cast<std::uint32_t>(r) > 255u || static_cast<std::uint32_t>(g) > 255u ||
        static_cast<std::uint32_t>(b) > 255u) {
        rotateHue(r, g, b, h_);
        return;
    }
    if (r == g && g == b) return;
    const std::int32_t mn = std::min({r, g, b});
    const std::int32_t mx = std::max({r, g, b});
    const std::int32_t span = mx - mn;
    const std::uint64_t inv = reciprocal_[span];
    auto normal = [&](std::int32_t c) {
        return static_cast<std::int32_t>((static_cast<std::uint64_t>((c - mn) * 255) * inv) >> 32);
    };
    const std::int32_t R = normal(r), G = normal(g), B = normal(b);

    std::int32_t H;
    if (R == 255)
        H = B == 0 ? G : 1530 - B;
    else if (G == 255)
        H = R == 0 ? 510 + B : 510 - R;
    else
        H = G == 0 ? 1020 + R : 1020 - G;

    std::int32_t Hn = H + h_;  // 0..3059
    if (Hn >= 1530) Hn -= 1530;
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
    r = mn + span * Rn / 255;
    g = mn + span * Gn / 255;
    b = mn + span * Bn / 255;
}
