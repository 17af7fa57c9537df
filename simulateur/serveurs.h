// The listening side of the simulator: the cloud (one plain port and one TLS port, routed by
// the Host header), one port per box of the bench, and the mute box that accepts connections
// and never answers. Every request ends in the journal.
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
    ServeurCloud(Etat& etat, Journal& journal, GTlsCertificate* certificat);
    ~ServeurCloud();
    ServeurCloud(const ServeurCloud&) = delete;
    ServeurCloud& operator=(const ServeurCloud&) = delete;

    // Listens on loopback; port 0 takes any free port. False with a message on failure.
    bool ecouter(int portCloud, int portTls, std::string& erreur);
    int portCloud() const { return portCloud_; }
    int portTls() const { return portTls_; }

    // Follows the scenario: nothing listens while the cloud is unreachable, and the same ports
    // are taken again when it comes back.
    void suivreScenario();

private:
    static void surRequete(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer moi);
    void repondre(SoupServerMessage* message);
    // Answers being delayed are dropped when their connection goes (nothing listens any more).
    void abandonnerLesAttentes();

    Etat& etat_;
    Journal& journal_;
    SoupServer* serveur_ = nullptr;
    std::set<SoupServerMessage*> enAttente_;
    int portCloud_ = 0;
    int portTls_ = 0;
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

    // Every box of the state listens on its own loopback port. The legacy box takes
    // `portAncien` on its own loopback address when it is free, any port otherwise.
    bool ecouter(int portAncien, std::string& erreur);
    void surAnnonce(SurAnnonce rappel) { surAnnonce_ = std::move(rappel); }

private:
    struct ServeurBox;
    struct ConnexionMuette;
    static void surRequete(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer donnees);
    static gboolean surConnexionMuette(GSocketService*, GSocketConnection* connexion, GObject*, gpointer moi);
    static void surLectureMuette(GObject* source, GAsyncResult* resultat, gpointer donnees);

    Etat& etat_;
    Journal& journal_;
    std::vector<std::unique_ptr<ServeurBox>> serveurs_;
    GSocketService* muette_ = nullptr;
    std::vector<ConnexionMuette*> connexionsMuettes_;
    SurAnnonce surAnnonce_;
};

// Connects the journal to a server: one entry per finished or abandoned request, under that
// service name and box role.
void journaliser(SoupServer* serveur, Journal& journal, const std::string& service, const std::string& box);

}  // namespace ovrel::simulateur
