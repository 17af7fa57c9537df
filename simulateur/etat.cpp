#include "simulateur/etat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace ovrel::simulateur {

namespace json = boost::json;

namespace {

Instant maintenant() { return std::chrono::system_clock::now(); }
// Validity is counted in milliseconds, so that a token of one second lasts one second.
std::int64_t ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(maintenant().time_since_epoch()).count();
}
// Whole seconds left until `finMs`, rounded up; nothing once it has passed.
std::optional<std::int64_t> resteS(std::int64_t finMs) {
    const std::int64_t reste = finMs - ms();
    if (reste <= 0) return std::nullopt;
    return (reste + 999) / 1000;
}

constexpr std::array<std::string_view, 5> COULEURS{"gris", "vert", "jaune", "orange", "rouge"};

int rangCouleur(std::string_view couleur) {
    for (std::size_t i = 0; i < COULEURS.size(); ++i)
        if (COULEURS[i] == couleur) return static_cast<int>(i);
    return -1;
}

json::object anomalie(std::string_view cle, std::string_view couleur, std::string_view titre,
                      std::string_view detail) {
    json::object a;
    a["cle"] = cle;
    a["couleur"] = couleur;
    a["titre"] = titre;
    if (!detail.empty()) a["detail"] = detail;
    return a;
}

json::object action(std::string_view libelle, std::string_view href, std::string_view methode) {
    json::object a;
    a["libelle"] = libelle;
    a["href"] = href;
    a["methode"] = methode;
    return a;
}

std::vector<long> nombresDeVersion(std::string_view v) {
    std::vector<long> r;
    while (!v.empty()) {
        const auto point = v.find('.');
        const std::string_view morceau = v.substr(0, point);
        long n = 0;
        const auto [fin, err] = std::from_chars(morceau.data(), morceau.data() + morceau.size(), n);
        if (err == std::errc() && fin == morceau.data() + morceau.size()) r.push_back(n);
        if (point == std::string_view::npos) break;
        v.remove_prefix(point + 1);
    }
    return r;
}

// The identifiers of the n-th box the cloud knows (from 1): fixed, so that a run can be read
// again, and unlike each other and the generated fleet's, so that an address holding the wrong
// one is refused. Both are UUIDs, as the application's readers of the site's addresses require.
constexpr std::string_view PREFIXE_ID_SITE = "51e00000-0000-4000-8000-";
constexpr std::string_view PREFIXE_ID_REGISTRE = "b0c50000-0000-4000-a000-";
constexpr std::string_view PREFIXE_ID_REGISTRE_GENERE = "9b000000-0000-4000-a000-";

std::string numerote(std::string_view prefixe, int largeur, int i) {
    char chiffres[16];
    std::snprintf(chiffres, sizeof chiffres, "%0*d", largeur, i);
    return std::string(prefixe) + chiffres;
}

BoxCloud boxCloud(int numero, std::string nom, std::string serie, std::string empreinte, std::string statut,
                  bool dansParc, bool enLigne, std::string version, std::string remise, Instant vu) {
    BoxCloud b;
    b.idSite = numerote(PREFIXE_ID_SITE, 12, numero);
    b.idRegistre = numerote(PREFIXE_ID_REGISTRE, 12, numero);
    b.nom = std::move(nom);
    b.serie = std::move(serie);
    b.empreinte = std::move(empreinte);
    b.statut = std::move(statut);
    b.dansParc = dansParc;
    b.enLigne = enLigne;
    b.version = std::move(version);
    b.remise = std::move(remise);
    b.vu = vu;
    return b;
}

BoxLocale boxLocaleDe(std::string role, GenreBox genre, std::string nomService, std::string nom, std::string version,
                      std::string serie, std::string empreinte, bool enregistree) {
    BoxLocale b;
    b.role = std::move(role);
    b.genre = genre;
    b.nomService = std::move(nomService);
    b.nom = std::move(nom);
    b.version = std::move(version);
    b.serie = std::move(serie);
    b.empreinte = std::move(empreinte);
    b.enregistree = enregistree;
    b.battement = enregistree;
    return b;
}

Instant instantDe(std::int64_t secondes) { return Instant(std::chrono::seconds(secondes)); }

// How long before the answer's second a box last heard from at `vuS` was seen. Never negative:
// a fleet clock set back does not show boxes seen in the future.
std::int64_t ageVu(std::int64_t vuS, std::int64_t maintenantS) { return std::max<std::int64_t>(0, maintenantS - vuS); }

// The seen date is the answer's second minus the age, so that "calcule_le" minus "vu_le" is
// "vu_il_y_a_s" to the second.
std::string dateVu(std::int64_t vuS, std::int64_t maintenantS) {
    return dateIso(instantDe(maintenantS - ageVu(vuS, maintenantS)));
}

// A box of the fleet document with its seen values left as a mark. The generated fleet is
// serialized once with it and cut there: the seen values are the only part of a box that
// changes with time. Its texts are all ours, so the mark is found nowhere else.
constexpr std::string_view MARQUE_VU = "\x01";
constexpr std::string_view MARQUE_VU_JSON = R"("vu_le":"\u0001","vu_il_y_a_s":0)";

json::object objetParc(const BoxCloud& b) {
    json::object o;
    o["id"] = b.idSite;
    o["nom"] = b.nom;
    o["serie"] = b.serie;
    o["en_ligne"] = b.enLigne;
    o["version"] = b.version;
    o["remise"] = b.remise;
    o["vu_le"] = MARQUE_VU;
    o["vu_il_y_a_s"] = 0;
    if (!b.sante.absente) {
        json::object s;
        s["couleur"] = b.sante.couleur;
        s["resume"] = b.sante.resume;
        if (b.sante.verbe) s["verbe"] = *b.sante.verbe;
        s["anomalies"] = b.sante.anomalies;
        o["sante"] = std::move(s);
    }
    return o;
}

// The serialized boxes cut at each mark: one more piece than boxes.
std::vector<std::string> decouperAuxVus(const std::string& texte) {
    std::vector<std::string> morceaux;
    std::size_t debut = 0;
    for (auto i = texte.find(MARQUE_VU_JSON); i != std::string::npos; i = texte.find(MARQUE_VU_JSON, debut)) {
        morceaux.push_back(texte.substr(debut, i - debut));
        debut = i + MARQUE_VU_JSON.size();
    }
    morceaux.push_back(texte.substr(debut));
    return morceaux;
}

std::string recoller(const std::vector<std::string>& morceaux, const std::vector<std::int64_t>& vusS,
                     std::int64_t maintenantS, std::size_t taille) {
    std::string r;
    r.reserve(taille + vusS.size() * 64);
    r += morceaux.front();
    for (std::size_t i = 0; i < vusS.size() && i + 1 < morceaux.size(); ++i) {
        r += R"("vu_le":")";
        r += dateVu(vusS[i], maintenantS);
        r += R"(","vu_il_y_a_s":)";
        r += std::to_string(ageVu(vusS[i], maintenantS));
        r += morceaux[i + 1];
    }
    return r;
}

json::object resumeParc(const std::array<std::int64_t, 5>& parCouleur, std::int64_t total) {
    json::object s;
    for (std::size_t i = 0; i < COULEURS.size(); ++i) s[COULEURS[i]] = parCouleur[i];
    s["attention"] = parCouleur[2] + parCouleur[3] + parCouleur[4];
    s["total"] = total;
    return s;
}

// --- The generated fleet's pattern ---
// Everything but the seen instants follows from the box's number, so that a box can be found
// again from its id or serial without keeping 20,000 of them, and so that the counts of a size
// can be foreseen: the colours repeat every ten boxes.

constexpr std::array<std::string_view, 10> MOTIF_COULEURS{"vert",  "vert", "jaune", "vert",  "orange",
                                                          "vert",  "gris", "jaune", "rouge", "vert"};
constexpr std::array<std::string_view, 4> VERSIONS_GENEREES{"0.82.1", "0.82.0", "0.81.3", "0.80.2"};
constexpr std::array<std::string_view, 4> REMISES_GENEREES{"faite", "faite", "a_faire", "en_attente"};
constexpr std::string_view PREFIXE_ID_GENERE = "9e000000-0000-4000-8000-";
constexpr std::string_view PREFIXE_SERIE_GENEREE = "OV26G";

struct ModeleAnomalie {
    std::string_view cle;
    std::string_view couleur;
    std::string_view titre;
    std::string_view detail;
    std::string_view libelle;
    std::string_view geste;  // the endpoint its action calls by POST; empty: a page to open
    bool absolue;            // the action names the studio with its scheme and host
};

constexpr std::array<ModeleAnomalie, 6> ANOMALIES_GENEREES{{
    {"sonde-batterie", "jaune", "Pile faible — sonde", "La pile d'une sonde tiendra encore une dizaine de jours.",
     "Relancer la sonde", "relancer", false},
    {"mise-a-jour", "jaune", "Mise à jour en attente", "", "Voir la mise à jour", "", false},
    {"sauvegarde-ancienne", "orange", "Sauvegarde en retard", "La dernière sauvegarde date de plusieurs jours.",
     "Voir la sauvegarde", "", false},
    {"stockage-plein", "orange", "Stockage presque plein", "Il reste moins de 5 % de place pour les journaux.",
     "Purger les journaux", "purger", false},
    {"hors-ligne", "rouge", "Ovrel hors ligne", "L'Ovrel ne parle plus au cloud.", "Tenter un réveil", "reveiller",
     true},
    {"alarme-technique", "rouge", "Alarme technique", "Un détecteur signale un défaut.", "Voir l'alarme", "", false},
}};

std::string resumeGenere(std::string_view couleur) {
    if (couleur == "gris") return "Pas encore en service.";
    if (couleur == "jaune") return "À surveiller cette semaine.";
    if (couleur == "orange") return "À vérifier aujourd'hui.";
    if (couleur == "rouge") return "Intervention requise : appelez le client.";
    return "Tout va bien.";
}

// Box `i` (from 1) of a generated fleet made at `t`; `base` prefixes the actions that name the
// studio absolutely. A box of a colour of concern has one to three anomalies: the first of its
// colour, the others no worse, so that its colour is the worst of them.
BoxCloud boxGenereeNumero(int i, Instant t, const std::string& base) {
    BoxCloud b;
    b.idSite = numerote(PREFIXE_ID_GENERE, 12, i);
    b.idRegistre = numerote(PREFIXE_ID_REGISTRE_GENERE, 12, i);
    b.nom = numerote("Maison ", 5, i);
    b.serie = numerote(PREFIXE_SERIE_GENEREE, 5, i);
    const std::string_view couleur = MOTIF_COULEURS[static_cast<std::size_t>(i) % MOTIF_COULEURS.size()];
    const int rang = rangCouleur(couleur);
    const int voulues = rang >= rangCouleur("jaune") ? 1 + (i / 10) % 3 : 0;
    std::vector<const ModeleAnomalie*> choisies;
    int memeCouleur = 0;
    for (const auto& m : ANOMALIES_GENEREES)
        if (m.couleur == couleur && memeCouleur++ == (i / 10) % 2) choisies.push_back(&m);
    for (const auto& m : ANOMALIES_GENEREES)
        if (static_cast<int>(choisies.size()) < voulues && rangCouleur(m.couleur) <= rang &&
            std::find(choisies.begin(), choisies.end(), &m) == choisies.end())
            choisies.push_back(&m);
    const bool horsLigne =
        std::any_of(choisies.begin(), choisies.end(), [](const ModeleAnomalie* m) { return m->cle == "hors-ligne"; });

    b.statut = couleur == "gris" ? "suspendu" : "en_service";
    b.dansParc = true;
    b.enLigne = couleur != "gris" && !horsLigne && i % 13 != 0;
    b.version = std::string(VERSIONS_GENEREES[static_cast<std::size_t>(i / 3) % VERSIONS_GENEREES.size()]);
    b.remise = couleur == "gris" ? "en_attente"
                                 : std::string(REMISES_GENEREES[static_cast<std::size_t>(i / 7) % REMISES_GENEREES.size()]);
    const std::int64_t ageS = couleur == "gris" ? 86400LL * (1 + i % 20)
                              : !b.enLigne      ? 3600 + (i * 97LL) % 86400
                                                : 5 + (i * 37LL) % 900;
    b.vu = t - std::chrono::seconds(ageS);

    for (std::size_t k = 0; k < choisies.size(); ++k) {
        const ModeleAnomalie& m = *choisies[k];
        auto a = anomalie(m.cle, m.couleur, m.titre, m.detail);
        const auto minutes = std::chrono::minutes(10 + (i * 7LL + static_cast<long long>(k) * 131) % 5000);
        a["depuis"] = dateIso(m.cle == "hors-ligne" ? b.vu : t - minutes);
        const std::string cle(m.cle);
        if (m.geste.empty())
            a["action"] = action(m.libelle, "/studio/site/" + b.idSite + "/reparer?cle=" + cle, "get");
        else
            a["action"] = action(m.libelle,
                                 (m.absolue ? base : std::string()) + "/studio/api/sites/" + b.idSite + "/anomalies/" + cle +
                                     "/" + std::string(m.geste),
                                 "post");
        b.sante.anomalies.push_back(std::move(a));
    }
    b.sante.couleur = couleur == "gris" ? "gris" : couleurDesAnomalies(b.sante.anomalies);
    b.sante.resume = resumeGenere(couleur);
    return b;
}

// The number of a generated box named by id or serial, in their exact generated forms.
std::optional<int> numeroGenere(std::string_view idOuSerie) {
    const bool parId = idOuSerie.substr(0, PREFIXE_ID_GENERE.size()) == PREFIXE_ID_GENERE;
    const std::string serie = serieComparable(idOuSerie);
    if (!parId && serie.compare(0, PREFIXE_SERIE_GENEREE.size(), PREFIXE_SERIE_GENEREE) != 0) return std::nullopt;
    const std::string_view chiffres = parId ? idOuSerie.substr(PREFIXE_ID_GENERE.size())
                                            : std::string_view(serie).substr(PREFIXE_SERIE_GENEREE.size());
    int i = 0;
    const auto [fin, err] = std::from_chars(chiffres.data(), chiffres.data() + chiffres.size(), i);
    if (err != std::errc() || fin != chiffres.data() + chiffres.size() || i < 1) return std::nullopt;
    const bool exact =
        parId ? idOuSerie == numerote(PREFIXE_ID_GENERE, 12, i) : serie == numerote(PREFIXE_SERIE_GENEREE, 5, i);
    return exact ? std::optional<int>(i) : std::nullopt;
}

}  // namespace

// The generated fleet, serialized once: the "ovrels" array cut around each box's seen values,
// which are the only part computed again for every answer.
struct ParcGenere {
    int nombre = 0;
    Instant genereLe;
    std::vector<std::string> morceaux;  // nombre + 1 pieces
    std::size_t taille = 0;             // of the pieces together
    std::vector<std::int64_t> vusS;     // when each box was last heard from, seconds since 1970
    std::array<std::int64_t, 5> parCouleur{};
};

std::optional<Panne> lirePanne(const json::value& valeur) {
    if (const auto* n = valeur.if_int64()) {
        if (*n < 100 || *n > 599) return std::nullopt;
        return Panne{Panne::Genre::statut, static_cast<int>(*n)};
    }
    const auto* t = valeur.if_string();
    if (!t) return std::nullopt;
    if (*t == "normal") return Panne{};
    if (*t == "incoherent") return Panne{Panne::Genre::incoherent, 0};
    if (*t == "coupe") return Panne{Panne::Genre::coupe, 0};
    if (*t == "injoignable") return Panne{Panne::Genre::injoignable, 0};
    return std::nullopt;
}

json::value panneEnJson(const Panne& panne) {
    switch (panne.genre) {
        case Panne::Genre::normal: return "normal";
        case Panne::Genre::statut: return panne.statut;
        case Panne::Genre::incoherent: return "incoherent";
        case Panne::Genre::coupe: return "coupe";
        case Panne::Genre::injoignable: return "injoignable";
    }
    return "normal";
}

std::optional<ModeLivret> lireModeLivret(std::string_view texte) {
    if (texte == "piece_jointe") return ModeLivret::pieceJointe;
    if (texte == "pdf_en_ligne") return ModeLivret::pdfEnLigne;
    if (texte == "html_500") return ModeLivret::html500;
    if (texte == "redirection") return ModeLivret::redirection;
    return std::nullopt;
}

std::string_view nomModeLivret(ModeLivret mode) {
    switch (mode) {
        case ModeLivret::pieceJointe: return "piece_jointe";
        case ModeLivret::pdfEnLigne: return "pdf_en_ligne";
        case ModeLivret::html500: return "html_500";
        case ModeLivret::redirection: return "redirection";
    }
    return "piece_jointe";
}

bool versionAuMoins(std::string_view version, std::string_view minimum) {
    const auto a = nombresDeVersion(version);
    const auto b = nombresDeVersion(minimum);
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const long x = i < a.size() ? a[i] : 0;
        const long y = i < b.size() ? b[i] : 0;
        if (x != y) return x > y;
    }
    return true;
}

bool BoxLocale::annoncee() const {
    if (absente) return false;
    if (genre == GenreBox::ancienne) return versionAuMoins(version, VERSION_ANNONCE);
    return true;
}

std::optional<std::uint32_t> lireIpv4(std::string_view texte) {
    std::uint32_t adresse = 0;
    for (int i = 0; i < 4; ++i) {
        const auto point = texte.find('.');
        if ((i < 3) != (point != std::string_view::npos)) return std::nullopt;
        const std::string_view octet = texte.substr(0, point);
        unsigned n = 0;
        const auto [fin, err] = std::from_chars(octet.data(), octet.data() + octet.size(), n);
        if (octet.empty() || octet.size() > 3 || err != std::errc() || fin != octet.data() + octet.size() || n > 255)
            return std::nullopt;
        adresse = adresse << 8 | n;
        if (point != std::string_view::npos) texte.remove_prefix(point + 1);
    }
    return adresse;
}

std::string texteIpv4(std::uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 255) + "." + std::to_string(a >> 8 & 255) + "." +
           std::to_string(a & 255);
}

namespace {
// The bench's boxes, in the order of their addresses (see peuplerBoxes).
constexpr int BOXES_DU_BANC = 7;
// The n-th box of the bench takes the network's address plus this offset plus n.
constexpr std::uint32_t DECALAGE_BOXES = 10;

std::uint32_t masque(int longueur) { return longueur == 0 ? 0 : ~std::uint32_t{0} << (32 - longueur); }
}  // namespace

bool ReseauBoxes::contient(std::uint32_t adresse) const {
    // Neither the network's own address nor its broadcast address is a host's.
    const std::uint32_t hote = adresse & ~masque(longueur);
    return (adresse & masque(longueur)) == reseau && hote != 0 && hote != ~masque(longueur);
}

std::string ReseauBoxes::adresseBox(int n) const { return texteIpv4(reseau + DECALAGE_BOXES + static_cast<std::uint32_t>(n)); }

std::string ReseauBoxes::texte() const { return texteIpv4(reseau) + "/" + std::to_string(longueur); }

std::optional<ReseauBoxes> lireReseauBoxes(std::string_view texte) {
    const auto barre = texte.find('/');
    if (barre == std::string_view::npos) return std::nullopt;
    const auto adresse = lireIpv4(texte.substr(0, barre));
    const std::string_view l = texte.substr(barre + 1);
    int longueur = 0;
    const auto [fin, err] = std::from_chars(l.data(), l.data() + l.size(), longueur);
    if (!adresse || l.empty() || err != std::errc() || fin != l.data() + l.size() || longueur < 1 || longueur > 30)
        return std::nullopt;
    ReseauBoxes r{*adresse & masque(longueur), longueur};
    // Room for every box of the bench.
    if (!r.contient(r.reseau + DECALAGE_BOXES + BOXES_DU_BANC)) return std::nullopt;
    return r;
}

std::string BoxLocale::identifiant() const { return empreinte.empty() ? serie : empreinte; }

std::string couleurDesAnomalies(const json::array& anomalies) {
    int pire = rangCouleur("vert");
    for (const auto& a : anomalies) {
        const auto* o = a.if_object();
        if (!o) continue;
        const auto* c = o->if_contains("couleur");
        if (c && c->is_string()) pire = std::max(pire, rangCouleur(minuscules(c->get_string())));
    }
    return std::string(COULEURS[static_cast<std::size_t>(pire)]);
}

// --- Population ---

Etat::Etat(Config c) : config(std::move(c)) { reinitialiser(); }

void Etat::reinitialiser() {
    scenario = Scenario{};
    jetonsConnexion_.clear();
    sessions_.clear();
    jetonsLocaux_.clear();
    jetonsTunnel_.clear();
    fabrications_.clear();
    prochaineSerie_ = 1;
    prochainNumeroBox_ = 1;
    peuplerComptes();
    peuplerCloud();
    peuplerBoxes();
}

void Etat::peuplerComptes() {
    comptes.clear();
    comptes["installateur"] = {"installateur", true, false, "installateur@domotique-durand.fr", "Domotique Durand"};
    comptes["concepteur"] = {"concepteur", false, true, "concepteur@atelier-ovrel.fr", "Atelier Ovrel"};
    comptes["les-deux"] = {"les-deux", true, true, "polyvalent@domotique-durand.fr", "Domotique Durand"};
    comptes["aucun"] = {"aucun", false, false, "visiteur@exemple.fr", ""};
}

void Etat::peuplerCloud() {
    boxesCloud.clear();
    const Instant t = horlogeParc();
    // The configured ages are how long before the start each box was last heard from.
    const auto ilYa = [t](std::int64_t s) { return t - std::chrono::seconds(s); };

    BoxCloud durand = boxCloud(prochainNumeroBox_++, "Maison Durand", "OV24A0001", "5d41402abc4b", "en_service", true, true, "0.82.1", "faite", ilYa(12));
    durand.sante.resume = "Tout va bien.";

    BoxCloud pins = boxCloud(prochainNumeroBox_++, "Gîte des Pins", "OV24A0002", "7d793037a076", "en_stock", true, true, "0.82.1", "a_faire", ilYa(25));
    pins.code = nouveauCode();
    {
        auto a = anomalie("sonde-batterie", "jaune", "Pile faible — sonde du séjour",
                          "La pile de la sonde du séjour tiendra encore une dizaine de jours.");
        a["age_s"] = 7200;
        a["action"] = action("Relancer la sonde", "/studio/api/sites/" + pins.idSite + "/anomalies/sonde-batterie/relancer", "post");
        pins.sante.anomalies.push_back(std::move(a));
        pins.sante.resume = "Une pile à changer cette semaine.";
    }

    BoxCloud martin = boxCloud(prochainNumeroBox_++, "Cabinet Martin", "OV23C0417", "b6589fc6ab0d", "en_service", true, true, "0.81.3", "faite", ilYa(40));
    {
        auto a = anomalie("sauvegarde-ancienne", "orange", "Sauvegarde en retard",
                          "La dernière sauvegarde date de trois jours.");
        a["depuis"] = dateIso(t - std::chrono::hours(72));
        a["depuis_lisible"] = "3 jours";
        a["action"] = action("Voir la sauvegarde", "/studio/site/" + martin.idSite + "/reparer?cle=sauvegarde-ancienne", "get");
        martin.sante.anomalies.push_back(std::move(a));
        auto b = anomalie("mise-a-jour", "jaune", "Mise à jour en attente", "");
        b["depuis"] = dateIso(t - std::chrono::hours(26));
        martin.sante.anomalies.push_back(std::move(b));
        martin.sante.resume = "Sauvegarde à vérifier aujourd'hui.";
    }

    BoxCloud leroy = boxCloud(prochainNumeroBox_++, "Atelier Leroy", "OV23C0533", "356a192b7913", "en_service", true, false, "0.80.2", "faite", ilYa(7260));
    {
        auto a = anomalie("hors-ligne", "rouge", "Ovrel hors ligne",
                          "L'Ovrel ne parle plus au cloud depuis deux heures.");
        a["age_s"] = 7260;
        a["action"] = action("Tenter un réveil",
                             baseCloud() + "/studio/api/sites/" + leroy.idSite + "/anomalies/hors-ligne/reveiller", "POST");
        leroy.sante.anomalies.push_back(std::move(a));
        leroy.sante.resume = "Injoignable : appelez le client.";
    }

    BoxCloud morel = boxCloud(prochainNumeroBox_++, "Chalet Morel", "OV22B0090", "da4b9237bacc", "suspendu", true, false, "0.74.0", "en_attente", ilYa(86400 * 4));
    morel.sante.couleur = "gris";
    morel.sante.resume = "Pas encore en service.";

    BoxCloud rossi = boxCloud(prochainNumeroBox_++, "Villa Rossi", "OV24A0003", "77de68daecd8", "reinitialise", false, false, "0.82.0", "a_faire", ilYa(86400 * 12));
    rossi.code = nouveauCode();
    rossi.sante.couleur = "gris";

    for (BoxCloud* b : {&durand, &pins, &martin, &leroy})
        if (b->sante.couleur != "gris") b->sante.couleur = couleurDesAnomalies(b->sante.anomalies);
    boxesCloud = {durand, pins, martin, leroy, morel, rossi};
}

void Etat::peuplerBoxes() {
    std::map<std::string, std::pair<std::string, int>> adresses;
    for (const auto& b : boxesLocales) adresses[b.role] = {b.hote, b.port};
    boxesLocales.clear();

    BoxLocale ancienne = boxLocaleDe("ancienne", GenreBox::ancienne, "Ovrel ancien", "", "0.71.4", "", "9f86d081884c", false);
    ancienne.hote = "127.0.0.2";
    // On the boxes' network their addresses follow this order: keep BOXES_DU_BANC in step.
    boxesLocales = {
        boxLocaleDe("durand", GenreBox::ovrel, "Ovrel Maison Durand", "Maison Durand", "0.82.1", "OV24A0001", "5d41402abc4b", true),
        boxLocaleDe("pins", GenreBox::ovrel, "Ovrel Gîte des Pins", "Gîte des Pins", "0.82.1", "OV24A0002", "7d793037a076", true),
        boxLocaleDe("vierge-1", GenreBox::ovrel, "Ovrel e3b0c442", "", "0.80.0", "", "e3b0c44298fc", false),
        boxLocaleDe("vierge-2", GenreBox::ovrel, "Ovrel OV25X0007", "", "0.80.0", "OV25X0007", "", false),
        boxLocaleDe("imprimante", GenreBox::etrangere, "Imprimante du bureau", "Imprimante du bureau", "3.1.0", "IMP-4471", "", false),
        boxLocaleDe("muette", GenreBox::muette, "Ovrel 4f1c", "", "", "", "", false),
        ancienne,
    };
    if (config.reseauBoxes) {
        int n = 0;
        for (auto& b : boxesLocales) {
            b.hote = config.reseauBoxes->adresseBox(++n);
            b.port = PORT_BOX;
            b.nomHote = "box-" + b.role + ".local";
        }
        return;
    }
    for (auto& b : boxesLocales) {
        const auto a = adresses.find(b.role);
        if (a != adresses.end()) {
            b.hote = a->second.first;
            b.port = a->second.second;
        }
    }
}

// --- Addresses ---

std::string Etat::hoteStudio() const { return "studio." + config.domaine; }
std::string Etat::hoteSiteWeb() const { return "www." + config.domaine; }
std::string Etat::hoteConnexion() const { return "auth." + config.domaine; }
std::string Etat::hotePortail() const { return "portail." + config.domaine; }
bool Etat::estOriginePortail(std::string_view texte) const {
    const std::string origine = "https://" + hotePortail();
    if (texte == origine) return true;
    return config.portHttps != 0 && config.portHttps != 443 && texte == origine + ":" + std::to_string(config.portHttps);
}

std::string Etat::suffixeBox() const { return ".box." + config.domaine; }
std::string Etat::hoteTunnel(std::string_view serie) const { return "b-" + minuscules(serie) + suffixeBox(); }
std::string Etat::baseCloud() const { return "http://" + hoteStudio() + ":" + std::to_string(config.portCloud); }
std::string Etat::urlStudio() const { return baseCloud() + "/studio"; }

std::optional<std::string> Etat::serieDeTunnel(std::string_view hote) const {
    const std::string h = minuscules(hote);
    const std::string suffixe = suffixeBox();
    if (h.size() <= suffixe.size() + 2 || h.compare(h.size() - suffixe.size(), suffixe.size(), suffixe) != 0)
        return std::nullopt;
    if (h.compare(0, 2, "b-") != 0) return std::nullopt;
    const std::string serie = h.substr(2, h.size() - suffixe.size() - 2);
    if (serie.find('.') != std::string::npos) return std::nullopt;
    return serie;
}

// --- Sign-in and web logins ---

std::string Etat::emettreJetonConnexion(const std::string& compte) {
    std::string jeton = nouveauJeton(64);
    jetonsConnexion_[jeton] = {compte, ms() + 300 * 1000};
    return jeton;
}

std::optional<std::string> Etat::consommerJetonConnexion(const std::string& jeton) {
    const auto i = jetonsConnexion_.find(jeton);
    if (i == jetonsConnexion_.end()) return std::nullopt;
    const Session s = i->second;
    jetonsConnexion_.erase(i);
    if (!resteS(s.expireMs) || !comptes.count(s.compte)) return std::nullopt;
    return s.compte;
}

std::string Etat::ouvrirSession(const std::string& compte) {
    std::string valeur = nouveauJeton(48);
    sessions_[valeur] = {compte, ms() + scenario.dureeSessionS * 1000};
    return valeur;
}

const Compte* Etat::compteDeSession(const std::optional<std::string>& valeurCookie) const {
    if (!valeurCookie) return nullptr;
    const auto i = sessions_.find(*valeurCookie);
    if (i == sessions_.end() || !resteS(i->second.expireMs)) return nullptr;
    const auto c = comptes.find(i->second.compte);
    return c == comptes.end() ? nullptr : &c->second;
}

void Etat::fermerSession(const std::string& valeurCookie) { sessions_.erase(valeurCookie); }
void Etat::fermerToutesLesSessions() { sessions_.clear(); }

// --- Tokens ---

JetonEmis Etat::emettreJetonLocal() {
    const std::int64_t finMs = ms() + scenario.dureeJetonLocalS * 1000;
    JetonEmis j{nouveauJeton(64), finMs / 1000};
    jetonsLocaux_[j.jeton] = finMs;
    return j;
}

std::optional<std::int64_t> Etat::resteJetonLocal(const std::string& jeton) const {
    if (scenario.jetonsLocauxRefuses) return std::nullopt;
    const auto i = jetonsLocaux_.find(jeton);
    if (i == jetonsLocaux_.end()) return std::nullopt;
    return resteS(i->second);
}

JetonEmis Etat::emettreJetonTunnel(std::string_view serie) {
    const std::int64_t finMs = ms() + scenario.dureeJetonTunnelS * 1000;
    JetonEmis j{nouveauJeton(64), finMs / 1000};
    jetonsTunnel_[j.jeton] = {serieComparable(serie), finMs};
    return j;
}

std::optional<std::int64_t> Etat::resteJetonTunnel(std::string_view serie, const std::string& jeton) const {
    const auto i = jetonsTunnel_.find(jeton);
    if (i == jetonsTunnel_.end() || i->second.serie != serieComparable(serie)) return std::nullopt;
    return resteS(i->second.expireMs);
}

// --- Boxes ---

BoxCloud* Etat::boxCloudParSite(std::string_view idSite) {
    for (auto& b : boxesCloud)
        if (b.idSite == idSite) return &b;
    return nullptr;
}

BoxCloud* Etat::boxCloudParRegistre(std::string_view idRegistre) {
    for (auto& b : boxesCloud)
        if (b.idRegistre == idRegistre) return &b;
    return nullptr;
}

BoxCloud* Etat::boxCloudParSerie(std::string_view serie) {
    const std::string s = serieComparable(serie);
    if (s.empty()) return nullptr;
    for (auto& b : boxesCloud)
        if (serieComparable(b.serie) == s) return &b;
    return nullptr;
}

BoxLocale* Etat::boxLocale(std::string_view role) {
    for (auto& b : boxesLocales)
        if (b.role == role) return &b;
    return nullptr;
}

Instant Etat::horlogeParc() const { return scenario.horlogeParc ? instantDe(*scenario.horlogeParc) : maintenant(); }

void Etat::genererParc(int nombre) {
    if (nombre <= 0) {
        scenario.parcGenere.reset();
        return;
    }
    if (scenario.parcGenere && scenario.parcGenere->nombre == nombre) return;
    auto parc = std::make_shared<ParcGenere>();
    parc->nombre = nombre;
    parc->genereLe = horlogeParc();
    const std::string base = baseCloud();
    json::array ovrels;
    ovrels.reserve(static_cast<std::size_t>(nombre));
    parc->vusS.reserve(static_cast<std::size_t>(nombre));
    for (int i = 1; i <= nombre; ++i) {
        const BoxCloud b = boxGenereeNumero(i, parc->genereLe, base);
        ovrels.push_back(objetParc(b));
        parc->vusS.push_back(secondesDepuis1970(b.vu));
        ++parc->parCouleur[static_cast<std::size_t>(rangCouleur(b.sante.couleur))];
    }
    parc->morceaux = decouperAuxVus(json::serialize(ovrels));
    for (const auto& m : parc->morceaux) parc->taille += m.size();
    scenario.parcGenere = std::move(parc);
}

int Etat::tailleParcGenere() const { return scenario.parcGenere ? scenario.parcGenere->nombre : 0; }

std::optional<BoxCloud> Etat::boxGeneree(std::string_view idOuSerie) const {
    const auto& parc = scenario.parcGenere;
    const auto i = parc ? numeroGenere(idOuSerie) : std::nullopt;
    if (!i || *i > parc->nombre) return std::nullopt;
    return boxGenereeNumero(*i, parc->genereLe, baseCloud());
}

std::optional<std::string> Etat::serieDuParc(std::string_view idOuSerie) const {
    if (scenario.parcGenere) {
        const auto b = boxGeneree(idOuSerie);
        return b ? std::optional<std::string>(b->serie) : std::nullopt;
    }
    const std::string serie = serieComparable(idOuSerie);
    for (const auto& b : boxesCloud)
        if (b.dansParc && (b.idSite == idOuSerie || (!serie.empty() && serieComparable(b.serie) == serie))) return b.serie;
    return std::nullopt;
}

// --- Documents ---

std::string Etat::documentMoi(const Compte& compte) const {
    json::object o;
    o["studio"] = compte.studio;
    o["exploitant"] = compte.exploitant;
    o["email"] = compte.email;
    return json::serialize(o);
}

std::string Etat::documentJetonLocal(const JetonEmis& jeton, const Compte& compte) const {
    json::object o;
    o["jeton"] = jeton.jeton;
    o["expire"] = jeton.expire;
    o["organisation"] = compte.organisation;
    return json::serialize(o);
}

std::string Etat::documentParc(const Compte& compte) {
    const Instant t = horlogeParc();
    const std::int64_t maintenantS = secondesDepuis1970(t);
    const ParcGenere* genere = scenario.parcGenere.get();
    json::array ovrels;
    std::array<std::int64_t, 5> parCouleur{};
    std::int64_t total = 0;
    if (genere) {
        parCouleur = genere->parCouleur;
        total = genere->nombre;
    }
    for (const auto& b : boxesCloud) {
        if (genere || !b.dansParc) continue;
        ++total;
        json::object o = objetParc(b);
        const std::int64_t vuS = secondesDepuis1970(b.vu);
        o["vu_le"] = dateVu(vuS, maintenantS);
        o["vu_il_y_a_s"] = ageVu(vuS, maintenantS);
        ovrels.push_back(std::move(o));
        const int rang = b.sante.absente ? -1 : rangCouleur(minuscules(b.sante.couleur));
        if (rang >= 0) ++parCouleur[static_cast<std::size_t>(rang)];
    }
    json::object doc;
    doc["organisation"] = compte.organisation;
    doc["compte"] = compte.email;
    doc["calcule_le"] = dateIso(t);
    doc["ovrels"] = std::move(ovrels);
    if (scenario.santeParc) doc["sante_parc"] = resumeParc(parCouleur, total);
    std::string document = json::serialize(doc);
    if (genere) {
        // The generated boxes go in place of the empty list; no text before it can hold that
        // sequence, since the quotes inside a JSON text are escaped.
        constexpr std::string_view listeVide = R"("ovrels":[])";
        document.replace(document.find(listeVide) + listeVide.size() - 2, 2,
                         recoller(genere->morceaux, genere->vusS, maintenantS, genere->taille));
    }

    // The alternating serial: the variant is the serial with a suffix, which serial comparison
    // does not ignore, so that the box reads as another serial every other answer.
    const auto serie = scenario.serieChangeante ? serieDuParc(*scenario.serieChangeante) : std::nullopt;
    if (serie) {
        const std::string motif = "\"serie\":" + json::serialize(json::value(json::string_view(*serie)));
        const auto i = document.find(motif);
        if (i != std::string::npos) {
            if (scenario.serieVariante) document.insert(i + motif.size() - 1, SUFFIXE_SERIE_VARIANTE);
            scenario.serieVariante = !scenario.serieVariante;
        }
    }
    return document;
}

std::string Etat::documentRegistre() const {
    json::array ovrels;
    for (const auto& b : boxesCloud) {
        json::object o;
        o["id"] = b.idRegistre;
        o["serie"] = b.serie;
        o["nom"] = b.nom;
        o["statut"] = b.statut;
        ovrels.push_back(std::move(o));
    }
    json::object doc;
    doc["ovrels"] = std::move(ovrels);
    return json::serialize(doc);
}

std::string Etat::documentDecouverte(const BoxLocale& box) const {
    json::object o;
    if (box.genre == GenreBox::etrangere) {
        o["produit"] = "imprimante-reseau";
        o["nom"] = box.nom;
        o["version"] = box.version;
        o["serie"] = box.serie;
        return json::serialize(o);
    }
    o["produit"] = "ovrel-box";
    if (!box.nom.empty()) o["nom"] = box.nom;
    o["version"] = box.version;
    o["serie"] = box.serie;
    if (!box.empreinte.empty()) o["empreinte"] = box.empreinte;
    o["enregistree"] = box.enregistree;
    return json::serialize(o);
}

std::string Etat::documentManifeste(const std::string& telechargement) const {
    if (scenario.majBrut) return *scenario.majBrut;
    json::object o;
    o["version"] = scenario.majVersion;
    o["url"] = scenario.majUrl.empty() ? telechargement : scenario.majUrl;
    return json::serialize(o);
}

std::string Etat::etatAncien(const BoxLocale& box) const {
    return "version=" + box.version + "\nserie=" + box.serie + "\nempreinte=" + box.empreinte +
           "\nenregistree=" + (box.enregistree ? "oui" : "non") + "\nbattement=" + (box.battement ? "oui" : "non") +
           "\n";
}

std::string Etat::fabriquer(const std::string& empreinte) {
    BoxCloud* box = nullptr;
    for (auto& b : boxesCloud)
        if (b.empreinte == empreinte && !b.enLigne && b.statut == "en_stock" && !b.dansParc) box = &b;
    if (!box) {
        char serie[16];
        std::snprintf(serie, sizeof serie, "OV25F%04d", prochaineSerie_++);
        BoxCloud b = boxCloud(prochainNumeroBox_++, std::string("Ovrel ") + serie, serie, empreinte, "en_stock", false, false, "", "a_faire",
                              horlogeParc());
        b.sante.couleur = "gris";
        b.sante.resume = "Pas encore en service.";
        boxesCloud.push_back(std::move(b));
        box = &boxesCloud.back();
    }
    box->code = nouveauCode();
    const std::string jeton = nouveauJeton(64);
    fabrications_[jeton] = {empreinte, box->idRegistre};

    json::object o;
    o["serie"] = box->serie;
    o["jeton"] = jeton;
    o["code"] = box->code;
    o["site_id"] = box->idSite;
    if (!scenario.fabricationSansNom) o["nom"] = box->nom;
    return json::serialize(o);
}

int Etat::injecter(BoxLocale& box, std::string_view corps) {
    boost::system::error_code erreur;
    const json::value v = json::parse(corps, erreur);
    const auto* o = erreur ? nullptr : v.if_object();
    if (!o) return 400;
    for (const char* cle : {"serie", "jeton", "api", "nom"}) {
        const auto* m = o->if_contains(cle);
        if (!m || !m->is_string()) return 400;
    }
    // The box will call home at this root for the rest of its life: anything but the portal
    // would leave it talking to nobody, so a real box refuses it before keeping anything.
    if (!estOriginePortail(o->at("api").get_string())) return 400;
    if (scenario.statutInjection) return *scenario.statutInjection;
    if (box.enregistree) return 409;
    const auto f = fabrications_.find(std::string(o->at("jeton").get_string()));
    if (f == fabrications_.end() || f->second.empreinte != box.identifiant()) return 403;
    BoxCloud* cloud = boxCloudParRegistre(f->second.idRegistre);
    if (!cloud || cloud->serie != o->at("serie").get_string()) return 400;

    box.serie = std::string(o->at("serie").get_string());
    box.nom = std::string(o->at("nom").get_string());
    box.api = std::string(o->at("api").get_string());
    box.enregistree = true;
    box.battement = true;
    cloud->enLigne = true;
    cloud->version = box.version;
    cloud->vu = horlogeParc() - std::chrono::seconds(3);
    fabrications_.erase(f);
    return 200;
}

bool Etat::resoudreAnomalie(std::string_view idSite, std::string_view cle) {
    BoxCloud* b = boxCloudParSite(idSite);
    if (!b) return false;
    auto& anomalies = b->sante.anomalies;
    const auto i = std::find_if(anomalies.begin(), anomalies.end(), [&](const json::value& a) {
        const auto* o = a.if_object();
        const auto* c = o ? o->if_contains("cle") : nullptr;
        return c && c->is_string() && c->get_string() == cle;
    });
    if (i == anomalies.end()) return false;
    anomalies.erase(i);
    if (b->sante.couleur != "gris") b->sante.couleur = couleurDesAnomalies(anomalies);
    if (anomalies.empty()) b->sante.resume = "Tout va bien.";
    return true;
}

std::optional<std::string> Etat::nouveauCodeEtiquette(BoxCloud& box) {
    if (box.statut != "en_stock" && box.statut != "reinitialise") return std::nullopt;
    box.code = nouveauCode();
    return box.code;
}

}  // namespace ovrel::simulateur
