// The local boxes' discovery, end to end: from ChercheurBox::demarrer() to the table holding
// every announced box with its identity, through the real Avahi adapter and the real HTTP
// adapter, side by side with `avahi-browse -rpt` on the same services in the same run.
//
// Runs in the world of scripts/espace-avahi.sh --demon (see bench/decouverte.sh). One HTTP server
// listens on one port per box and answers /api/decouverte with the box's identity; each mute box
// is a port that accepts connections and never answers. All of them are announced from here,
// through the daemon, before anything is measured.
//
//   bench_decouverte [--boxes N] [--muettes M] [--tours T]
#include "plateforme/avahi/decouverte_avahi.h"
#include "plateforme/glib/minuteries_glib.h"
#include "plateforme/soup/http_soup.h"
#include "reseau/chercheur_box.h"

#include <avahi-client/publish.h>
#include <avahi-common/error.h>
#include <gio/gio.h>
#include <libsoup/soup.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <string>
#include <vector>

namespace {

using Horloge = std::chrono::steady_clock;
namespace fs = std::filesystem;

double ms(Horloge::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

[[noreturn]] void echec(const std::string& message) {
    std::fprintf(stderr, "ÉCHEC : %s\n", message.c_str());
    std::exit(1);
}

// Iterates the default main context, as the application's loop does, until `fini` holds or
// `limite` passed; false on time-out.
bool tourner(const std::function<bool()>& fini, std::chrono::seconds limite) {
    bool expire = false;
    GSource* garde = g_timeout_source_new_seconds(static_cast<guint>(limite.count()));
    g_source_set_callback(
        garde, [](gpointer d) -> gboolean { *static_cast<bool*>(d) = true; return G_SOURCE_REMOVE; }, &expire,
        nullptr);
    g_source_attach(garde, nullptr);
    while (!fini() && !expire) g_main_context_iteration(nullptr, TRUE);
    g_source_destroy(garde);
    g_source_unref(garde);
    return fini();
}

std::vector<std::string> champs(const std::string& ligne) {
    std::vector<std::string> resultat;
    std::size_t debut = 0;
    for (std::size_t fin; (fin = ligne.find(';', debut)) != std::string::npos; debut = fin + 1)
        resultat.push_back(ligne.substr(debut, fin - debut));
    resultat.push_back(ligne.substr(debut));
    return resultat;
}

// The answering boxes: one SoupServer on one port each, in a thread of its own with its own main
// context, as boxes answer from devices of their own: their work is not counted in the
// application's main loop.
struct Boxes {
    SoupServer* serveur = nullptr;
    GMainContext* contexte = g_main_context_new();
    GMainLoop* boucle = g_main_loop_new(contexte, FALSE);
    std::map<int, int> numeroDuPort;  // port → box number, written before the thread serves
    std::vector<int> ports;
    std::thread fil;

    explicit Boxes(int nombre) {
        std::promise<void> pret;
        fil = std::thread([this, nombre, &pret] {
            g_main_context_push_thread_default(contexte);
            ecouter(nombre);
            pret.set_value();
            g_main_loop_run(boucle);
            soup_server_disconnect(serveur);
            g_object_unref(serveur);
            g_main_context_pop_thread_default(contexte);
        });
        pret.get_future().wait();
    }
    ~Boxes() {
        g_main_context_invoke(contexte, [](gpointer b) -> gboolean { g_main_loop_quit(static_cast<GMainLoop*>(b)); return G_SOURCE_REMOVE; }, boucle);
        fil.join();
        g_main_loop_unref(boucle);
        g_main_context_unref(contexte);
    }
    void ecouter(int nombre) {
        serveur = soup_server_new(nullptr, nullptr);
        soup_server_add_handler(serveur, "/api/decouverte", repondre, this, nullptr);
        GSList* avant = nullptr;
        for (int i = 1; i <= nombre; ++i) {
            GError* erreur = nullptr;
            if (!soup_server_listen_all(serveur, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &erreur)) echec(erreur->message);
            GSList* ecoutes = soup_server_get_listeners(serveur);
            for (GSList* e = ecoutes; e; e = e->next) {
                if (g_slist_find(avant, e->data)) continue;
                GSocketAddress* adresse = g_socket_get_local_address(G_SOCKET(e->data), nullptr);
                const int port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(adresse));
                g_object_unref(adresse);
                numeroDuPort[port] = i;
                ports.push_back(port);
            }
            g_slist_free(avant);
            avant = g_slist_copy(ecoutes);
        }
        g_slist_free(avant);
    }
    static void repondre(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer donnees) {
        auto* boxes = static_cast<Boxes*>(donnees);
        GSocketAddress* locale = soup_server_message_get_local_address(message);
        const int port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(locale));
        const int n = boxes->numeroDuPort[port];
        char corps[160];
        std::snprintf(corps, sizeof corps,
                      R"({"produit":"ovrel-box","nom":"Box banc %02d","version":"2.4.%d","serie":"OV24B%04d"})", n,
                      n % 10, n);
        soup_server_message_set_status(message, 200, nullptr);
        soup_server_message_set_response(message, "application/json", SOUP_MEMORY_COPY, corps, std::strlen(corps));
    }
};

// A mute box: the kernel accepts its connections (the backlog), nobody ever reads or answers.
int portMuet() {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in adresse{};
    adresse.sin_family = AF_INET;
    adresse.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t taille = sizeof adresse;
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&adresse), taille) != 0 || listen(s, 128) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&adresse), &taille) != 0)
        echec("port muet impossible");
    return ntohs(adresse.sin_port);
}

// Every box announced in an entry group of its own, as each box announces itself, from one
// client of ours; waited for until all are established.
struct Annonces {
    AvahiGLibPoll* boucle = avahi_glib_poll_new(nullptr, G_PRIORITY_DEFAULT);
    AvahiClient* client = nullptr;
    std::size_t etablies = 0;

    explicit Annonces(const std::vector<std::pair<std::string, int>>& services) {
        int erreur = 0;
        client = avahi_client_new(avahi_glib_poll_get(boucle), AvahiClientFlags(0), nullptr, nullptr, &erreur);
        if (!client) echec(std::string("client Avahi : ") + avahi_strerror(erreur));
        for (const auto& [nom, port] : services) {
            AvahiEntryGroup* groupe = avahi_entry_group_new(
                client,
                [](AvahiEntryGroup*, AvahiEntryGroupState etat, void* d) {
                    if (etat == AVAHI_ENTRY_GROUP_ESTABLISHED) ++static_cast<Annonces*>(d)->etablies;
                    if (etat == AVAHI_ENTRY_GROUP_COLLISION || etat == AVAHI_ENTRY_GROUP_FAILURE)
                        echec("annonce refusée");
                },
                this);
            if (!groupe ||
                avahi_entry_group_add_service(groupe, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                                              nom.c_str(), ovrel::TYPE_SERVICE_BOX, nullptr, nullptr,
                                              static_cast<uint16_t>(port), nullptr) < 0 ||
                avahi_entry_group_commit(groupe) < 0)
                echec("annonce de " + nom + " : " + avahi_strerror(avahi_client_errno(client)));
        }
        if (!tourner([&] { return etablies == services.size(); }, std::chrono::seconds(30)))
            echec("annonces non établies");
    }
};

struct Mesure {
    std::optional<double> table;      // every service in the table
    std::optional<double> identites;  // every answering box with its identity
};

Mesure mesurerOvrel(int boxes, int muettes, const fs::path& dossier, int tour) {
    ovrel::HttpSoup http(dossier / ("cookies-" + std::to_string(tour) + ".sqlite"));
    ovrel::DecouverteAvahi decouverte;
    ovrel::MinuteriesGlib minuteries;
    ovrel::ChercheurBox chercheur(decouverte, http, minuteries);
    Mesure mesure;
    Horloge::time_point debut;
    chercheur.definirSurChangement([&] {
        const auto& table = chercheur.boxes();
        int identifiees = 0;
        for (const auto& [cle, box] : table) identifiees += box.serie.empty() ? 0 : 1;
        if (!mesure.table && table.size() == static_cast<std::size_t>(boxes + muettes))
            mesure.table = ms(Horloge::now() - debut);
        if (!mesure.identites && identifiees == boxes) mesure.identites = ms(Horloge::now() - debut);
    });
    debut = Horloge::now();
    chercheur.demarrer();
    tourner([&] { return mesure.table && mesure.identites; }, std::chrono::seconds(30));
    // The mute boxes are in the table with their host name only.
    int sansIdentite = 0;
    for (const auto& [cle, box] : chercheur.boxes())
        if (box.serie.empty() && box.nom == box.hote) ++sansIdentite;
    if (sansIdentite != muettes)
        std::printf("  attention : %d boxes sans identité, %d muettes attendues\n", sansIdentite, muettes);
    chercheur.arreter();
    return mesure;
}

// The Avahi adapter alone: every service reported, nobody asked who it is.
std::optional<double> mesurerDecouverteSeule(int services) {
    ovrel::DecouverteAvahi decouverte;
    std::set<std::pair<std::string, int>> rapportes;
    const auto debut = Horloge::now();
    decouverte.chercher(ovrel::TYPE_SERVICE_BOX, ovrel::DOMAINE_DECOUVERTE,
                        [&](const std::string& hote, int port) { rapportes.emplace(hote, port); });
    if (!tourner([&] { return rapportes.size() == static_cast<std::size_t>(services); }, std::chrono::seconds(30)))
        return std::nullopt;
    return ms(Horloge::now() - debut);
}

// avahi-browse -rpt on the same services: the time its output holds every service resolved
// (on one interface and protocol at least), and the time it ends (it waits for the daemon's "all
// for now" first). Its output is line-buffered, so that each line is timed when written.
Mesure mesurerAvahiBrowse(int services) {
    const char* argv[] = {"stdbuf", "-oL", "avahi-browse", "-rpt", ovrel::TYPE_SERVICE_BOX, nullptr};
    const auto debut = Horloge::now();
    GError* erreur = nullptr;
    GSubprocess* p = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_STDOUT_PIPE, &erreur);
    if (!p) echec(erreur->message);
    GDataInputStream* flux = g_data_input_stream_new(g_subprocess_get_stdout_pipe(p));
    std::set<std::string> resolus;
    Mesure mesure;
    while (char* ligne = g_data_input_stream_read_line_utf8(flux, nullptr, nullptr, nullptr)) {
        // =;interface;protocol;name;type;domain;host;address;port;txt
        const auto c = champs(ligne);
        if (c.size() > 3 && c[0] == "=") {
            resolus.insert(c[3]);
            if (!mesure.table && resolus.size() == static_cast<std::size_t>(services))
                mesure.table = ms(Horloge::now() - debut);
        }
        g_free(ligne);
    }
    g_subprocess_wait(p, nullptr, nullptr);
    mesure.identites = ms(Horloge::now() - debut);
    g_object_unref(flux);
    g_object_unref(p);
    return mesure;
}

std::optional<double> mediane(std::vector<std::optional<double>> valeurs) {
    std::vector<double> v;
    for (const auto& x : valeurs)
        if (x) v.push_back(*x);
    if (v.size() != valeurs.size() || v.empty()) return std::nullopt;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::string texte(const std::optional<double>& v) {
    if (!v) return "jamais";
    char t[32];
    std::snprintf(t, sizeof t, "%.0f ms", *v);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    int boxes = 50, muettes = 0, tours = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int valeur = std::atoi(argv[i + 1]);
        if (option == "--boxes") boxes = valeur;
        else if (option == "--muettes") muettes = valeur;
        else if (option == "--tours") tours = valeur;
        else echec("option inconnue : " + option);
    }
    if (!std::getenv("OVREL_AVAHI_HOTE")) echec("à lancer par scripts/espace-avahi.sh --demon (voir bench/decouverte.sh)");

    char modele[] = "/tmp/ovrel-bench-decouverte.XXXXXX";
    const fs::path dossier = mkdtemp(modele);
    Boxes serveur(boxes);
    std::vector<std::pair<std::string, int>> services;
    for (int i = 1; i <= boxes; ++i) services.emplace_back("Box banc " + std::to_string(i), serveur.ports[i - 1]);
    for (int i = 1; i <= muettes; ++i) services.emplace_back("Box muette " + std::to_string(i), portMuet());
    Annonces annonces(services);

    std::printf("%d boxes qui répondent, %d muettes, hôte %s\n", boxes, muettes, std::getenv("OVREL_AVAHI_HOTE"));
    std::vector<std::optional<double>> tables, identites, seules, resolus, fins;
    for (int tour = 1; tour <= tours; ++tour) {
        const Mesure ovrel = mesurerOvrel(boxes, muettes, dossier, tour);
        const auto seule = mesurerDecouverteSeule(boxes + muettes);
        const Mesure browse = mesurerAvahiBrowse(boxes + muettes);
        tables.push_back(ovrel.table);
        identites.push_back(ovrel.identites);
        seules.push_back(seule);
        resolus.push_back(browse.table);
        fins.push_back(browse.identites);
        std::printf("tour %d : Ovrel — table de %d : %s, %d identités : %s (DNS-SD seul : %s) | avahi-browse -rpt — "
                    "%d résolus : %s, fin : %s",
                    tour, boxes + muettes, texte(ovrel.table).c_str(), boxes, texte(ovrel.identites).c_str(),
                    texte(seule).c_str(), boxes + muettes, texte(browse.table).c_str(), texte(browse.identites).c_str());
        if (ovrel.identites && browse.table) std::printf(" | rapport %.2f", *ovrel.identites / *browse.table);
        std::printf("\n");
        std::fflush(stdout);
    }
    const auto mi = mediane(identites), mr = mediane(resolus);
    std::printf("médianes : Ovrel — table %s, identités %s (DNS-SD seul : %s) | avahi-browse -rpt — résolus %s, fin %s",
                texte(mediane(tables)).c_str(), texte(mi).c_str(), texte(mediane(seules)).c_str(), texte(mr).c_str(),
                texte(mediane(fins)).c_str());
    if (mi && mr) std::printf(" | rapport %.2f", *mi / *mr);
    std::printf("\n");
    fs::remove_all(dossier);
    return 0;
}
