// The log's decoding of a child's output, whatever the sizes of the pieces it arrives in.
#include "plateforme/decodeur_utf8.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ovrel;

namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

struct Cas {
    const char* nom;
    std::string octets;
    std::string texte;
};

const std::vector<Cas> CAS = {
    {"deux, trois et quatre octets", "a \xC3\xA9 b \xE2\x82\xAC c \xF0\x9D\x84\x9E d", "a é b € c 𝄞 d"},
    {"octet invalide au milieu", "ab\xFF" "cd", "ab" + R + "cd"},
    {"suite sans tête", "a\x80\xBF" "b", "a" + R + R + "b"},
    {"séquence interrompue par de l'ASCII", "\xE2\x82" "A", R + "A"},
    {"séquence interrompue par une autre", "\xC3\xC3\xA9", R + "é"},
    {"forme longue", "\xC0\xAF\xE0\x80\x80", R + R + R + R + R},
    {"moitié de paire de substitution", "\xED\xA0\x80", R + R + R},
    {"au-delà de U+10FFFF", "\xF4\x90\x80\x80", R + R + R + R},
    {"derniers caractères permis", "\xED\x9F\xBF\xF4\x8F\xBF\xBF", "\xED\x9F\xBF\xF4\x8F\xBF\xBF"},
    {"caractère tronqué à la fin", "fin\xF0\x9F\x98", "fin" + R},
    {"deux octets tronqués à la fin", "\xC3", R},
};

// Decodes `octets` cut at the given positions, checking that each piece gives valid UTF-8.
std::string decoderEnMorceaux(DecodeurUtf8& decodeur, const std::string& octets, const std::vector<std::size_t>& coupes) {
    std::string texte;
    std::size_t debut = 0;
    auto morceau = [&](std::size_t fin) {
        const std::string partie = decodeur.decoder(std::string_view(octets).substr(debut, fin - debut));
        EXPECT_TRUE(g_utf8_validate(partie.data(), static_cast<gssize>(partie.size()), nullptr))
            << "morceau [" << debut << ", " << fin << ")";
        texte += partie;
        debut = fin;
    };
    for (const std::size_t coupe : coupes) morceau(coupe);
    morceau(octets.size());
    const std::string reste = decodeur.terminer();
    EXPECT_TRUE(g_utf8_validate(reste.data(), static_cast<gssize>(reste.size()), nullptr));
    return texte + reste;
}

TEST(DecodeurUtf8, LeTexteNeDependPasDuDecoupageEnMorceaux) {
    for (const auto& cas : CAS) {
        SCOPED_TRACE(cas.nom);
        DecodeurUtf8 decodeur;
        EXPECT_EQ(decoderEnMorceaux(decodeur, cas.octets, {}), cas.texte) << "d'un seul morceau";
        // Two pieces, cut at every byte boundary (inside every character on the way).
        for (std::size_t coupe = 0; coupe <= cas.octets.size(); ++coupe)
            EXPECT_EQ(decoderEnMorceaux(decodeur, cas.octets, {coupe}), cas.texte) << "coupé à " << coupe;
        // One byte at a time.
        std::vector<std::size_t> chaqueOctet;
        for (std::size_t i = 1; i < cas.octets.size(); ++i) chaqueOctet.push_back(i);
        EXPECT_EQ(decoderEnMorceaux(decodeur, cas.octets, chaqueOctet), cas.texte) << "octet par octet";
    }
}

TEST(DecodeurUtf8, UnCaractereCoupeAttendSaFinEtRienNeSePerd) {
    DecodeurUtf8 decodeur;
    EXPECT_EQ(decodeur.decoder("caf\xC3"), "caf");
    EXPECT_EQ(decodeur.decoder("\xA9 \xE2"), "é ");
    EXPECT_EQ(decodeur.decoder("\x82"), "");
    EXPECT_EQ(decodeur.decoder("\xAC\n"), "€\n");
    EXPECT_EQ(decodeur.terminer(), "");
    // A stream that ends inside a character; the next one starts clean.
    EXPECT_EQ(decodeur.decoder("x\xF0\x9F"), "x");
    EXPECT_EQ(decodeur.terminer(), R);
    EXPECT_EQ(decodeur.decoder("\x98\x80"), R + R) << "les octets d'avant la fin ne comptent plus";
    EXPECT_EQ(decodeur.decoder(""), "");
    EXPECT_EQ(decodeur.terminer(), "");
}

}  // namespace
