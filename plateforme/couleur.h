// An sRGB colour with alpha, free of any toolkit.
#pragma once

namespace ovrel {

struct Couleur {
    double rouge = 0;
    double vert = 0;
    double bleu = 0;
    double alpha = 1;

    // A grey given as a white level, as the visual identity writes its greys.
    static constexpr Couleur blanc(double niveau, double alpha) { return {niveau, niveau, niveau, alpha}; }
    // 8-bit components.
    static constexpr Couleur octets(int r, int v, int b, double alpha = 1.0) {
        return {r / 255.0, v / 255.0, b / 255.0, alpha};
    }
    bool operator==(const Couleur&) const = default;
};

}  // namespace ovrel
