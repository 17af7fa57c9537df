// The sign-in return address and the sign-in steps met in the web view. The first line of the
// input is the expected state, the rest the address.
#include "connexion/connexion.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    const std::string_view texte(reinterpret_cast<const char*>(donnees), taille);
    const auto saut = texte.find('\n');
    const std::string etat(texte.substr(0, saut));
    const std::string url(saut == std::string_view::npos ? std::string_view{} : texte.substr(saut + 1));
    if (auto jeton = ovrel::analyserRetourConnexion(url, etat)) {
        // An accepted token is always 40 to 128 characters of the URL-safe alphabet.
        if (jeton->size() < 40 || jeton->size() > 128) __builtin_trap();
        for (char c : *jeton) {
            const bool permis = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '_';
            if (!permis) __builtin_trap();
        }
        if (etat.empty()) __builtin_trap();
    }
    if (auto etape = ovrel::navigationDeConnexion(url))
        if (*etape != "connexion" && *etape != "deconnexion") __builtin_trap();
    (void)ovrel::genreDeLien(url);
    return 0;
}
