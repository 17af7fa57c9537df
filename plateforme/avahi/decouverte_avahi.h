// The DNS-SD port on the Avahi daemon, through avahi-client on the GLib main loop.
//
// One client of the system daemon for the life of the adapter. Made while no daemon runs, it
// waits for one; when the daemon goes away (stopped, restarted, upgraded) the client cannot
// reconnect by itself, so the adapter makes a new one, and the browse under way starts again
// once the new daemon runs. The services the lost daemon had found are forgotten with it: the
// new daemon reports them again, and they are resolved and reported again.
//
// Every report comes from the default main context, never from inside `chercher`. The adapter
// must not be destroyed from inside its own report: the report runs within Avahi's dispatch.
#pragma once

#include "plateforme/decouverte.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-glib/glib-watch.h>
#include <glib.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ovrel {

class DecouverteAvahi final : public Decouverte {
public:
    // Connects to the daemon on the thread's default main context, or waits for it.
    DecouverteAvahi();
    // Frees the browse, its resolutions and the client: nothing reports afterwards.
    ~DecouverteAvahi() override;
    DecouverteAvahi(const DecouverteAvahi&) = delete;
    DecouverteAvahi& operator=(const DecouverteAvahi&) = delete;

    void chercher(const std::string& type, const std::string& domaine, SurResolu surResolu) override;
    void arreter() override;

    // One resolution under way; defined in the implementation.
    struct Resolution;

private:
    // One service of the browse, by name, type and domain, whatever announces it.
    struct Service {
        std::string nom, type, domaine;
        // The interfaces and protocols that announce it now; empty once it left.
        std::set<std::pair<AvahiIfIndex, AvahiProtocol>> annonces;
        // Seen over IPv6 only so far: its resolution waits for the end of the burst of events.
        bool enAttente = false;
        // Its one resolution, kept open while the service stays, to hear of its changes.
        Resolution* resolution = nullptr;
        // The host name and port last reported.
        std::optional<std::pair<std::string, int>> rapporte;
    };
    struct Recherche {
        std::string type;
        std::string domaine;
    };

    static void surClient(AvahiClient* client, AvahiClientState etat, void* moi);
    static void surNavigateur(AvahiServiceBrowser* navigateur, AvahiIfIndex interface, AvahiProtocol protocole,
                              AvahiBrowserEvent evenement, const char* nom, const char* type, const char* domaine,
                              AvahiLookupResultFlags, void* moi);
    static void surResolution(AvahiServiceResolver* resolveur, AvahiIfIndex interface, AvahiProtocol protocole,
                              AvahiResolverEvent evenement, const char* nom, const char* type, const char* domaine,
                              const char* hote, const AvahiAddress* adresse, uint16_t port, AvahiStringList* txt,
                              AvahiLookupResultFlags, void* resolution);
    static gboolean surReprise(gpointer moi);
    static gboolean surFinDeRafale(gpointer moi);

    void creerClient();
    void clientPerdu(AvahiClient* client);
    void lancerNavigateur();
    void libererNavigateur();
    // Frees the browser and every resolution: none of them reports any more.
    void oublierRecherche();
    void annonce(AvahiIfIndex interface, AvahiProtocol protocole, const char* nom, const char* type,
                 const char* domaine);
    void retrait(AvahiIfIndex interface, AvahiProtocol protocole, const char* nom, const char* type,
                 const char* domaine);
    // On IPv4 when the service is announced over IPv4, otherwise where it is announced.
    void resoudre(Service& service, const std::string& cle);
    void libererResolution(Resolution* resolution);

    AvahiGLibPoll* boucle_ = nullptr;
    AvahiClient* client_ = nullptr;
    // The client is inside avahi_client_new: its first state arrives before it is returned.
    bool enCreation_ = false;
    bool clientEnMarche_ = false;
    // Whether the last connection failure was logged, so that retries stay quiet.
    bool echecSignale_ = false;
    guint reprise_ = 0;
    guint finDeRafale_ = 0;
    std::vector<std::string> enAttente_;  // keys of the services waiting for the end of a burst
    AvahiServiceBrowser* navigateur_ = nullptr;
    // The browse asked for, kept across daemons until `arreter` or the next `chercher`.
    std::optional<Recherche> recherche_;
    SurResolu surResolu_;
    std::map<std::string, Service> services_;
    std::map<Resolution*, std::unique_ptr<Resolution>> resolutions_;
};

}  // namespace ovrel
