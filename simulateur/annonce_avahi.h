// The DNS-SD announcements of the bench boxes ("_ovrel-box._tcp"), through the Avahi daemon on
// the GLib main loop. Without a reachable daemon the boxes are simply not announced.
#pragma once

#include "simulateur/etat.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-glib/glib-watch.h>

#include <map>
#include <memory>
#include <string>

namespace ovrel::simulateur {

inline constexpr const char* TYPE_SERVICE_BOX = "_ovrel-box._tcp";

class AnnonceurAvahi {
public:
    explicit AnnonceurAvahi(Etat& etat);
    ~AnnonceurAvahi();
    AnnonceurAvahi(const AnnonceurAvahi&) = delete;
    AnnonceurAvahi& operator=(const AnnonceurAvahi&) = delete;

    // Connects to the daemon. False, after one log line, when none is reachable.
    bool demarrer();
    // Announces every box that should be and withdraws the others (a legacy box is announced
    // only once upgraded). Applied as soon as the daemon is ready.
    void synchroniser();

private:
    struct Annonce {
        AnnonceurAvahi* parent;
        std::string nom;
        int port;
        AvahiEntryGroup* groupe;
    };
    static void surClient(AvahiClient* client, AvahiClientState etat, void* moi);
    static void surGroupe(AvahiEntryGroup* groupe, AvahiEntryGroupState etat, void* annonce);
    bool publier(Annonce& annonce);
    void oublierAnnonces();

    Etat& etat_;
    AvahiGLibPoll* boucle_ = nullptr;
    AvahiClient* client_ = nullptr;
    bool pret_ = false;
    std::map<std::string, std::unique_ptr<Annonce>> annonces_;  // by box role
};

}  // namespace ovrel::simulateur
