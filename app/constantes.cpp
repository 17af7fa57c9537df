#include "app/constantes.h"

#include <glib.h>


namespace ovrel {

namespace {
std::string domaine(std::string_view prefixe) { return std::string(prefixe) + std::string(DOMAINE_CLOUD); }

// The studio address of the launch configuration, and whether an address was computed from it.
struct Studio {
    std::optional<std::string> configure;
    bool fige = false;
};
Studio& studio() {
    static Studio s;
    return s;
}
}  // namespace

bool etablirConfiguration(const Configuration& configuration) {
    if (studio().fige) return false;
    studio().configure = configuration.urlStudio;
    return true;
}

const std::string& HOTE_STUDIO() { static const std::string v = domaine("studio."); return v; }
const std::string& HOTE_SITE_WEB() { static const std::string v = domaine("www."); return v; }
const std::string& HOTE_CONNEXION() { static const std::string v = domaine("auth."); return v; }
const std::string& HOTE_PORTAIL() { static const std::string v = domaine("portail."); return v; }
const std::string& SUFFIXE_BOX() { static const std::string v = domaine(".box."); return v; }
const std::string& URL_PORTAIL() { static const std::string v = "https://" + HOTE_PORTAIL(); return v; }

std::string urlStudioDepuis(const std::optional<std::string>& variable) {
    if (variable) return *variable;
    return "https://" + HOTE_STUDIO() + "/studio";
}

std::string baseCloudDepuis(std::string_view urlStudio) {
    constexpr std::string_view suffixe = "/studio";
    if (urlStudio.size() >= suffixe.size() && urlStudio.substr(urlStudio.size() - suffixe.size()) == suffixe)
        urlStudio.remove_suffix(suffixe.size());
    return std::string(urlStudio);
}

const std::string& URL_STUDIO() {
    static const std::string v = [] {
        studio().fige = true;
        return urlStudioDepuis(studio().configure);
    }();
    return v;
}

const std::string& BASE_CLOUD() { static const std::string v = baseCloudDepuis(URL_STUDIO()); return v; }
const std::string& URL_JETON_LOCAL() { static const std::string v = URL_STUDIO() + "/jeton-local"; return v; }
const std::string& URL_PARC() { static const std::string v = URL_STUDIO() + "/api/parc"; return v; }
const std::string& URL_MOI() { static const std::string v = BASE_CLOUD() + "/api/moi"; return v; }
const std::string& URL_FABRIQUER() { static const std::string v = BASE_CLOUD() + "/admin/api/fabriquer"; return v; }
const std::string& CANAL_MAJ() {
    static const std::string v = "https://" + HOTE_SITE_WEB() + std::string(CHEMIN_MANIFESTE);
    return v;
}

std::string serieNormalisee(std::string_view serie) {
    std::string haut;
    if (g_utf8_validate(serie.data(), static_cast<gssize>(serie.size()), nullptr)) {
        gchar* h = g_utf8_strup(serie.data(), static_cast<gssize>(serie.size()));
        haut = h;
        g_free(h);
    } else {
        // Not UTF-8: only ASCII letters can be upper-cased safely.
        haut = std::string(serie);
        for (char& c : haut)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    std::string r;
    r.reserve(haut.size());
    for (char c : haut)
        if (c != '-' && c != ' ') r.push_back(c);
    return r;
}

}  // namespace ovrel
