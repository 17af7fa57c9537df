// ovrel-simulateur: a local stand-in for the Ovrel cloud and a bench of boxes, on loopback only,
// for demos and end-to-end tests. One process, all state in memory.
//
// Once everything listens it prints one line that scripts read to find it:
//   PRET cloud=<port> tls=<port> controle=<port> studio=<address> ancien=<host:port> boxes=<p1,p2,...>
// followed, on the boxes' network, by " hotes=<name>=<address:port>,..." (every box of the bench)
// and by " https=<port>" when the cloud is also served over HTTPS. It ends cleanly on SIGTERM or
// SIGINT.
#include "simulateur/annonce_avahi.h"
#include "simulateur/certificat.h"
#include "simulateur/controle.h"
#include "simulateur/journal.h"
#include "simulateur/serveurs.h"

#include <glib-unix.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

using namespace ovrel::simulateur;

namespace {

struct Options {
    int portCloud = 47080;
    int portTls = 47443;
    int portControle = 47081;
    int portAncien = 8000;
    std::optional<int> portHttps;
    std::string fichierAutorite;
    bool avahi = true;
    std::string domaine = "ovrel.localhost";
    std::optional<ReseauBoxes> reseauBoxes;
};

void usage(std::FILE* sortie) {
    std::fprintf(sortie,
                 "Usage : ovrel-simulateur [--port-cloud N] [--port-tls N] [--port-controle N]\n"
                 "                         [--port-ancien N] [--domaine D] [--sans-avahi]\n"
                 "                         [--port-https N [--fichier-autorite FICHIER]]\n"
                 "                         [--reseau-boxes RÉSEAU/LONGUEUR]\n"
                 "  Ports 0 : n'importe quel port libre. Par défaut : cloud 47080, tls 47443,\n"
                 "  contrôle 47081, box ancienne 8000 (sur 127.0.0.2), domaine ovrel.localhost.\n"
                 "  --port-https sert aussi le cloud en HTTPS, avec un certificat signé par une\n"
                 "  autorité créée au démarrage, écrite (PEM) dans FICHIER avant la ligne PRET.\n"
                 "  --reseau-boxes 192.168.77.0/24 : chaque box écoute sur sa propre adresse de ce\n"
                 "  réseau (.11, .12… dans l'ordre du banc), port %d, sous le nom box-<rôle>.local ;\n"
                 "  ces adresses doivent être celles de la machine (--port-ancien est alors ignoré).\n",
                 PORT_BOX);
}

bool lirePort(const char* texte, int& port) {
    char* fin = nullptr;
    const long n = std::strtol(texte, &fin, 10);
    if (!*texte || *fin || n < 0 || n > 65535) return false;
    port = static_cast<int>(n);
    return true;
}

bool lireOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool valeur = i + 1 < argc;
        if (a == "--sans-avahi") {
            o.avahi = false;
        } else if (a == "--aide" || a == "--help") {
            usage(stdout);
            std::exit(0);
        } else if (a == "--port-cloud" && valeur) {
            if (!lirePort(argv[++i], o.portCloud)) return false;
        } else if (a == "--port-tls" && valeur) {
            if (!lirePort(argv[++i], o.portTls)) return false;
        } else if (a == "--port-controle" && valeur) {
            if (!lirePort(argv[++i], o.portControle)) return false;
        } else if (a == "--port-ancien" && valeur) {
            if (!lirePort(argv[++i], o.portAncien)) return false;
        } else if (a == "--port-https" && valeur) {
            int port = 0;
            if (!lirePort(argv[++i], port)) return false;
            o.portHttps = port;
        } else if (a == "--fichier-autorite" && valeur) {
            o.fichierAutorite = argv[++i];
            if (o.fichierAutorite.empty()) return false;
        } else if (a == "--reseau-boxes" && valeur) {
            o.reseauBoxes = lireReseauBoxes(argv[++i]);
            if (!o.reseauBoxes) return false;
        } else if (a == "--domaine" && valeur) {
            o.domaine = argv[++i];
            if (o.domaine.empty()) return false;
        } else {
            return false;
        }
    }
    // The authority is made only for the HTTPS port.
    return o.fichierAutorite.empty() || o.portHttps;
}

gboolean arreter(gpointer boucle) {
    g_main_loop_quit(static_cast<GMainLoop*>(boucle));
    return G_SOURCE_CONTINUE;
}

int echec(const std::string& message) {
    std::fprintf(stderr, "ovrel-simulateur : %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::signal(SIGPIPE, SIG_IGN);
    Options options;
    if (!lireOptions(argc, argv, options)) {
        usage(stderr);
        return 2;
    }

    Config config;
    config.domaine = options.domaine;
    config.reseauBoxes = options.reseauBoxes;
    Etat etat(config);
    Journal journal(true);

    Certificat certificat;
    std::string erreur;
    if (!certificatAutoSigne(options.domaine, certificat, erreur)) return echec(erreur);
    Certificat certificatCloud;
    std::string autorite;
    if (options.portHttps) {
        if (!certificatCloudEtAutorite(options.domaine, certificatCloud, autorite, erreur)) return echec(erreur);
        if (!options.fichierAutorite.empty()) {
            std::ofstream f(options.fichierAutorite, std::ios::binary | std::ios::trunc);
            f << autorite;
            f.close();
            if (!f) return echec("impossible d'écrire l'autorité dans " + options.fichierAutorite);
        }
    }

    ServeursBoxes boxes(etat, journal);
    if (!boxes.ecouter(options.portAncien, erreur)) return echec(erreur);
    ServeurCloud cloud(etat, journal, certificat.tls, certificatCloud.tls);
    if (!cloud.ecouter(options.portCloud, options.portTls, options.portHttps.value_or(0), erreur)) return echec(erreur);

    // The documents name the cloud's own addresses, known only now.
    etat.config.portCloud = cloud.portCloud();
    etat.config.portTls = cloud.portTls();
    etat.config.portHttps = cloud.portHttps();
    etat.reinitialiser();

    AnnonceurAvahi annonceur(etat);
    const auto synchroniser = [&] {
        cloud.suivreScenario();
        boxes.suivreEtat();
        if (options.avahi) annonceur.synchroniser();
    };
    ServeurControle controle(etat, journal, certificat.pem, autorite, synchroniser);
    if (!controle.ecouter(options.portControle, erreur)) return echec(erreur);
    controle.connaitrePorts(cloud.portCloud(), cloud.portTls(), cloud.portHttps());
    boxes.surAnnonce([&] {
        if (options.avahi) annonceur.synchroniser();
    });

    if (options.avahi) {
        if (annonceur.demarrer()) annonceur.synchroniser();
    } else {
        std::printf("AVAHI: désactivé (--sans-avahi) : les boxes ne sont pas annoncées\n");
    }

    std::string ports;
    std::string ancien;
    std::string hotes;
    for (const auto& b : etat.boxesLocales) {
        if (b.annoncee()) ports += (ports.empty() ? "" : ",") + std::to_string(b.port);
        else ancien = b.hote + ":" + std::to_string(b.port);
        if (!b.nomHote.empty()) hotes += (hotes.empty() ? " hotes=" : ",") + b.nomHote + "=" + b.hote + ":" + std::to_string(b.port);
    }
    const std::string https = cloud.portHttps() ? " https=" + std::to_string(cloud.portHttps()) : "";
    std::printf("PRET cloud=%d tls=%d controle=%d studio=%s ancien=%s boxes=%s%s%s\n", cloud.portCloud(), cloud.portTls(),
                controle.port(), etat.urlStudio().c_str(), ancien.c_str(), ports.c_str(), hotes.c_str(), https.c_str());
    std::fflush(stdout);

    GMainLoop* boucle = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGTERM, &arreter, boucle);
    g_unix_signal_add(SIGINT, &arreter, boucle);
    g_main_loop_run(boucle);
    g_main_loop_unref(boucle);
    std::printf("ARRET\n");
    g_object_unref(certificat.tls);
    if (certificatCloud.tls) g_object_unref(certificatCloud.tls);
    return 0;
}
