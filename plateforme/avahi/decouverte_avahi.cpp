#include "plateforme/avahi/decouverte_avahi.h"

#include <avahi-common/error.h>
#include <syslog.h>

#include <tuple>
#include <utility>

namespace ovrel {

namespace {

// A daemon that goes away is usually back within seconds (a restart); a bus that cannot be
// reached or a daemon that refuses us is tried again at this pace, not in a loop.
constexpr guint DELAI_NOUVEL_ESSAI_MS = 5'000;

// The same service is announced once per interface and protocol: this is what makes it one.
std::string cleService(const char* nom, const char* type, const char* domaine) {
    std::string cle = nom ? nom : "";
    cle += '\0';
    cle += type ? type : "";
    cle += '\0';
    cle += domaine ? domaine : "";
    return cle;
}

// Diagnostics go to the process's system log, which the desktop adapter opens under the
// application's name.
void journal(const std::string& ligne) { syslog(LOG_USER | LOG_INFO, "OVREL AVAHI → %s", ligne.c_str()); }

}  // namespace

struct DecouverteAvahi::Resolution {
    DecouverteAvahi* decouverte;
    std::string cle;
    AvahiIfIndex interface;
    AvahiProtocol protocole;
    AvahiServiceResolver* resolveur = nullptr;
    bool trouvee = false;
};

DecouverteAvahi::DecouverteAvahi() {
    boucle_ = avahi_glib_poll_new(nullptr, G_PRIORITY_DEFAULT);
    creerClient();
}

DecouverteAvahi::~DecouverteAvahi() {
    if (reprise_) g_source_remove(reprise_);
    if (finDeRafale_) g_source_remove(finDeRafale_);
    oublierRecherche();
    if (client_) avahi_client_free(client_);
    avahi_glib_poll_free(boucle_);
}

void DecouverteAvahi::chercher(const std::string& type, const std::string& domaine, SurResolu surResolu) {
    oublierRecherche();
    recherche_ = Recherche{type, domaine};
    surResolu_ = std::move(surResolu);
    lancerNavigateur();
}

void DecouverteAvahi::arreter() {
    recherche_.reset();
    libererNavigateur();
    // The resolutions that have not answered yet stay, and report, until the next `chercher`;
    // those kept open to hear of changes go.
    for (auto& [cle, service] : services_)
        if (service.resolution && service.resolution->trouvee) libererResolution(service.resolution);
    services_.clear();
}

void DecouverteAvahi::creerClient() {
    int erreur = 0;
    // Without a daemon the client waits for one instead of failing: the application may start
    // before it, and a restarted daemon is found the same way.
    enCreation_ = true;
    client_ = avahi_client_new(avahi_glib_poll_get(boucle_), AVAHI_CLIENT_NO_FAIL, &DecouverteAvahi::surClient,
                               this, &erreur);
    enCreation_ = false;
    if (!client_) {
        if (!echecSignale_) journal(std::string("connexion au démon impossible (") + avahi_strerror(erreur) + ")");
        echecSignale_ = true;
        reprise_ = g_timeout_add(DELAI_NOUVEL_ESSAI_MS, &DecouverteAvahi::surReprise, this);
        return;
    }
    // The first state is given from inside avahi_client_new, before the client is known here;
    // it is acted on now.
    surClient(client_, avahi_client_get_state(client_), this);
}

void DecouverteAvahi::surClient(AvahiClient* client, AvahiClientState etat, void* donnees) {
    auto* moi = static_cast<DecouverteAvahi*>(donnees);
    if (moi->enCreation_) return;
    switch (etat) {
        case AVAHI_CLIENT_S_RUNNING:
            moi->clientEnMarche_ = true;
            moi->echecSignale_ = false;
            moi->lancerNavigateur();
            break;
        case AVAHI_CLIENT_FAILURE:
            moi->clientPerdu(client);
            break;
        case AVAHI_CLIENT_S_REGISTERING:
        case AVAHI_CLIENT_S_COLLISION:
            // The daemon is renaming its own host; browsing and resolving go on meanwhile.
        case AVAHI_CLIENT_CONNECTING:
            break;
    }
}

void DecouverteAvahi::clientPerdu(AvahiClient* client) {
    const bool enMarche = clientEnMarche_;
    clientEnMarche_ = false;
    if (reprise_) return;
    if (enMarche) {
        journal(std::string("démon perdu (") + avahi_strerror(avahi_client_errno(client)) +
                ") : nouvelle connexion, en attente du démon");
    } else if (!echecSignale_) {
        journal(std::string("démon injoignable (") + avahi_strerror(avahi_client_errno(client)) + ")");
    }
    echecSignale_ = true;
    // The failed client is freed outside its own callback. After a daemon that ran, the new
    // client waits for the next one without failing; a client that never ran is not retried
    // in a loop.
    reprise_ = enMarche ? g_idle_add(&DecouverteAvahi::surReprise, this)
                        : g_timeout_add(DELAI_NOUVEL_ESSAI_MS, &DecouverteAvahi::surReprise, this);
}

gboolean DecouverteAvahi::surReprise(gpointer donnees) {
    auto* moi = static_cast<DecouverteAvahi*>(donnees);
    moi->reprise_ = 0;
    // What the lost daemon had found goes with it; the browse asked for stays, and starts again
    // as soon as the new client runs.
    moi->libererNavigateur();
    while (!moi->resolutions_.empty()) moi->libererResolution(moi->resolutions_.begin()->first);
    moi->services_.clear();
    if (moi->client_) avahi_client_free(moi->client_);
    moi->client_ = nullptr;
    moi->creerClient();
    return G_SOURCE_REMOVE;
}

void DecouverteAvahi::lancerNavigateur() {
    if (!recherche_ || !clientEnMarche_ || navigateur_) return;
    navigateur_ = avahi_service_browser_new(client_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, recherche_->type.c_str(),
                                            recherche_->domaine.c_str(), AvahiLookupFlags(0),
                                            &DecouverteAvahi::surNavigateur, this);
    if (!navigateur_)
        journal("recherche de " + recherche_->type + " impossible (" + avahi_strerror(avahi_client_errno(client_)) +
                ")");
}

void DecouverteAvahi::libererNavigateur() {
    if (navigateur_) avahi_service_browser_free(navigateur_);
    navigateur_ = nullptr;
}

void DecouverteAvahi::oublierRecherche() {
    recherche_.reset();
    libererNavigateur();
    while (!resolutions_.empty()) libererResolution(resolutions_.begin()->first);
    services_.clear();
    enAttente_.clear();
    surResolu_ = nullptr;
}

void DecouverteAvahi::surNavigateur(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocole,
                                    AvahiBrowserEvent evenement, const char* nom, const char* type,
                                    const char* domaine, AvahiLookupResultFlags, void* donnees) {
    auto* moi = static_cast<DecouverteAvahi*>(donnees);
    switch (evenement) {
        case AVAHI_BROWSER_NEW:
            moi->annonce(interface, protocole, nom, type, domaine);
            break;
        case AVAHI_BROWSER_REMOVE:
            moi->retrait(interface, protocole, nom, type, domaine);
            break;
        case AVAHI_BROWSER_FAILURE:
            // The browse starts again with the next client, when the daemon comes back.
            journal(std::string("recherche interrompue (") + avahi_strerror(avahi_client_errno(moi->client_)) + ")");
            moi->libererNavigateur();
            break;
        case AVAHI_BROWSER_CACHE_EXHAUSTED:
        case AVAHI_BROWSER_ALL_FOR_NOW:
            break;
    }
}

void DecouverteAvahi::annonce(AvahiIfIndex interface, AvahiProtocol protocole, const char* nom, const char* type,
                              const char* domaine) {
    const std::string cle = cleService(nom, type, domaine);
    auto [entree, nouveau] = services_.try_emplace(cle);
    Service& service = entree->second;
    if (nouveau) service = Service{nom ? nom : "", type ? type : "", domaine ? domaine : "", {}, false, nullptr, {}};
    service.annonces.insert({interface, protocole});
    if (service.resolution) {
        // The same service on IPv4 while its resolution over IPv6 has not answered yet: the
        // IPv4 resolution is preferred (see `resoudre`).
        if (protocole == AVAHI_PROTO_INET && service.resolution->protocole != AVAHI_PROTO_INET &&
            !service.resolution->trouvee) {
            libererResolution(service.resolution);
            resoudre(service, cle);
        }
        return;
    }
    // New, back after it left, or its resolution failed: resolved (again). The daemon gives the
    // same service over IPv6 and IPv4 in one burst of events, often IPv6 first: a service seen
    // over IPv6 only waits for the end of the burst, rather than start a resolution that the
    // IPv4 announcement would replace a moment later.
    if (protocole == AVAHI_PROTO_INET) {
        service.enAttente = false;
        resoudre(service, cle);
    } else if (!service.enAttente) {
        service.enAttente = true;
        enAttente_.push_back(cle);
        if (!finDeRafale_) finDeRafale_ = g_idle_add(&DecouverteAvahi::surFinDeRafale, this);
    }
}

gboolean DecouverteAvahi::surFinDeRafale(gpointer donnees) {
    auto* moi = static_cast<DecouverteAvahi*>(donnees);
    moi->finDeRafale_ = 0;
    for (const auto& cle : std::exchange(moi->enAttente_, {})) {
        const auto service = moi->services_.find(cle);
        if (service == moi->services_.end() || !service->second.enAttente) continue;
        service->second.enAttente = false;
        if (!service->second.resolution) moi->resoudre(service->second, cle);
    }
    return G_SOURCE_REMOVE;
}

void DecouverteAvahi::retrait(AvahiIfIndex interface, AvahiProtocol protocole, const char* nom, const char* type,
                              const char* domaine) {
    const std::string cle = cleService(nom, type, domaine);
    const auto trouve = services_.find(cle);
    if (trouve == services_.end()) return;
    Service& service = trouve->second;
    service.annonces.erase({interface, protocole});
    if (service.annonces.empty()) {
        // Gone from every interface: a service that left is not reported, and when it comes
        // back it is resolved and reported again (possibly at another address).
        if (service.resolution) libererResolution(service.resolution);
        services_.erase(trouve);
        return;
    }
    // Still announced elsewhere, but no longer where it was resolved: its resolution moves
    // there. What it reports again is compared with what was reported.
    if (service.resolution && service.resolution->interface == interface &&
        service.resolution->protocole == protocole) {
        libererResolution(service.resolution);
        resoudre(service, cle);
    }
}

// The query goes out on an interface and protocol the service is announced on, and asks for an
// address of that same family. The application reaches a box by its host name through the
// system's name service, which answers ".local" names over IPv4: a service announced over IPv4
// is resolved there with its A record, never with the AAAA record a daemon also publishes over
// IPv4 by default (which would give ::1 for a service on this host). A service announced over
// IPv6 only is resolved with its AAAA record, since A records are not published over IPv6 by
// default and such a query would only run into the time-out. The address itself is not
// reported: what the resolution gives the application is the host name and the port, and the
// proof that the host answers on that family.
void DecouverteAvahi::resoudre(Service& service, const std::string& cle) {
    if (service.annonces.empty()) return;
    auto [interface, protocole] = *service.annonces.begin();
    for (const auto& [i, p] : service.annonces)
        if (p == AVAHI_PROTO_INET) std::tie(interface, protocole) = std::pair{i, p};
    auto resolution = std::make_unique<Resolution>(Resolution{this, cle, interface, protocole});
    // Avahi bounds the resolution itself: without a first answer it fails after 5 s, and a
    // failed resolution is dropped without a report. Once answered, it stays open: Avahi merges
    // a service that leaves and comes back within a second or so into no event at all for the
    // browse, and only the resolution sees its new port.
    resolution->resolveur = avahi_service_resolver_new(
        client_, interface, protocole, service.nom.c_str(), service.type.c_str(), service.domaine.c_str(), protocole,
        AvahiLookupFlags(0), &DecouverteAvahi::surResolution, resolution.get());
    if (!resolution->resolveur) return;
    service.resolution = resolution.get();
    resolutions_.emplace(resolution.get(), std::move(resolution));
}

void DecouverteAvahi::libererResolution(Resolution* resolution) {
    const auto trouvee = resolutions_.find(resolution);
    if (trouvee == resolutions_.end()) return;
    avahi_service_resolver_free(resolution->resolveur);
    const auto service = services_.find(resolution->cle);
    if (service != services_.end() && service->second.resolution == resolution) service->second.resolution = nullptr;
    resolutions_.erase(trouvee);
}

void DecouverteAvahi::surResolution(AvahiServiceResolver*, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent evenement,
                                    const char*, const char*, const char*, const char* hote, const AvahiAddress*,
                                    uint16_t port, AvahiStringList*, AvahiLookupResultFlags, void* donnees) {
    auto* resolution = static_cast<Resolution*>(donnees);
    DecouverteAvahi* moi = resolution->decouverte;
    if (evenement != AVAHI_RESOLVER_FOUND || !hote) {
        moi->libererResolution(resolution);
        return;
    }
    resolution->trouvee = true;
    std::pair<std::string, int> resolu{hote, port};
    const auto service = moi->services_.find(resolution->cle);
    if (service == moi->services_.end() || service->second.resolution != resolution) {
        // Left running by `arreter`: its one answer is reported, and it ends.
        moi->libererResolution(resolution);
    } else {
        // An answer that says nothing new (the address or the text changed) is not reported.
        if (service->second.rapporte == resolu) return;
        service->second.rapporte = resolu;
    }
    // All the bookkeeping is done: the report may start another browse.
    if (!moi->surResolu_) return;
    const SurResolu rapport = moi->surResolu_;
    rapport(resolu.first, resolu.second);
}

}  // namespace ovrel
