#include "sante/lecture_parc.h"

#include "plateforme/json.h"

#include <glib.h>

#include <limits>

namespace ovrel {

namespace bj = boost::json;

namespace {

// Look-ups on one object that borrow the document's text instead of copying it: the reader
// copies only what it keeps.
std::optional<std::string_view> vueTexte(const bj::object& objet, std::string_view cle) {
    const bj::value* v = objet.if_contains(cle);
    if (v == nullptr) return std::nullopt;
    if (const bj::string* s = v->if_string()) return std::string_view(s->data(), s->size());
    return std::nullopt;
}

std::string texteOuVide(const bj::object& objet, std::string_view cle) {
    const auto t = vueTexte(objet, cle);
    return t ? std::string(*t) : std::string();
}

std::optional<std::int64_t> entierDe(const bj::object& objet, std::string_view cle) {
    const bj::value* v = objet.if_contains(cle);
    if (v == nullptr) return std::nullopt;
    return json::commeEntier(*v);
}

// Counts come from outside: their sums are computed exactly on 128 bits and then saturate at
// the 64-bit limits, so one huge count cannot overflow nor make the result depend on the order.
__extension__ typedef __int128 Large;

std::int64_t borne(Large somme) noexcept {
    constexpr auto maxi = std::numeric_limits<std::int64_t>::max();
    constexpr auto mini = std::numeric_limits<std::int64_t>::min();
    if (somme > maxi) return maxi;
    if (somme < mini) return mini;
    return static_cast<std::int64_t>(somme);
}

// Full Unicode lower-casing ("PÖST" is "pöst"); plain ASCII, the usual case, never leaves C++.
std::string enMinuscules(std::string_view texte) {
    std::string r;
    r.reserve(texte.size());
    std::size_t debut = 0;
    while (debut <= texte.size()) {
        // A JSON text may hold U+0000, which the GLib routine would stop at: lower each run
        // between them on its own.
        std::size_t fin = texte.find('\0', debut);
        if (fin == std::string_view::npos) fin = texte.size();
        const std::string_view morceau = texte.substr(debut, fin - debut);
        bool ascii = true;
        for (char c : morceau)
            if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
        if (ascii) {
            for (char c : morceau) r.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        } else {
            gchar* bas = g_utf8_strdown(morceau.data(), static_cast<gssize>(morceau.size()));
            r.append(bas);
            g_free(bas);
        }
        if (fin == texte.size()) break;
        r.push_back('\0');
        debut = fin + 1;
    }
    return r;
}

// The counts per colour, as the fleet summary computed from box healths.
class Compteur {
public:
    void ajouter(const SanteOvrel& sante) {
        ++total_;
        if (!sante.connue) return;
        connue_ = true;
        const auto i = static_cast<std::size_t>(sante.couleur);
        if (i < nombres_.size()) ++nombres_[i];
    }

    SanteParc resultat() const {
        SanteParc parc;
        for (CouleurSante couleur : COULEURS_SANTE)
            parc.parCouleur.emplace(couleur, nombres_[static_cast<std::size_t>(couleur)]);
        for (CouleurSante couleur : COULEURS_ATTENTION) parc.attention += nombres_[static_cast<std::size_t>(couleur)];
        parc.total = total_;
        parc.titre = titreAttention(parc.attention);
        parc.connue = connue_;
        return parc;
    }

private:
    std::array<std::int64_t, COULEURS_SANTE.size()> nombres_{};
    std::int64_t total_ = 0;
    bool connue_ = false;
};

// When the box was last heard from: the health object's own values win over the box's.
void lireLesVus(const bj::object* sante, std::string_view vuLe, std::optional<std::int64_t> vuIlYaS,
                SanteOvrel& resultat) {
    const auto propreVuLe = sante != nullptr ? vueTexte(*sante, "vu_le") : std::nullopt;
    const auto propreIlYa = sante != nullptr ? entierDe(*sante, "vu_il_y_a_s") : std::nullopt;
    resultat.vuLe = propreVuLe ? *propreVuLe : vuLe;
    resultat.vuIlYaS = propreIlYa ? propreIlYa : vuIlYaS;
}

SanteOvrel santeInconnue(std::string_view resume) {
    SanteOvrel s;
    s.resume = resume;
    s.verbe = verbeSante(CouleurSante::inconnue);
    return s;
}

}  // namespace

std::optional<ActionSante> ActionSante::lire(const bj::value* valeur) {
    const bj::object* objet = valeur != nullptr ? valeur->if_object() : nullptr;
    if (objet == nullptr) return std::nullopt;
    const auto libelle = vueTexte(*objet, "libelle");
    const auto href = vueTexte(*objet, "href");
    if (!libelle || libelle->empty() || !href || href->empty()) return std::nullopt;
    const auto methode = vueTexte(*objet, "methode");
    return ActionSante{std::string(*libelle), std::string(*href),
                       methode && !methode->empty() ? enMinuscules(*methode) : std::string("get")};
}

AnomalieSante AnomalieSante::lire(const bj::object& objet) {
    AnomalieSante a;
    a.cle = texteOuVide(objet, "cle");
    a.couleur = couleurSante(vueTexte(objet, "couleur"));
    const auto titre = vueTexte(objet, "titre");
    a.titre = titre ? std::string(*titre) : std::string("Anomalie");
    a.detail = texteOuVide(objet, "detail");
    a.depuis = texteOuVide(objet, "depuis");
    if (const auto lisible = vueTexte(objet, "depuis_lisible"))
        a.depuisLisible = *lisible;
    else
        a.depuisLisible = dureeLisible(entierDe(objet, "age_s"));
    a.action = ActionSante::lire(objet.if_contains("action"));
    return a;
}

std::string AnomalieSante::consigne() const {
    return detail.empty() ? verbeSante(couleur) : detail;
}

namespace {
std::string quandAvec(const std::string& date, const std::string& depuisLisible) {
    if (!date.empty()) {
        std::string r = "depuis le " + date;
        if (!depuisLisible.empty()) r += " (" + depuisLisible + ")";
        return r;
    }
    if (!depuisLisible.empty()) return "depuis " + depuisLisible;
    return {};
}
}  // namespace

std::string AnomalieSante::quand() const { return quandAvec(dateCourte(depuis), depuisLisible); }

std::string AnomalieSante::quand(std::string_view fuseau) const {
    return quandAvec(dateCourte(depuis, fuseau), depuisLisible);
}

SanteOvrel SanteOvrel::oubliee(std::string nouveauResume) const {
    SanteOvrel s;
    s.resume = std::move(nouveauResume);
    s.verbe = verbeSante(CouleurSante::inconnue);
    s.vuLe = vuLe;
    s.vuIlYaS = vuIlYaS;
    return s;
}

SanteOvrel lireSante(const bj::value* valeur, std::string_view vuLe, std::optional<std::int64_t> vuIlYaS) {
    const bj::object* objet = valeur != nullptr ? valeur->if_object() : nullptr;
    if (objet == nullptr) {
        SanteOvrel s = santeInconnue(RESUME_SANTE_INDISPONIBLE);
        lireLesVus(nullptr, vuLe, vuIlYaS, s);
        return s;
    }
    const CouleurSante couleur = couleurSante(vueTexte(*objet, "couleur"));
    if (couleur == CouleurSante::inconnue) {
        SanteOvrel s = santeInconnue(RESUME_SANTE_ILLISIBLE);
        lireLesVus(objet, vuLe, vuIlYaS, s);
        return s;
    }
    SanteOvrel s;
    s.couleur = couleur;
    s.resume = texteOuVide(*objet, "resume");
    const auto verbe = vueTexte(*objet, "verbe");
    s.verbe = verbe ? std::string(*verbe) : verbeSante(couleur);
    if (const bj::array* anomalies = json::tableauDObjets(objet, "anomalies")) {
        s.anomalies.reserve(anomalies->size());
        for (const bj::value& anomalie : *anomalies) s.anomalies.push_back(AnomalieSante::lire(anomalie.get_object()));
    }
    lireLesVus(objet, vuLe, vuIlYaS, s);
    s.connue = true;
    return s;
}

std::optional<OvrelParc> OvrelParc::lire(const bj::object& boite, bool fiable) {
    const auto id = vueTexte(boite, "id");
    const auto nom = vueTexte(boite, "nom");
    if (!id || !nom) return std::nullopt;
    OvrelParc o;
    o.id = *id;
    o.nom = *nom;
    o.serie = texteOuVide(boite, "serie");
    if (const bj::value* enLigne = boite.if_contains("en_ligne"))
        if (const bool* b = enLigne->if_bool()) o.enLigne = *b;
    o.version = texteOuVide(boite, "version");
    o.remise = texteOuVide(boite, "remise");
    const std::string_view vuLe = vueTexte(boite, "vu_le").value_or(std::string_view());
    const auto vuIlYaS = entierDe(boite, "vu_il_y_a_s");
    const bj::value* sante = boite.if_contains("sante");
    if (fiable) {
        o.sante = lireSante(sante, vuLe, vuIlYaS);
    } else {
        // A list from the cache: the health is not read at all, only when the box was last seen.
        o.sante = santeInconnue(RESUME_HORS_LIGNE);
        lireLesVus(sante != nullptr ? sante->if_object() : nullptr, vuLe, vuIlYaS, o.sante);
    }
    return o;
}

SanteParc lireSanteParc(const bj::value* valeur) {
    const bj::object* objet = valeur != nullptr ? valeur->if_object() : nullptr;
    if (objet == nullptr) return SanteParc{};
    SanteParc parc;
    for (CouleurSante couleur : COULEURS_SANTE)
        parc.parCouleur.emplace(couleur, entierDe(*objet, valeurBrute(couleur)).value_or(0));
    if (const auto attention = entierDe(*objet, "attention")) {
        parc.attention = *attention;
    } else {
        Large somme = 0;
        for (CouleurSante couleur : COULEURS_ATTENTION) somme += parc.parCouleur[couleur];
        parc.attention = borne(somme);
    }
    if (const auto total = entierDe(*objet, "total")) {
        parc.total = *total;
    } else {
        Large somme = 0;
        for (const auto& [couleur, nombre] : parc.parCouleur) somme += nombre;
        parc.total = borne(somme);
    }
    const auto titre = vueTexte(*objet, "titre");
    parc.titre = titre ? std::string(*titre) : titreAttention(parc.attention);
    parc.connue = true;
    return parc;
}

SanteParc compterLeParc(const std::vector<SanteOvrel>& santes) {
    Compteur compteur;
    for (const SanteOvrel& sante : santes) compteur.ajouter(sante);
    return compteur.resultat();
}

std::optional<LectureParc> lireParc(std::string_view donnees, bool fiable) {
    const auto document = json::Document::analyser(donnees);
    if (!document) return std::nullopt;
    const bj::object* racine = document->objet();
    if (racine == nullptr) return std::nullopt;
    const bj::array* boites = json::tableauDObjets(racine, "ovrels");
    if (boites == nullptr) return std::nullopt;

    LectureParc lecture;
    lecture.ovrels.reserve(boites->size());
    for (const bj::value& boite : *boites)
        if (auto ovrel = OvrelParc::lire(boite.get_object(), fiable)) lecture.ovrels.push_back(std::move(*ovrel));
    lecture.organisation = texteOuVide(*racine, "organisation");
    lecture.compte = texteOuVide(*racine, "compte");
    lecture.calculeLe = texteOuVide(*racine, "calcule_le");

    // An object "sante_parc" always counts as a known summary, even an empty one.
    const bj::object* santeParc = fiable ? json::sousObjet(racine, "sante_parc") : nullptr;
    if (santeParc != nullptr) {
        lecture.sante = lireSanteParc(racine->if_contains("sante_parc"));
    } else {
        // Counted over the boxes kept, without copying their healths.
        Compteur compteur;
        for (const OvrelParc& ovrel : lecture.ovrels) compteur.ajouter(ovrel.sante);
        lecture.sante = compteur.resultat();
    }
    return lecture;
}

std::string enteteParc(const SanteParc& sante) {
    return sante.connue ? sante.titre : std::string(ENTETE_PARC_INDISPONIBLE);
}

std::vector<std::pair<CouleurSante, std::int64_t>> compteursVisibles(const SanteParc& sante) {
    std::vector<std::pair<CouleurSante, std::int64_t>> r;
    for (auto it = COULEURS_SANTE.rbegin(); it != COULEURS_SANTE.rend(); ++it) {
        const auto trouve = sante.parCouleur.find(*it);
        if (trouve != sante.parCouleur.end() && trouve->second > 0) r.emplace_back(*it, trouve->second);
    }
    return r;
}

}  // namespace ovrel
