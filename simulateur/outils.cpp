#include "simulateur/outils.h"

#include <ctime>
#include <random>

namespace ovrel::simulateur {

namespace {
std::mt19937_64& generateur() {
    static std::mt19937_64 g{[] {
        std::random_device source;
        std::seed_seq graine{source(), source(), source(), source()};
        return std::mt19937_64(graine);
    }()};
    return g;
}
}  // namespace

std::string tirage(std::string_view alphabet, std::size_t longueur) {
    std::uniform_int_distribution<std::size_t> choix(0, alphabet.size() - 1);
    std::string r;
    r.reserve(longueur);
    for (std::size_t i = 0; i < longueur; ++i) r.push_back(alphabet[choix(generateur())]);
    return r;
}

std::string nouveauJeton(std::size_t longueur) { return tirage(ALPHABET_JETON, longueur); }

std::string nouveauCode() {
    constexpr std::string_view sansAmbiguite = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    return tirage(sansAmbiguite, 4) + "-" + tirage(sansAmbiguite, 4);
}

std::int64_t secondesDepuis1970(Instant t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

std::string dateIso(Instant t) {
    const std::time_t s = static_cast<std::time_t>(secondesDepuis1970(t));
    std::tm tm{};
    gmtime_r(&s, &tm);
    char tampon[32];
    std::strftime(tampon, sizeof tampon, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return tampon;
}

std::string echapperHtml(std::string_view texte) {
    std::string r;
    r.reserve(texte.size());
    for (char c : texte) {
        switch (c) {
            case '&': r += "&amp;"; break;
            case '<': r += "&lt;"; break;
            case '>': r += "&gt;"; break;
            case '"': r += "&quot;"; break;
            case '\'': r += "&#39;"; break;
            default: r.push_back(c);
        }
    }
    return r;
}

std::string minuscules(std::string_view texte) {
    std::string r(texte);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string serieComparable(std::string_view serie) {
    std::string r;
    for (char c : serie) {
        if (c == '-' || c == ' ') continue;
        r.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return r;
}

std::string encoderRequete(std::string_view texte) {
    constexpr std::string_view hexa = "0123456789ABCDEF";
    std::string r;
    for (unsigned char c : texte) {
        const bool libre = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.' || c == '~';
        if (libre) {
            r.push_back(static_cast<char>(c));
        } else {
            r.push_back('%');
            r.push_back(hexa[c >> 4]);
            r.push_back(hexa[c & 15]);
        }
    }
    return r;
}

}  // namespace ovrel::simulateur
