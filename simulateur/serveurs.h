// The listening side of the simulator: the cloud (one plain port, one TLS port with the boxes'
// certificate and, when asked, one HTTPS port with the cloud's own; all routed by the Host
// header), one listening socket per box of the bench (a loopback port, or its private address),
// and the mute box that accepts connections and never answers. Every request ends in the journal.
#pragma once

#include "simulateur/etat.h"
#include "simulateur/journal.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ovrel::simulateur {

class ServeurCloud {
public:
    // `certificatTunnel` serves the TLS port (the boxes behind the tunnel, and any other host
    // asked there); `certificatCloud`, when given, serves the HTTPS port.
    ServeurCloud(Etat& etat, Journal& journal, GTlsCertificate* certificatTunnel, GTlsCertificate* certificatCloud);
    ~ServeurCloud();
    ServeurCloud(const ServeurCloud&) = delete;
    ServeurCloud& operator=(const ServeurCloud&) = delete;

    // Listens on loopback; port 0 takes any free port. The HTTPS port only with a certificate for
    // it. False with a message on failure.
    bool ecouter(int portCloud, int portTls, int portHttps, std::string& erreur);
    int portCloud() const { return portCloud_; }
    int portTls() const { return portTls_; }
    int portHttps() const { return portHttps_; }  // 0 when not served

    // Follows the scenario: nothing listens while the cloud is unreachable, and the same ports
    // are taken again when it comes back.
    void suivreScenario();

private:
    static void surRequete(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer moi);
    void repondre(SoupServerMessage* message);
    // Answers being delayed are dropped when their connection goes (nothing listens any more).
    void abandonnerLesAttentes();
    bool ecouterTout(std::string& erreur);

    Etat& etat_;
    Journal& journal_;
    // One soup server per certificate: the plain and TLS ports share the tunnel's one.
    SoupServer* serveur_ = nullptr;
    SoupServer* serveurHttps_ = nullptr;
    std::set<SoupServerMessage*> enAttente_;
    int portCloud_ = 0;
    int portTls_ = 0;
    int portHttps_ = 0;
    bool ecoute_ = false;
};

class ServeursBoxes {
public:
    // Called when a box starts or stops being announced (a legacy box once upgraded).
    using SurAnnonce = std::function<void()>;

    ServeursBoxes(Etat& etat, Journal& journal);
    ~ServeursBoxes();
    ServeursBoxes(const ServeursBoxes&) = delete;
    ServeursBoxes& operator=(const ServeursBoxes&) = delete;

    // Every box of the state listens. On loopback each takes a port of its own, the legacy box
    // `portAncien` on its own loopback address when it is free, any port otherwise; on the
    // boxes' network each takes its address on the boxes' port. False with a message on failure.
    bool ecouter(int portAncien, std::string& erreur);
    // Follows the boxes' faults: a box gone from the network stops listening, a box back or
    // moved listens at its address again. A failure is printed, the box then stays silent.
    void suivreEtat();
    void surAnnonce(SurAnnonce rappel) { surAnnonce_ = std::move(rappel); }

private:
    struct ServeurBox;
    struct ConnexionMuette;
    bool ouvrir(ServeurBox& serveur, const std::string& hote, int port, std::string& erreur);
    static void fermer(ServeurBox& serveur);
    void repondre(const std::string& role, SoupServerMessage* message);
    static void surRequete(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer donnees);
    static gboolean surConnexionMuette(GSocketService*, GSocketConnection* connexion, GObject*, gpointer moi);
    static void surLectureMuette(GObject* source, GAsyncResult* resultat, gpointer donnees);

    Etat& etat_;
    Journal& journal_;
    std::vector<std::unique_ptr<ServeurBox>> serveurs_;
    std::vector<ConnexionMuette*> connexionsMuettes_;
    SurAnnonce surAnnonce_;
};

// Whether this machine holds that IPv4 address (a socket can be bound to it).
bool adresseDeCetteMachine(const std::string& adresse);

// Connects the journal to a server: one entry per finished or abandoned request, under that
// service name and box role.
void journaliser(SoupServer* serveur, Journal& journal, const std::string& service, const std::string& box);

}  // namespace ovrel::simulateur
