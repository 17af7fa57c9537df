#include "simulateur/annonce_avahi.h"

#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include <cstdio>

namespace ovrel::simulateur {

AnnonceurAvahi::AnnonceurAvahi(Etat& etat) : etat_(etat) {}

AnnonceurAvahi::~AnnonceurAvahi() {
    oublierAnnonces();
    if (client_) avahi_client_free(client_);
    if (boucle_) avahi_glib_poll_free(boucle_);
}

bool AnnonceurAvahi::demarrer() {
    boucle_ = avahi_glib_poll_new(nullptr, G_PRIORITY_DEFAULT);
    int erreur = 0;
    client_ = avahi_client_new(avahi_glib_poll_get(boucle_), AvahiClientFlags(0), &AnnonceurAvahi::surClient, this, &erreur);
    if (!client_) {
        std::printf("AVAHI: démon injoignable (%s) : les boxes ne sont pas annoncées\n", avahi_strerror(erreur));
        std::fflush(stdout);
        return false;
    }
    return true;
}

void AnnonceurAvahi::oublierAnnonces() {
    for (auto& [role, a] : annonces_)
        if (a->groupe) avahi_entry_group_free(a->groupe);
    annonces_.clear();
}

bool AnnonceurAvahi::publier(Annonce& a) {
    if (!a.groupe) a.groupe = avahi_entry_group_new(client_, &AnnonceurAvahi::surGroupe, &a);
    if (!a.groupe) return false;
    avahi_entry_group_reset(a.groupe);
    const Voulue& v = a.voulue;
    // IPv4 unless asked: the boxes listen on IPv4 addresses, and a box announced over both
    // protocols is found twice.
    const AvahiProtocol protocole = v.ipv6 ? AVAHI_PROTO_UNSPEC : AVAHI_PROTO_INET;
    int r = 0;
    if (!v.nomHote.empty()) {
        AvahiAddress adresse;
        // No reverse record: nothing looks the boxes up by address, and two boxes moving
        // through the same address would make them collide.
        r = avahi_address_parse(v.adresse.c_str(), AVAHI_PROTO_INET, &adresse)
                ? avahi_entry_group_add_address(a.groupe, AVAHI_IF_UNSPEC, protocole, AVAHI_PUBLISH_NO_REVERSE,
                                                v.nomHote.c_str(), &adresse)
                : AVAHI_ERR_INVALID_ADDRESS;
    }
    if (r >= 0 && v.service)
        r = avahi_entry_group_add_service(a.groupe, AVAHI_IF_UNSPEC, protocole, AvahiPublishFlags(0), a.nom.c_str(),
                                          TYPE_SERVICE_BOX, nullptr, v.nomHote.empty() ? nullptr : v.nomHote.c_str(),
                                          static_cast<uint16_t>(v.port), nullptr);
    if (r >= 0) r = avahi_entry_group_commit(a.groupe);
    if (r < 0) {
        std::printf("AVAHI: « %s » non annoncé (%s)\n", a.nom.c_str(), avahi_strerror(r));
        std::fflush(stdout);
        return false;
    }
    return true;
}

std::optional<AnnonceurAvahi::Voulue> AnnonceurAvahi::voulue(const BoxLocale& box) const {
    if (box.port <= 0 || box.absente) return std::nullopt;
    if (box.nomHote.empty()) {
        if (!box.annoncee()) return std::nullopt;
        return Voulue{box.nomService, "", "", box.port, true, box.annonceIpv6};
    }
    return Voulue{box.nomService, box.nomHote, box.hote, box.port, box.annoncee(), box.annonceIpv6};
}

void AnnonceurAvahi::synchroniser() {
    if (!client_ || !pret_) return;
    std::map<std::string, bool> voulues;
    for (const auto& box : etat_.boxesLocales) {
        const auto v = voulue(box);
        voulues[box.role] = v.has_value();
        auto i = annonces_.find(box.role);
        if (i != annonces_.end() && (!v || i->second->voulue != *v)) {
            if (i->second->groupe) avahi_entry_group_free(i->second->groupe);
            annonces_.erase(i);
            i = annonces_.end();
        }
        if (v && i == annonces_.end()) {
            auto a = std::make_unique<Annonce>(Annonce{this, *v, v->nom, nullptr});
            if (publier(*a)) {
                annonces_[box.role] = std::move(a);
            } else if (a->groupe) {
                avahi_entry_group_free(a->groupe);
            }
        }
    }
    for (auto i = annonces_.begin(); i != annonces_.end();) {
        if (voulues[i->first]) {
            ++i;
            continue;
        }
        if (i->second->groupe) avahi_entry_group_free(i->second->groupe);
        i = annonces_.erase(i);
    }
}

void AnnonceurAvahi::surClient(AvahiClient* client, AvahiClientState etat, void* donnees) {
    auto* moi = static_cast<AnnonceurAvahi*>(donnees);
    // This callback first runs inside avahi_client_new, before the client is known.
    moi->client_ = client;
    switch (etat) {
        case AVAHI_CLIENT_S_RUNNING:
            moi->pret_ = true;
            moi->synchroniser();
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The host name changes: announcements are made again once the daemon runs.
            moi->pret_ = false;
            moi->oublierAnnonces();
            break;
        case AVAHI_CLIENT_FAILURE:
            std::printf("AVAHI: le démon a cessé de répondre (%s) : annonces arrêtées\n",
                        avahi_strerror(avahi_client_errno(client)));
            std::fflush(stdout);
            moi->pret_ = false;
            moi->oublierAnnonces();
            break;
        case AVAHI_CLIENT_CONNECTING:
            break;
    }
}

void AnnonceurAvahi::surGroupe(AvahiEntryGroup* groupe, AvahiEntryGroupState etat, void* donnees) {
    auto* a = static_cast<Annonce*>(donnees);
    a->groupe = groupe;
    if (etat == AVAHI_ENTRY_GROUP_ESTABLISHED) {
        const Voulue& v = a->voulue;
        const std::string hote = v.nomHote.empty() ? "" : " sur " + v.nomHote + " (" + v.adresse + ")";
        if (v.service)
            std::printf("AVAHI: annoncé « %s » port %d%s%s\n", a->nom.c_str(), v.port, hote.c_str(), v.ipv6 ? " en IPv4 et IPv6" : "");
        else
            std::printf("AVAHI: annoncé%s, sans service\n", hote.c_str());
        std::fflush(stdout);
    } else if (etat == AVAHI_ENTRY_GROUP_COLLISION) {
        // Another service of the network has that name: take the next free one.
        char* autre = avahi_alternative_service_name(a->nom.c_str());
        a->nom = autre;
        avahi_free(autre);
        a->parent->publier(*a);
    }
}

}  // namespace ovrel::simulateur
