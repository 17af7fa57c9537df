// Everything the simulated cloud and boxes know, in memory: accounts, web logins and tokens, the
// boxes as the cloud sees them (fleet, registry, health), the boxes on the bench, the scenario
// that the control endpoint switches at run time, and the JSON documents built from all of it.
#pragma once

#include "simulateur/outils.h"

#include <boost/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrel::simulateur {

// A demo account. Its name is what the sign-in page offers and what the control endpoint uses.
struct Compte {
    std::string nom;
    bool studio = false;      // installer Studio
    bool exploitant = false;  // designer console
    std::string email;
    std::string organisation;
};

// How the cloud answers, globally or for one path.
struct Panne {
    enum class Genre {
        normal,
        statut,       // every answer carries `statut` with a short body
        incoherent,   // status 200 with a body that is neither JSON nor a page
        coupe,        // the connection is accepted, then reset without an answer
        injoignable,  // nothing listens: connections are refused (global only)
    };
    Genre genre = Genre::normal;
    int statut = 0;

    bool operator==(const Panne&) const = default;
};
// "normal", "incoherent", "coupe", "injoignable" or a status number.
std::optional<Panne> lirePanne(const boost::json::value& valeur);
boost::json::value panneEnJson(const Panne& panne);

// What the label sheet's booklet form gets back.
enum class ModeLivret {
    pieceJointe,  // a PDF attachment
    pdfEnLigne,   // the same PDF, inline
    html500,      // an HTML error page with status 500
    redirection,  // a redirect to the designer console
};
std::optional<ModeLivret> lireModeLivret(std::string_view texte);
std::string_view nomModeLivret(ModeLivret mode);

// A fleet of generated boxes, built once for its size (see Etat::genererParc).
struct ParcGenere;

struct Scenario {
    Panne cloud;                               // every cloud host, both ports
    std::map<std::string, Panne> chemins;      // exact paths of the cloud hosts, before `cloud`
    int lenteurMs = 0;                         // delay before every cloud answer
    ModeLivret livret = ModeLivret::pieceJointe;
    int statutAction = 200;                    // anomaly actions sent by POST
    std::optional<int> statutFabrication;      // forced status of the identity creation
    bool fabricationSansNom = false;           // the identity answer leaves "nom" out
    std::optional<int> statutInjection;        // forced status of the boxes' identity injection
    int statutMaj = 200;                       // status of the update manifest
    std::string majVersion = "0.6.2";
    std::string majUrl;                        // empty: the web site's download page
    std::optional<std::string> majBrut;        // manifest body served as is
    bool santeParc = true;                     // the fleet document carries its summary
    std::optional<std::string> parcBrut;       // fleet document body served as is
    std::optional<std::string> connexionAuto;  // the sign-in page answers at once for this account
    std::optional<std::string> parcOuvre;      // the next fleet page follows this box's "Configurer" link
    std::int64_t dureeJetonLocalS = 7 * 86400;
    std::int64_t dureeSessionS = 8 * 3600;
    std::int64_t dureeJetonTunnelS = 600;
    bool jetonsLocauxRefuses = false;          // boxes refuse every local token
    std::optional<std::int64_t> horlogeParc;   // the fleet's clock stands still at this second since 1970
    std::shared_ptr<const ParcGenere> parcGenere;  // the installers' fleet, generated; null: `boxesCloud`
    std::optional<std::string> serieChangeante;  // id or serial of the box whose serial alternates
    bool serieVariante = false;                // the next fleet answer gives that box's variant serial
};

// The health of a box as the cloud computes it.
struct SanteCloud {
    bool absente = false;               // the document carries no health object at all
    std::string couleur = "vert";
    std::string resume;
    std::optional<std::string> verbe;
    boost::json::array anomalies;       // objects, in the document's form
};

// A box as the cloud knows it: registry entry, fleet entry and health. The cloud names the box
// and the site it serves with two identifiers of their own, as the real one does, so that an
// address built with the wrong one finds nothing.
struct BoxCloud {
    // The site: the fleet's "id", the fabrication's "site_id", and the addresses of its
    // configuration, repair pages, anomaly actions and label sheet.
    std::string idSite;
    // The box in the registry: the registry's "id" and the designer console's page of the box.
    std::string idRegistre;
    std::string nom;
    std::string serie;
    std::string empreinte;
    std::string statut;                 // registry status
    std::string code;                   // current label code; empty when none can be shown
    bool dansParc = false;              // listed in the installers' fleet
    bool enLigne = false;
    std::string version;
    std::string remise;
    Instant vu;                         // when the cloud last heard from it
    SanteCloud sante;
};

enum class GenreBox {
    ovrel,      // answers as an "ovrel-box"
    etrangere,  // another device answering on the same path
    muette,     // accepts connections and never answers
    ancienne,   // a legacy box: not announced until upgraded, old API only until then
};

// A box on the bench: on its own loopback port, or, on the boxes' network (option
// --reseau-boxes), on its own private address and the boxes' usual port, under a host name of
// its own.
struct BoxLocale {
    std::string role;          // stable name used by the control endpoint
    GenreBox genre = GenreBox::ovrel;
    std::string nomService;    // name of its DNS-SD announcement
    std::string nom;           // empty: the box tells no name
    std::string version;
    std::string serie;
    std::string empreinte;
    bool enregistree = false;
    bool battement = false;    // its heartbeat to the cloud runs (legacy report)
    bool echecMiseAJour = false;
    std::string api;           // cloud root received with its identity
    std::string hote = "127.0.0.1";  // the address it listens on
    int port = 0;
    std::string nomHote;       // its ".local" host name on the boxes' network; empty on loopback

    // Faults the scenario gives it.
    bool absente = false;      // gone from the network: not announced, nothing listens
    bool annonceIpv6 = false;  // announced over IPv6 as well as IPv4: found twice
    int lenteurDecouverteMs = 0;  // delay of its identity answer
    Panne decouverte;          // how it answers its identity query

    bool annoncee() const;     // announced on the network
    std::string identifiant() const;  // fingerprint, else serial
};

// What the alternating serial of the fleet document (scenario `serieChangeante`) appends to the
// box's serial every other answer.
inline constexpr std::string_view SUFFIXE_SERIE_VARIANTE = "-B";
// The largest generated fleet.
inline constexpr int PARC_GENERE_MAX = 20000;

// The legacy box answers the current API only from this version on.
inline constexpr std::string_view VERSION_ANNONCE = "0.75";
bool versionAuMoins(std::string_view version, std::string_view minimum);

// The private network of the boxes (option --reseau-boxes): the n-th box of the bench (from 1)
// takes the network's address + 10 + n, on the boxes' usual port. The machine must hold those
// addresses (the end-to-end harness puts them on a virtual interface of its own namespace).
struct ReseauBoxes {
    std::uint32_t reseau = 0;  // host byte order
    int longueur = 24;         // prefix length

    bool contient(std::uint32_t adresse) const;
    std::string adresseBox(int n) const;
    std::string texte() const;  // "192.168.77.0/24"
};
inline constexpr int PORT_BOX = 8000;
// "a.b.c.d/n" with room for every box of the bench; absent otherwise.
std::optional<ReseauBoxes> lireReseauBoxes(std::string_view texte);
// A dotted IPv4 address in host byte order; absent for anything else.
std::optional<std::uint32_t> lireIpv4(std::string_view texte);
std::string texteIpv4(std::uint32_t adresse);

struct Config {
    std::string domaine = "ovrel.localhost";
    int portCloud = 0;
    int portTls = 0;
    int portHttps = 0;  // 0: the cloud is not served over HTTPS
    std::optional<ReseauBoxes> reseauBoxes;  // absent: every box on its own loopback port
};

struct JetonEmis {
    std::string jeton;
    std::int64_t expire = 0;  // seconds since 1970
};

class Etat {
public:
    explicit Etat(Config config);

    // Back to the default population and scenario; web logins and tokens are forgotten. The
    // loopback ports of the local boxes stay as they are; on the boxes' network each box is
    // back on its first address under its first host name.
    void reinitialiser();

    Config config;
    Scenario scenario;
    std::map<std::string, Compte> comptes;
    std::vector<BoxCloud> boxesCloud;
    std::vector<BoxLocale> boxesLocales;

    // --- Addresses ---
    std::string hoteStudio() const;
    std::string hoteSiteWeb() const;
    std::string hoteConnexion() const;
    std::string hotePortail() const;
    // The portal's HTTPS origin as a box must receive it: "https://portail.<domain>", or with the
    // port the simulator serves HTTPS on, when that is not the default one.
    bool estOriginePortail(std::string_view texte) const;
    std::string suffixeBox() const;          // ".box." + domain
    std::string hoteTunnel(std::string_view serie) const;  // "b-" + serial, lower case
    std::string baseCloud() const;           // http://studio.<domain>:<port>
    std::string urlStudio() const;           // baseCloud() + "/studio"
    // The serial named by a tunnel host, or nothing for another host.
    std::optional<std::string> serieDeTunnel(std::string_view hote) const;

    // --- Sign-in and web logins ---
    std::string emettreJetonConnexion(const std::string& compte);
    // The account of a sign-in token, which can serve only once.
    std::optional<std::string> consommerJetonConnexion(const std::string& jeton);
    // A new web login: the value of its cookie.
    std::string ouvrirSession(const std::string& compte);
    const Compte* compteDeSession(const std::optional<std::string>& valeurCookie) const;
    void fermerSession(const std::string& valeurCookie);
    void fermerToutesLesSessions();

    // --- Tokens ---
    JetonEmis emettreJetonLocal();
    JetonEmis emettreJetonTunnel(std::string_view serie);
    // Seconds of validity left for a tunnel token of that serial; nothing when it is not valid.
    std::optional<std::int64_t> resteJetonTunnel(std::string_view serie, const std::string& jeton) const;
    std::optional<std::int64_t> resteJetonLocal(const std::string& jeton) const;

    // The clock of the fleet's dates and seen ages: the scenario's fixed second, else the system's.
    Instant horlogeParc() const;

    // --- Boxes ---
    BoxCloud* boxCloudParSite(std::string_view idSite);
    BoxCloud* boxCloudParRegistre(std::string_view idRegistre);
    BoxCloud* boxCloudParSerie(std::string_view serie);
    BoxLocale* boxLocale(std::string_view role);
    // The installers' fleet becomes `nombre` generated boxes (0: the boxes of `boxesCloud` again).
    // Asking for the size already generated keeps those boxes and when they were last heard from.
    void genererParc(int nombre);
    int tailleParcGenere() const;  // 0 without a generated fleet
    // A box of the generated fleet, by id or serial, as the cloud knows it.
    std::optional<BoxCloud> boxGeneree(std::string_view idOuSerie) const;
    // The serial of a box listed in the installers' fleet, named by its id or serial.
    std::optional<std::string> serieDuParc(std::string_view idOuSerie) const;

    // --- Documents ---
    std::string documentMoi(const Compte& compte) const;
    std::string documentJetonLocal(const JetonEmis& jeton, const Compte& compte) const;
    // The fleet as the installer's studio reads it. Not const: a box whose serial alternates
    // (scenario `serieChangeante`) takes its other serial in the next answer.
    std::string documentParc(const Compte& compte);
    std::string documentRegistre() const;
    std::string documentDecouverte(const BoxLocale& box) const;
    // `telechargement`: the download page it names unless the scenario gives one.
    std::string documentManifeste(const std::string& telechargement) const;
    // The legacy API's state, "key=value" lines.
    std::string etatAncien(const BoxLocale& box) const;

    // A new identity for the box of that identifier (fingerprint, else serial): the answer body.
    std::string fabriquer(const std::string& empreinte);
    // The box receives its identity (a JSON body): the status it answers. A body that is not
    // JSON, lacks a member or names another cloud than the portal is refused (400) whatever the
    // scenario; the scenario's `statutInjection` then stands for the box's own verdict.
    int injecter(BoxLocale& box, std::string_view corps);
    // A successful anomaly action: the anomaly is resolved. False when site or anomaly is unknown.
    bool resoudreAnomalie(std::string_view idSite, std::string_view cle);
    // A new label code for a box still at the workshop; absent when the box is in service.
    std::optional<std::string> nouveauCodeEtiquette(BoxCloud& box);

private:
    struct Session {
        std::string compte;
        std::int64_t expireMs = 0;  // milliseconds since 1970
    };
    struct JetonTunnel {
        std::string serie;  // comparable form
        std::int64_t expireMs = 0;
    };
    struct Fabrication {
        std::string empreinte;
        std::string idRegistre;
    };
    std::map<std::string, Session> jetonsConnexion_;
    std::map<std::string, Session> sessions_;
    std::map<std::string, std::int64_t> jetonsLocaux_;  // expiry in milliseconds since 1970
    std::map<std::string, JetonTunnel> jetonsTunnel_;
    std::map<std::string, Fabrication> fabrications_;  // keyed by identity token
    int prochaineSerie_ = 1;
    int prochainNumeroBox_ = 1;  // numbers the identifiers of the cloud's boxes, in creation order

    void peuplerComptes();
    void peuplerCloud();
    void peuplerBoxes();
};

// The worst colour among anomalies, "vert" when there are none.
std::string couleurDesAnomalies(const boost::json::array& anomalies);

}  // namespace ovrel::simulateur
