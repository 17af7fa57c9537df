#include "connexion/connexion.h"

#include "app/constantes.h"
#include "plateforme/adresse.h"
#include "web/adresses.h"

#include <glib.h>
#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace ovrel {

namespace {

constexpr std::size_t OCTETS_ETAT = 32;

// Fills the buffer from the kernel's secure random source. getrandom may be interrupted or
// return fewer bytes than asked; it is retried until the buffer is full. Without any secure
// source the process stops: a predictable state would defeat the return check.
void octetsAleatoires(unsigned char* tampon, std::size_t taille) {
    std::size_t lus = 0;
    while (lus < taille) {
        const ssize_t n = getrandom(tampon + lus, taille - lus, 0);
        if (n > 0) {
            lus += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    if (lus == taille) return;
    // Kernels without getrandom: the device gives the same source.
    std::FILE* f = std::fopen("/dev/urandom", "rb");
    if (f != nullptr) {
        while (lus < taille) {
            const std::size_t n = std::fread(tampon + lus, 1, taille - lus, f);
            if (n == 0) break;
            lus += n;
        }
        std::fclose(f);
    }
    if (lus != taille) std::abort();
}

std::optional<std::string> siAdresse(std::string texte) {
    if (!analyserAdresse(texte)) return std::nullopt;
    return texte;
}

bool caractereDeJeton(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// The value of the only item with this name; absent when there is none, several, or no value.
std::optional<std::string> seulElement(const std::vector<ElementRequete>& elements, std::string_view nom) {
    const ElementRequete* trouve = nullptr;
    for (const auto& e : elements) {
        if (e.nom != nom) continue;
        if (trouve != nullptr) return std::nullopt;
        trouve = &e;
    }
    if (trouve == nullptr) return std::nullopt;
    return trouve->valeur;
}

}  // namespace

std::string nouvelEtatConnexion() {
    unsigned char octets[OCTETS_ETAT];
    octetsAleatoires(octets, sizeof octets);
    gchar* base64 = g_base64_encode(octets, sizeof octets);
    std::string etat;
    for (const gchar* c = base64; *c != '\0'; ++c) {
        if (*c == '=') continue;
        etat.push_back(*c == '+' ? '-' : *c == '/' ? '_' : *c);
    }
    g_free(base64);
    return etat;
}

std::optional<std::string> adresseConnexionSafari(std::string_view etat) {
    return siAdresse(BASE_CLOUD() + "/studio/app/connexion?etat=" + std::string(etat));
}

std::optional<std::string> adresseSessionApp(std::string_view jeton) {
    return siAdresse(BASE_CLOUD() + "/studio/app/session?jeton=" + std::string(jeton));
}

std::optional<std::string> adresseDeconnexionSafari() {
    return siAdresse(BASE_CLOUD() + "/deconnexion?app=studio");
}

std::optional<std::string> navigationDeConnexion(std::string_view url) {
    auto adresse = analyserAdresse(url);
    if (!adresse || !adresse->hote) return std::nullopt;
    const std::string hote = minuscules(*adresse->hote);
    if (!estHoteOvrel(hote)) return std::nullopt;
    // A box behind the tunnel has pages of its own with these paths.
    if (hote.find(".box.") != std::string::npos) return std::nullopt;
    const std::string& chemin = adresse->chemin;
    if (commencePar(hote, "auth.")) {
        if (finitPar(chemin, "/protocol/openid-connect/auth")) return "connexion";
        if (chemin.find("/login-actions/") != std::string::npos) return "connexion";
        if (finitPar(chemin, "/protocol/openid-connect/logout")) return "deconnexion";
        return std::nullopt;
    }
    if (chemin == "/connexion") return "connexion";
    if (chemin == "/deconnexion") return "deconnexion";
    return std::nullopt;
}

std::optional<std::string> analyserRetourConnexion(const std::optional<std::string>& url,
                                                   std::string_view etatAttendu) {
    if (!url) return std::nullopt;
    auto adresse = analyserAdresse(*url);
    if (!adresse) return std::nullopt;
    if (minuscules(adresse->schema) != SCHEMA_APP) return std::nullopt;
    if (!adresse->hote || minuscules(*adresse->hote) != "session") return std::nullopt;
    if (etatAttendu.empty()) return std::nullopt;
    if (!adresse->requete) return std::nullopt;
    const auto elements = adresse->elementsRequete();
    auto etat = seulElement(elements, "etat");
    if (!etat || *etat != etatAttendu) return std::nullopt;
    auto jeton = seulElement(elements, "jeton");
    if (!jeton) return std::nullopt;
    if (jeton->size() < 40 || jeton->size() > 128) return std::nullopt;
    for (char c : *jeton)
        if (!caractereDeJeton(c)) return std::nullopt;
    return jeton;
}

LienApp genreDeLien(std::string_view url) {
    auto adresse = analyserAdresse(url);
    const std::string hote = adresse && adresse->hote ? minuscules(*adresse->hote) : std::string();
    if (hote == "ouvrir") return LienApp::Ouvrir;
    if (hote == "connexion") return LienApp::Connexion;
    if (hote == "session") return LienApp::RetourConnexion;
    return LienApp::Aucun;
}

}  // namespace ovrel
