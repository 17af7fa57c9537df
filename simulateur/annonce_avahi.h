// The DNS-SD announcements of the bench boxes ("_ovrel-box._tcp"), through the Avahi daemon on
// the GLib main loop. On loopback the services name the daemon's own host; on the boxes'
// network each box also has a host record of its own (box-<role>.local and its address), which
// its service names. Without a reachable daemon the boxes are simply not announced.
#pragma once

#include "simulateur/etat.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-glib/glib-watch.h>

#include <map>
#include <memory>
#include <optional>
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
    // only once upgraded, a box gone from the network not at all); a box whose announcement
    // changes (address, host name, protocols) is withdrawn and announced anew. Applied as soon
    // as the daemon is ready.
    void synchroniser();

private:
    // What a box should publish.
    struct Voulue {
        std::string nom;      // the service's name
        std::string nomHote;  // its own host name, with a record of `adresse`; empty: the daemon's host
        std::string adresse;
        int port = 0;
        bool service = true;  // false: the host record alone (a legacy box not yet upgraded)
        bool ipv6 = false;    // over IPv6 as well as IPv4
        bool operator==(const Voulue&) const = default;
    };
    struct Annonce {
        AnnonceurAvahi* parent;
        Voulue voulue;
        std::string nom;  // the service's name as published: another one after a collision
        AvahiEntryGroup* groupe;
    };
    std::optional<Voulue> voulue(const BoxLocale& box) const;
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
