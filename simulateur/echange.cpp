#include "simulateur/echange.h"

#include "simulateur/outils.h"

#include <sys/socket.h>

namespace ovrel::simulateur {

std::optional<std::string> Requete::parametre(const std::string& nom) const {
    const auto i = parametres.find(nom);
    if (i == parametres.end()) return std::nullopt;
    return i->second;
}

std::optional<std::string> Requete::cookie(const std::string& nom) const {
    const auto i = cookies.find(nom);
    if (i == cookies.end()) return std::nullopt;
    return i->second;
}

Reponse Reponse::html(int statut, std::string corps) {
    Reponse r;
    r.statut = statut;
    r.corps = std::move(corps);
    return r;
}

Reponse Reponse::json(int statut, std::string corps) {
    Reponse r;
    r.statut = statut;
    r.type = "application/json";
    r.corps = std::move(corps);
    return r;
}

Reponse Reponse::texte(int statut, std::string corps) {
    Reponse r;
    r.statut = statut;
    r.type = "text/plain; charset=utf-8";
    r.corps = std::move(corps);
    return r;
}

Reponse Reponse::redirection(std::string location, int statut) {
    Reponse r;
    r.statut = statut;
    r.corps = "<!doctype html><title>Redirection</title><a href=\"" + echapperHtml(location) + "\">Suivre</a>";
    r.entetes.emplace_back("Location", std::move(location));
    return r;
}

Reponse& Reponse::entete(std::string nom, std::string valeur) {
    entetes.emplace_back(std::move(nom), std::move(valeur));
    return *this;
}

namespace {
// Calls `surPaire(nom, valeur)` for each "nom=valeur" of a Cookie header, in order.
template <typename F>
void parcourirCookies(std::string_view entete, F surPaire) {
    while (!entete.empty()) {
        const auto fin = entete.find(';');
        std::string_view paire = entete.substr(0, fin);
        while (!paire.empty() && paire.front() == ' ') paire.remove_prefix(1);
        const auto egal = paire.find('=');
        if (egal != std::string_view::npos) surPaire(paire.substr(0, egal), paire.substr(egal + 1));
        if (fin == std::string_view::npos) break;
        entete.remove_prefix(fin + 1);
    }
}
}  // namespace

std::map<std::string, std::string> lireCookies(std::string_view entete) {
    std::map<std::string, std::string> r;
    parcourirCookies(entete, [&](std::string_view nom, std::string_view valeur) { r.emplace(nom, valeur); });
    return r;
}

std::vector<std::string> nomsDesCookies(std::string_view entete) {
    std::vector<std::string> r;
    parcourirCookies(entete, [&](std::string_view nom, std::string_view) { r.emplace_back(nom); });
    return r;
}

std::map<std::string, std::string> lireFormulaire(std::string_view texte) {
    std::map<std::string, std::string> r;
    while (!texte.empty()) {
        const auto fin = texte.find('&');
        std::string element(texte.substr(0, fin));
        for (char& c : element)
            if (c == '+') c = ' ';
        const auto egal = element.find('=');
        const std::string nom = element.substr(0, egal);
        const std::string valeur = egal == std::string::npos ? "" : element.substr(egal + 1);
        auto decoder = [](const std::string& t) {
            gchar* d = g_uri_unescape_string(t.c_str(), nullptr);
            std::string s = d ? d : t;
            g_free(d);
            return s;
        };
        if (!nom.empty()) r.emplace(decoder(nom), decoder(valeur));
        if (fin == std::string_view::npos) break;
        texte.remove_prefix(fin + 1);
    }
    return r;
}

Requete lireRequete(SoupServerMessage* message) {
    Requete r;
    r.methode = soup_server_message_get_method(message);
    GUri* uri = soup_server_message_get_uri(message);
    r.chemin = g_uri_get_path(uri);
    if (const char* q = g_uri_get_query(uri)) r.requete = q;
    r.https = g_strcmp0(g_uri_get_scheme(uri), "https") == 0;
    SoupMessageHeaders* entetes = soup_server_message_get_request_headers(message);
    if (const char* h = soup_message_headers_get_one(entetes, "Host")) r.hoteComplet = h;
    std::string hote = r.hoteComplet;
    if (!hote.empty() && hote.front() == '[') {
        hote = hote.substr(0, hote.find(']') + 1);
    } else if (const auto deuxPoints = hote.rfind(':'); deuxPoints != std::string::npos) {
        hote.resize(deuxPoints);
    }
    r.hote = minuscules(hote);
    if (const char* c = soup_message_headers_get_one(entetes, "Cookie")) r.cookies = lireCookies(c);
    r.parametres = lireFormulaire(r.requete);
    SoupMessageBody* corps = soup_server_message_get_request_body(message);
    if (corps && corps->data && corps->length > 0) r.corps.assign(corps->data, static_cast<std::size_t>(corps->length));
    if (const char* type = soup_message_headers_get_content_type(entetes, nullptr)) r.type = minuscules(type);
    if (r.type == "application/x-www-form-urlencoded") r.formulaire = lireFormulaire(r.corps);
    return r;
}

void envoyer(SoupServerMessage* message, const Reponse& reponse) {
    soup_server_message_set_status(message, static_cast<guint>(reponse.statut), nullptr);
    SoupMessageHeaders* entetes = soup_server_message_get_response_headers(message);
    for (const auto& [nom, valeur] : reponse.entetes) soup_message_headers_append(entetes, nom.c_str(), valeur.c_str());
    soup_message_headers_replace(entetes, "Cache-Control", "no-store");
    soup_server_message_set_response(message, reponse.type.c_str(), SOUP_MEMORY_COPY, reponse.corps.data(),
                                     reponse.corps.size());
}

void couperConnexion(SoupServerMessage* message) {
    if (GSocket* s = soup_server_message_get_socket(message)) {
        // A zero linger turns the close into a reset: the client sees the connection torn down.
        const struct linger arret{1, 0};
        setsockopt(g_socket_get_fd(s), SOL_SOCKET, SO_LINGER, &arret, sizeof arret);
    }
    GIOStream* flux = soup_server_message_steal_connection(message);
    if (flux) {
        g_io_stream_close(flux, nullptr, nullptr);
        g_object_unref(flux);
    }
}

}  // namespace ovrel::simulateur
