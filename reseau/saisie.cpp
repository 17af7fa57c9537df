#include "reseau/saisie.h"

#include <cstddef>
#include <cstdint>

namespace ovrel {

namespace {

bool estBlanc(std::uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Length of the UTF-8 sequence starting at `i` and its code point; 0 when the bytes there do
// not form a well-formed sequence.
std::size_t lireCaractere(std::string_view t, std::size_t i, std::uint32_t& c) {
    const auto octet = [&](std::size_t k) { return static_cast<unsigned char>(t[k]); };
    const unsigned char b0 = octet(i);
    std::size_t longueur = 0;
    std::uint32_t minimum = 0;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        longueur = 2, c = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        longueur = 3, c = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        longueur = 4, c = b0 & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + longueur > t.size()) return 0;
    for (std::size_t k = 1; k < longueur; ++k) {
        const unsigned char b = octet(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return longueur;
}

// Start of the character that ends just before `fin`, or `fin` when there is none that is
// well formed.
std::size_t debutDuPrecedent(std::string_view t, std::size_t fin) {
    std::size_t debut = fin;
    for (std::size_t recul = 1; recul <= 4 && recul <= fin; ++recul) {
        const unsigned char b = static_cast<unsigned char>(t[fin - recul]);
        if ((b & 0xC0) != 0x80) {
            debut = fin - recul;
            break;
        }
    }
    if (debut == fin) return fin;
    std::uint32_t c = 0;
    return lireCaractere(t, debut, c) == fin - debut ? debut : fin;
}

}  // namespace

std::string_view sansBlancsAuxBords(std::string_view texte) {
    std::size_t debut = 0;
    while (debut < texte.size()) {
        std::uint32_t c = 0;
        const std::size_t n = lireCaractere(texte, debut, c);
        if (n == 0 || !estBlanc(c)) break;
        debut += n;
    }
    std::size_t fin = texte.size();
    while (fin > debut) {
        const std::size_t d = debutDuPrecedent(texte, fin);
        if (d == fin || d < debut) break;
        std::uint32_t c = 0;
        lireCaractere(texte, d, c);
        if (!estBlanc(c)) break;
        fin = d;
    }
    return texte.substr(debut, fin - debut);
}

}  // namespace ovrel
