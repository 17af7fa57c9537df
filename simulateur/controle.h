// The control endpoint: JSON over HTTP on its own port, through which scripts and end-to-end
// tests switch scenarios at run time, read the request journal and take a web login.
//
//   GET    /etat          scenario, ports and boxes
//   POST   /scenario      {"cloud": ..., "sante": {...}, ...}: changes what is given
//   POST   /reinitialiser default population and scenario, empty journal, no login
//   GET    /journal       ?depuis=N: the requests received, numbered from 1
//   DELETE /journal       empties the journal (numbering goes on)
//   GET    /boxes         the boxes of the bench: where each listens ("hote", "port",
//                         "adresse" = hote:port), its host name on the boxes' network
//                         ("nom_hote", empty on loopback), whether it is announced, its faults
//   POST   /connexion     {"compte": "installateur"}: a web login cookie and a sign-in token
//   POST   /deconnecter   every web login is gone
//   GET    /certificat    the TLS port's certificate, PEM
//   GET    /autorite      the authority that signed the HTTPS port's certificate, PEM (404
//                         when the cloud is not served over HTTPS)
#pragma once

#include "simulateur/etat.h"
#include "simulateur/journal.h"

#include <boost/json.hpp>
#include <libsoup/soup.h>

#include <functional>
#include <optional>
#include <string>

namespace ovrel::simulateur {

// Applies a settings object to the state. Absent on success; otherwise the reason, and the
// state is left as it was. Keys:
//   "cloud"                  "normal" | "incoherent" | "coupe" | "injoignable" | status number
//   "chemins"                {path: same values but "injoignable"}: replaces the per-path faults
//   "lenteur_ms"             delay of every cloud answer
//   "livret"                 "piece_jointe" | "pdf_en_ligne" | "html_500" | "redirection"
//   "statut_action"          status of the anomaly actions sent by POST
//   "statut_fabrication"     status of the identity creation, or null
//   "fabrication_sans_nom"   the identity answer leaves "nom" out
//   "statut_injection"       status the boxes answer to an identity injection, or null
//   "statut_maj", "maj" {"version", "url"}, "maj_brut" (text or null): the update manifest
//   "sante_parc"             the fleet document carries its summary
//   "parc_brut"              fleet document body served as is, or null
//   "connexion_auto"         account the sign-in page chooses at once, or null
//   "parc_ouvre"             serial whose "Configurer" link the next fleet page follows by
//                            itself, as the user's click would (once), or null
//   "horloge_parc"           seconds since 1970 at which the fleet's clock stands still (its
//                            "calcule_le" and seen ages), or null: the system's clock
//   "parc_genere"            the installers' fleet is that many generated boxes (at most 20000),
//                            or 0 or null: the usual boxes
//   "serie_changeante"       id or serial of a box listed in the fleet whose "serie" ends in
//                            "-B" every other answer of the fleet document (the true one
//                            first), or null
//   "duree_jeton_local_s", "duree_session_s", "duree_jeton_tunnel_s"
//   "jetons_locaux_refuses"  the boxes refuse every local token
//   "sante"                  {serial: colour | {"couleur","resume","verbe","anomalies","absente"}}
//   "comptes"                {name: {"studio","exploitant","email","organisation"} | null}
//   "boxes"                  {role: {"nom","version","serie","empreinte","enregistree","battement",
//                                    "echec_mise_a_jour", and the box's faults below}}
//
// The faults of a box, keys of its "boxes" settings (all undone by POST /reinitialiser):
//   "lenteur_decouverte_ms"  its identity answer (/api/decouverte) comes that much later
//   "decouverte"             how it answers its identity query: "normal", "incoherent" (200 with
//                            a body that is not JSON), "coupe" (reset) or a status number
//   "absente"                true: it leaves the network: its announcement (and host record) is
//                            withdrawn and nothing listens at its address any more; false: back
//   "annonce_ipv6"           its service is announced over IPv6 as well as IPv4, so that a
//                            browser finds it twice (needs a daemon that uses IPv6)
//   "adresse"                on the boxes' network only: another address of that network, which
//                            this machine must hold; the box listens there and its host record
//                            says so
//   "nom_hote"               on the boxes' network only: another ".local" host name, announced in
//                            place of the first one
// Two boxes never get the same address or host name.
std::optional<std::string> appliquerReglages(Etat& etat, const boost::json::value& reglages);
boost::json::object scenarioEnJson(const Etat& etat);
boost::json::array boxesEnJson(const Etat& etat);

class ServeurControle {
public:
    ServeurControle(Etat& etat, Journal& journal, std::string certificatPem, std::string autoritePem,
                    std::function<void()> apresChangement);
    ~ServeurControle();
    ServeurControle(const ServeurControle&) = delete;
    ServeurControle& operator=(const ServeurControle&) = delete;

    bool ecouter(int port, std::string& erreur);
    int port() const { return port_; }
    void connaitrePorts(int cloud, int tls, int https) {
        portCloud_ = cloud;
        portTls_ = tls;
        portHttps_ = https;
    }

private:
    static void surRequete(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer moi);

    Etat& etat_;
    Journal& journal_;
    std::string certificatPem_;
    std::string autoritePem_;
    std::function<void()> apresChangement_;
    SoupServer* serveur_ = nullptr;
    int port_ = 0;
    int portCloud_ = 0;
    int portTls_ = 0;
    int portHttps_ = 0;
};

}  // namespace ovrel::simulateur
