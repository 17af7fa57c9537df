#include "simulateur/serveurs.h"

#include "simulateur/echange.h"
#include "simulateur/routes.h"

#include <cstdio>
#include <cstdlib>

namespace ovrel::simulateur {

namespace {

// Marks a message whose journal entry has already been written (a reset connection).
constexpr const char* DEJA_NOTE = "ovrel-deja-note";
// Marks a message whose client went away while its answer was being delayed.
constexpr const char* ABANDONNE = "ovrel-abandonne";

struct Journalisation {
    Journal* journal;
    std::string service;
    std::string box;
};

EntreeJournal entreeDe(SoupServerMessage* message, const Journalisation& j, int statut) {
    EntreeJournal e;
    e.service = j.service;
    e.box = j.box;
    e.methode = soup_server_message_get_method(message);
    if (GUri* uri = soup_server_message_get_uri(message)) {
        e.chemin = g_uri_get_path(uri);
        if (const char* q = g_uri_get_query(uri)) e.requete = q;
    }
    SoupMessageHeaders* entetes = soup_server_message_get_request_headers(message);
    if (const char* h = soup_message_headers_get_one(entetes, "Host")) e.hote = h;
    if (const char* a = soup_message_headers_get_one(entetes, "User-Agent")) e.agent = a;
    if (const char* a = soup_message_headers_get_one(entetes, "Accept")) e.accept = a;
    if (const char* t = soup_message_headers_get_one(entetes, "Content-Type")) e.type = t;
    // A client may split its cookies over several Cookie headers.
    soup_message_headers_foreach(
        entetes,
        [](const char* nom, const char* valeur, gpointer cookies) {
            if (g_ascii_strcasecmp(nom, "Cookie") != 0) return;
            for (auto& n : nomsDesCookies(valeur)) static_cast<std::vector<std::string>*>(cookies)->push_back(std::move(n));
        },
        &e.cookies);
    if (SoupMessageBody* corps = soup_server_message_get_request_body(message); corps && corps->length > 0)
        e.longueur = static_cast<std::uint64_t>(corps->length);
    if (GUri* uri = soup_server_message_get_uri(message)) e.https = g_strcmp0(g_uri_get_scheme(uri), "https") == 0;
    e.statut = statut;
    return e;
}

void noterFin(SoupServer*, SoupServerMessage* message, gpointer donnees) {
    if (g_object_get_data(G_OBJECT(message), DEJA_NOTE)) return;
    g_object_set_data(G_OBJECT(message), DEJA_NOTE, GINT_TO_POINTER(1));
    const auto* j = static_cast<Journalisation*>(donnees);
    j->journal->noter(entreeDe(message, *j, static_cast<int>(soup_server_message_get_status(message))));
}

void noterAbandon(SoupServer*, SoupServerMessage* message, gpointer donnees) {
    g_object_set_data(G_OBJECT(message), ABANDONNE, GINT_TO_POINTER(1));
    if (g_object_get_data(G_OBJECT(message), DEJA_NOTE)) return;
    g_object_set_data(G_OBJECT(message), DEJA_NOTE, GINT_TO_POINTER(1));
    const auto* j = static_cast<Journalisation*>(donnees);
    j->journal->noter(entreeDe(message, *j, 0));
}

// A body that no reader accepts: cut JSON followed by bytes that are not UTF-8.
std::string corpsIncoherent() { return std::string("{\"ovrels\": [{\"id\": \"") + "\xff\xfe<html>maintenance"; }

int portDe(SoupServer* serveur, bool https) {
    int port = 0;
    GSList* uris = soup_server_get_uris(serveur);
    for (GSList* i = uris; i; i = i->next) {
        GUri* u = static_cast<GUri*>(i->data);
        if ((g_strcmp0(g_uri_get_scheme(u), "https") == 0) == https) port = g_uri_get_port(u);
    }
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    return port;
}

bool ecouterSur(SoupServer* serveur, const std::string& hote, int port, SoupServerListenOptions options,
                std::string& erreur) {
    GSocketAddress* adresse = g_inet_socket_address_new_from_string(hote.c_str(), static_cast<guint>(port));
    if (!adresse) {
        erreur = "adresse invalide " + hote;
        return false;
    }
    GError* e = nullptr;
    const bool ok = soup_server_listen(serveur, adresse, options, &e);
    g_object_unref(adresse);
    if (!ok) {
        erreur = hote + ":" + std::to_string(port) + " : " + (e ? e->message : "?");
        g_clear_error(&e);
    }
    return ok;
}

// Answers the message once `ms` have passed, unless its client went away meanwhile; `fin` runs
// when the wait ends, answered or not.
void differer(SoupServerMessage* message, int ms, std::function<void(SoupServerMessage*)> repondre,
              std::function<void()> fin = {}) {
    struct Attente {
        SoupServerMessage* message;
        std::function<void(SoupServerMessage*)> repondre;
        std::function<void()> fin;
    };
    soup_server_message_pause(message);
    auto* attente = new Attente{SOUP_SERVER_MESSAGE(g_object_ref(message)), std::move(repondre), std::move(fin)};
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(ms),
        [](gpointer d) -> gboolean {
            auto* a = static_cast<Attente*>(d);
            if (!g_object_get_data(G_OBJECT(a->message), ABANDONNE)) {
                a->repondre(a->message);
                soup_server_message_unpause(a->message);
            }
            return G_SOURCE_REMOVE;
        },
        attente,
        [](gpointer d) {
            auto* a = static_cast<Attente*>(d);
            if (a->fin) a->fin();
            g_object_unref(a->message);
            delete a;
        });
}

// Answers as the fault says; false when there is none and the route is to answer.
bool repondreEnPanne(SoupServerMessage* message, const Panne& panne, const Journalisation& j) {
    switch (panne.genre) {
        case Panne::Genre::normal:
            return false;
        case Panne::Genre::statut:
            envoyer(message, Reponse::texte(panne.statut, "réponse simulée " + std::to_string(panne.statut) + "\n"));
            return true;
        case Panne::Genre::incoherent:
            envoyer(message, Reponse::json(200, corpsIncoherent()));
            return true;
        case Panne::Genre::coupe:
        case Panne::Genre::injoignable:
            // No answer will finish: the entry is written now, with status 0.
            g_object_set_data(G_OBJECT(message), DEJA_NOTE, GINT_TO_POINTER(1));
            j.journal->noter(entreeDe(message, j, 0));
            couperConnexion(message);
            return true;
    }
    return false;
}

}  // namespace

bool adresseDeCetteMachine(const std::string& adresse) {
    GSocketAddress* a = g_inet_socket_address_new_from_string(adresse.c_str(), 0);
    if (!a) return false;
    GSocket* s = g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
    const bool ok = s && g_socket_bind(s, a, TRUE, nullptr);
    if (s) {
        g_socket_close(s, nullptr);
        g_object_unref(s);
    }
    g_object_unref(a);
    return ok;
}

void journaliser(SoupServer* serveur, Journal& journal, const std::string& service, const std::string& box) {
    auto* j = new Journalisation{&journal, service, box};
    g_signal_connect(serveur, "request-aborted", G_CALLBACK(noterAbandon), j);
    g_signal_connect_data(serveur, "request-finished", G_CALLBACK(noterFin), j,
                          [](gpointer d, GClosure*) { delete static_cast<Journalisation*>(d); }, GConnectFlags(0));
}

// --- The cloud ---

ServeurCloud::ServeurCloud(Etat& etat, Journal& journal, GTlsCertificate* certificatTunnel,
                           GTlsCertificate* certificatCloud)
    : etat_(etat), journal_(journal) {
    serveur_ = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, "server-header", "ovrel-simulateur", "tls-certificate",
                                        certificatTunnel, nullptr));
    soup_server_add_handler(serveur_, nullptr, &ServeurCloud::surRequete, this, nullptr);
    journaliser(serveur_, journal_, "cloud", "");
    if (certificatCloud) {
        serveurHttps_ = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, "server-header", "ovrel-simulateur", "tls-certificate",
                                                 certificatCloud, nullptr));
        soup_server_add_handler(serveurHttps_, nullptr, &ServeurCloud::surRequete, this, nullptr);
        journaliser(serveurHttps_, journal_, "cloud", "");
    }
}

ServeurCloud::~ServeurCloud() {
    for (SoupServer* s : {serveur_, serveurHttps_}) {
        if (!s) continue;
        soup_server_disconnect(s);
        g_object_unref(s);
    }
}

bool ServeurCloud::ecouter(int portCloud, int portTls, int portHttps, std::string& erreur) {
    portCloud_ = portCloud;
    portTls_ = portTls;
    portHttps_ = portHttps;
    if (!ecouterTout(erreur)) return false;
    portCloud_ = portDe(serveur_, false);
    portTls_ = portDe(serveur_, true);
    if (serveurHttps_) portHttps_ = portDe(serveurHttps_, true);
    return true;
}

bool ServeurCloud::ecouterTout(std::string& erreur) {
    ecoute_ = ecouterSur(serveur_, "127.0.0.1", portCloud_, SoupServerListenOptions(0), erreur) &&
              ecouterSur(serveur_, "127.0.0.1", portTls_, SOUP_SERVER_LISTEN_HTTPS, erreur) &&
              (!serveurHttps_ || ecouterSur(serveurHttps_, "127.0.0.1", portHttps_, SOUP_SERVER_LISTEN_HTTPS, erreur));
    return ecoute_;
}

void ServeurCloud::suivreScenario() {
    const bool injoignable = etat_.scenario.cloud.genre == Panne::Genre::injoignable;
    const std::string ports = std::to_string(portCloud_) + ", " + std::to_string(portTls_) +
                              (serveurHttps_ ? ", " + std::to_string(portHttps_) : "");
    if (injoignable && ecoute_) {
        abandonnerLesAttentes();
        soup_server_disconnect(serveur_);
        if (serveurHttps_) soup_server_disconnect(serveurHttps_);
        ecoute_ = false;
        std::printf("CLOUD injoignable : plus rien n'écoute sur %s\n", ports.c_str());
    } else if (!injoignable && !ecoute_) {
        std::string erreur;
        if (ecouterTout(erreur)) {
            std::printf("CLOUD rétabli sur %s\n", ports.c_str());
        } else {
            std::printf("CLOUD impossible de réécouter : %s\n", erreur.c_str());
        }
    }
    std::fflush(stdout);
}

void ServeurCloud::surRequete(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer donnees) {
    auto* moi = static_cast<ServeurCloud*>(donnees);
    const int lenteur = moi->etat_.scenario.lenteurMs;
    if (lenteur <= 0) {
        moi->repondre(message);
        return;
    }
    // A slow cloud: the answer is computed and sent once the delay has passed.
    moi->enAttente_.insert(message);
    differer(
        message, lenteur, [moi](SoupServerMessage* m) { moi->repondre(m); },
        [moi, message] { moi->enAttente_.erase(message); });
}

void ServeurCloud::abandonnerLesAttentes() {
    const Journalisation j{&journal_, "cloud", ""};
    for (SoupServerMessage* message : enAttente_) {
        g_object_set_data(G_OBJECT(message), ABANDONNE, GINT_TO_POINTER(1));
        if (g_object_get_data(G_OBJECT(message), DEJA_NOTE)) continue;
        g_object_set_data(G_OBJECT(message), DEJA_NOTE, GINT_TO_POINTER(1));
        journal_.noter(entreeDe(message, j, 0));
    }
}

void ServeurCloud::repondre(SoupServerMessage* message) {
    const Requete r = lireRequete(message);
    if (estHoteCloud(etat_, r.hote)) {
        const auto p = etat_.scenario.chemins.find(r.chemin);
        const Panne panne = p != etat_.scenario.chemins.end() ? p->second : etat_.scenario.cloud;
        if (repondreEnPanne(message, panne, Journalisation{&journal_, "cloud", ""})) return;
    }
    envoyer(message, routerCloud(etat_, r));
}

// --- The boxes of the bench ---

struct ServeursBoxes::ServeurBox {
    ServeursBoxes* parent;
    std::string role;
    SoupServer* serveur = nullptr;     // every box but the mute one
    GSocketService* muette = nullptr;  // the mute box, while it listens
    std::string hote;                  // where it listens; empty while nothing does
    int port = 0;
};

struct ServeursBoxes::ConnexionMuette {
    ServeursBoxes* parent;
    GSocketConnection* connexion;
    std::string recu;
    bool notee;
    char tampon[1024];
};

ServeursBoxes::ServeursBoxes(Etat& etat, Journal& journal) : etat_(etat), journal_(journal) {}

ServeursBoxes::~ServeursBoxes() {
    for (auto& s : serveurs_) {
        fermer(*s);
        if (s->serveur) g_object_unref(s->serveur);
    }
    for (auto* c : connexionsMuettes_) {
        g_io_stream_close(G_IO_STREAM(c->connexion), nullptr, nullptr);
        g_object_unref(c->connexion);
        delete c;
    }
}

bool ServeursBoxes::ouvrir(ServeurBox& s, const std::string& hote, int port, std::string& erreur) {
    if (!s.serveur) {
        // A listener cannot listen again once closed: the mute box takes a new one each time.
        s.muette = g_socket_service_new();
        GSocketAddress* adresse = g_inet_socket_address_new_from_string(hote.c_str(), static_cast<guint>(port));
        GSocketAddress* effective = nullptr;
        GError* e = nullptr;
        const bool ok = adresse && g_socket_listener_add_address(G_SOCKET_LISTENER(s.muette), adresse, G_SOCKET_TYPE_STREAM,
                                                                 G_SOCKET_PROTOCOL_TCP, nullptr, &effective, &e);
        if (adresse) g_object_unref(adresse);
        if (!ok) {
            erreur = "box muette sur " + hote + ":" + std::to_string(port) + " : " + (e ? e->message : "adresse invalide");
            g_clear_error(&e);
            g_object_unref(s.muette);
            s.muette = nullptr;
            return false;
        }
        s.port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(effective));
        g_object_unref(effective);
        g_signal_connect(s.muette, "incoming", G_CALLBACK(&ServeursBoxes::surConnexionMuette), this);
        g_socket_service_start(s.muette);
    } else {
        if (!ecouterSur(s.serveur, hote, port, SoupServerListenOptions(0), erreur)) return false;
        s.port = portDe(s.serveur, false);
        if (!etat_.config.reseauBoxes && hote != "127.0.0.1") {
            // Its announcement, once upgraded, resolves to the host's own address (127.0.0.1):
            // the same port there leads to it as well.
            std::string raison;
            if (!ecouterSur(s.serveur, "127.0.0.1", s.port, SoupServerListenOptions(0), raison))
                std::printf("BOX %s : pas de second accès sur 127.0.0.1 (%s)\n", s.role.c_str(), raison.c_str());
        }
    }
    s.hote = hote;
    return true;
}

void ServeursBoxes::fermer(ServeurBox& s) {
    if (s.serveur) soup_server_disconnect(s.serveur);
    if (s.muette) {
        g_socket_service_stop(s.muette);
        g_socket_listener_close(G_SOCKET_LISTENER(s.muette));
        g_object_unref(s.muette);
        s.muette = nullptr;
    }
    s.hote.clear();
}

bool ServeursBoxes::ecouter(int portAncien, std::string& erreur) {
    const bool reseau = etat_.config.reseauBoxes.has_value();
    for (auto& box : etat_.boxesLocales) {
        auto s = std::make_unique<ServeurBox>(ServeurBox{this, box.role, nullptr, nullptr, {}, 0});
        if (box.genre != GenreBox::muette) {
            s->serveur = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, "server-header", "ovrel-box", nullptr));
            soup_server_add_handler(s->serveur, nullptr, &ServeursBoxes::surRequete, s.get(), nullptr);
            journaliser(s->serveur, journal_, "box", box.role);
        }
        bool ok = false;
        if (!reseau && box.genre == GenreBox::ancienne) {
            // Its own loopback address, so that the usual box port can be offered to it.
            std::string ignoree;
            ok = ouvrir(*s, box.hote, portAncien, ignoree) ||
                 (portAncien != 0 && ouvrir(*s, box.hote, 0, ignoree));
            if (!ok) box.hote = "127.0.0.1";
        }
        if (!ok && !ouvrir(*s, box.hote, reseau ? box.port : 0, erreur)) {
            fermer(*s);
            if (s->serveur) g_object_unref(s->serveur);
            return false;
        }
        box.port = s->port;
        serveurs_.push_back(std::move(s));
    }
    return true;
}

void ServeursBoxes::suivreEtat() {
    for (auto& s : serveurs_) {
        const BoxLocale* box = etat_.boxLocale(s->role);
        const bool voulue = box && !box->absente;
        if (voulue ? s->hote == box->hote && s->port == box->port : s->hote.empty()) continue;
        fermer(*s);
        if (!voulue) {
            std::printf("BOX %s : partie du réseau, plus rien n'écoute\n", s->role.c_str());
            continue;
        }
        std::string erreur;
        if (ouvrir(*s, box->hote, box->port, erreur))
            std::printf("BOX %s : écoute sur %s:%d\n", s->role.c_str(), box->hote.c_str(), box->port);
        else
            std::printf("BOX %s : impossible d'écouter (%s)\n", s->role.c_str(), erreur.c_str());
    }
    std::fflush(stdout);
}

void ServeursBoxes::surRequete(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer donnees) {
    auto* s = static_cast<ServeurBox*>(donnees);
    ServeursBoxes* moi = s->parent;
    const BoxLocale* box = moi->etat_.boxLocale(s->role);
    const int lenteur = box ? box->lenteurDecouverteMs : 0;
    if (lenteur > 0 && g_strcmp0(g_uri_get_path(soup_server_message_get_uri(message)), "/api/decouverte") == 0) {
        // A slow box: its identity answer, fault included, comes once the delay has passed.
        differer(message, lenteur, [moi, role = s->role](SoupServerMessage* m) { moi->repondre(role, m); });
        return;
    }
    moi->repondre(s->role, message);
}

void ServeursBoxes::repondre(const std::string& role, SoupServerMessage* message) {
    BoxLocale* box = etat_.boxLocale(role);
    if (!box) {
        envoyer(message, Reponse::texte(503, "box retirée\n"));
        return;
    }
    const Requete r = lireRequete(message);
    if (r.chemin == "/api/decouverte" && repondreEnPanne(message, box->decouverte, Journalisation{&journal_, "box", role}))
        return;
    const bool annonceeAvant = box->annoncee();
    envoyer(message, routerBox(etat_, *box, r));
    if (box->annoncee() != annonceeAvant && surAnnonce_) surAnnonce_();
}

gboolean ServeursBoxes::surConnexionMuette(GSocketService*, GSocketConnection* connexion, GObject*, gpointer donnees) {
    auto* moi = static_cast<ServeursBoxes*>(donnees);
    auto* c = new ConnexionMuette{moi, G_SOCKET_CONNECTION(g_object_ref(connexion)), {}, false, {}};
    moi->connexionsMuettes_.push_back(c);
    g_input_stream_read_async(g_io_stream_get_input_stream(G_IO_STREAM(connexion)), c->tampon, sizeof c->tampon,
                              G_PRIORITY_DEFAULT, nullptr, &ServeursBoxes::surLectureMuette, c);
    return TRUE;
}

namespace {
// The journal entry of a request read by the mute box: its request line and Host header.
EntreeJournal entreeMuette(const std::string& recu, std::size_t finEntetes) {
    EntreeJournal e;
    e.service = "box";
    e.box = "muette";
    const std::string premiere = recu.substr(0, recu.find("\r\n"));
    const auto espace1 = premiere.find(' ');
    if (espace1 != std::string::npos) {
        e.methode = premiere.substr(0, espace1);
        const auto espace2 = premiere.find(' ', espace1 + 1);
        const std::string cible =
            premiere.substr(espace1 + 1, espace2 == std::string::npos ? std::string::npos : espace2 - espace1 - 1);
        const auto q = cible.find('?');
        e.chemin = cible.substr(0, q);
        if (q != std::string::npos) e.requete = cible.substr(q + 1);
    }
    // Its header lines, read as the soup servers read theirs.
    const std::string entetes = recu.substr(0, finEntetes);
    for (std::size_t debut = entetes.find("\r\n"); debut != std::string::npos;) {
        const std::size_t fin = entetes.find("\r\n", debut + 2);
        const std::string ligne = entetes.substr(debut + 2, fin == std::string::npos ? std::string::npos : fin - debut - 2);
        debut = fin;
        const auto deuxPoints = ligne.find(':');
        if (deuxPoints == std::string::npos) continue;
        const std::string nom = minuscules(ligne.substr(0, deuxPoints));
        std::string valeur = ligne.substr(deuxPoints + 1);
        while (!valeur.empty() && valeur.front() == ' ') valeur.erase(0, 1);
        if (nom == "host") e.hote = valeur;
        else if (nom == "user-agent") e.agent = valeur;
        else if (nom == "accept") e.accept = valeur;
        else if (nom == "content-type") e.type = valeur;
        else if (nom == "content-length") e.longueur = std::strtoull(valeur.c_str(), nullptr, 10);
        else if (nom == "cookie")
            for (auto& n : nomsDesCookies(valeur)) e.cookies.push_back(std::move(n));
    }
    return e;
}
}  // namespace

// The mute box reads what it is sent (to write the request in the journal) and never answers;
// it lets go of the connection only when the client closes it.
void ServeursBoxes::surLectureMuette(GObject* source, GAsyncResult* resultat, gpointer donnees) {
    auto* c = static_cast<ConnexionMuette*>(donnees);
    const gssize lus = g_input_stream_read_finish(G_INPUT_STREAM(source), resultat, nullptr);
    ServeursBoxes* moi = c->parent;
    if (lus > 0) {
        c->recu.append(c->tampon, static_cast<std::size_t>(lus));
        const auto finEntetes = c->recu.find("\r\n\r\n");
        if (!c->notee && finEntetes != std::string::npos) {
            c->notee = true;
            moi->journal_.noter(entreeMuette(c->recu, finEntetes));
        }
        if (c->recu.size() > 65536) c->recu.erase(0, c->recu.size() - 4096);
        g_input_stream_read_async(G_INPUT_STREAM(source), c->tampon, sizeof c->tampon, G_PRIORITY_DEFAULT, nullptr,
                                  &ServeursBoxes::surLectureMuette, c);
        return;
    }
    std::erase(moi->connexionsMuettes_, c);
    g_io_stream_close(G_IO_STREAM(c->connexion), nullptr, nullptr);
    g_object_unref(c->connexion);
    delete c;
}

}  // namespace ovrel::simulateur
