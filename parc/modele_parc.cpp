#include "parc/modele_parc.h"

#include "app/constantes.h"
#include "connexion/habilitation.h"
#include "plateforme/adresse.h"
#include "plateforme/objets_g.h"

#include <glib.h>

namespace ovrel {

namespace {

constexpr Couleur GRIS_TITRE = Couleur::blanc(0.94, 0.62);
constexpr Couleur GRIS_TITRE_INCONNU = Couleur::blanc(0.94, 0.5);

Couleur avecAlpha(Couleur couleur, double alpha) {
    couleur.alpha = alpha;
    return couleur;
}

std::string joindre(const std::vector<std::string>& morceaux, std::string_view separateur) {
    std::string texte;
    for (const auto& m : morceaux) {
        if (m.empty()) continue;
        if (!texte.empty()) texte += separateur;
        texte += m;
    }
    return texte;
}

PastilleModele modelePastille(const SanteOvrel& sante, bool deplie) {
    PastilleModele p;
    p.couleur = sante.couleur;
    p.mot = motSante(sante.couleur);
    p.infobulle = joindre({sante.resume, sante.verbe}, "\n");
    if (!sante.anomalies.empty()) {
        p.compte = "· " + std::to_string(sante.anomalies.size());
        p.marque = deplie ? "▾" : "▸";
        p.infobulle += "\n\nCliquez pour voir le détail et agir.";
    }
    p.libelleAccessible = "Santé : " + p.mot + ". " + sante.resume;
    return p;
}

}  // namespace

EnteteParcModele modeleEntete(const DonneesEntete& d, std::string_view fuseau) {
    EnteteParcModele e;
    const std::string& organisation = !d.organisation.empty() ? d.organisation : d.organisationHabilitation;
    e.sousTitre = organisation.empty() ? std::string("Installateur agréé") : organisation + " · installateur agréé";
    if (!d.compte.empty()) e.sousTitre += "  —  " + d.compte;

    if (d.horsLigne) {
        const std::string date = d.cacheLe ? dateJourHeure(secondesDepuis1970(*d.cacheLe), fuseau) : std::string("—");
        e.statut = "Hors ligne — liste du " + date + ". Les Ovrels de ce réseau restent configurables.";
    } else if (d.habilitationJusquA) {
        e.statut = "Accès local valable jusqu'au " + dateJourHeure(*d.habilitationJusquA, fuseau);
    }

    e.titre = enteteParc(d.sante);
    const auto visibles = compteursVisibles(d.sante);
    if (!d.sante.connue) {
        e.couleurTitre = GRIS_TITRE_INCONNU;
    } else if (d.sante.attention > 0) {
        e.couleurTitre = teinteSante(visibles.empty() ? CouleurSante::jaune : visibles.front().first);
    } else {
        e.couleurTitre = GRIS_TITRE;
    }
    if (d.sante.connue)
        for (const auto& [couleur, nombre] : visibles)
            e.compteurs.push_back({couleur, std::to_string(nombre) + " " + motSante(couleur),
                                   avecAlpha(teinteSante(couleur), 0.9)});
    return e;
}

Couleur bordurePastille(CouleurSante couleur, bool survol) noexcept {
    return avecAlpha(teinteSante(couleur), survol ? 0.75 : 0.38);
}

std::string texteRemise(std::string_view remise) {
    if (remise == "a_faire") return "à remettre";
    if (remise == "en_attente") return "invitation envoyée";
    if (remise == "faite") return "remis au client";
    return {};
}

std::string detailsLigne(const OvrelParc& o, bool surCeReseau) {
    std::string etat = surCeReseau ? "sur ce réseau" : o.enLigne ? "relié au tunnel" : "hors ligne";
    if (!o.version.empty()) etat += " (v" + o.version + ")";
    return joindre({o.serie, etat, texteRemise(o.remise)}, SEPARATEUR_DETAILS);
}

ListeParcModele modeleListe(const std::vector<OvrelParc>& parc, const std::set<std::string>& depliees,
                            const std::function<std::optional<std::string>(const std::string& serie)>& hoteLocal) {
    ListeParcModele liste;
    liste.lignes.reserve(parc.size());
    for (std::size_t i = 0; i < parc.size(); ++i) {
        const OvrelParc& o = parc[i];
        LigneParcModele l;
        l.id = o.id;
        l.nom = o.nom;
        l.serie = o.serie;
        const auto hote = hoteLocal ? hoteLocal(o.serie) : std::nullopt;
        if (hote) {
            l.ouvrir = {"Configurer", true, "Par le réseau local (" + *hote + ")"};
        } else if (o.enLigne) {
            l.ouvrir = {"Configurer", true, "Par le tunnel sécurisé"};
        } else {
            l.ouvrir = {"Injoignable", false, ""};
        }
        l.deplie = !o.sante.anomalies.empty() && depliees.count(o.id) > 0;
        l.pastille = modelePastille(o.sante, depliees.count(o.id) > 0);
        l.details = detailsLigne(o, hote.has_value());
        l.alphaDetails = l.ouvrir.actif ? 0.62 : 0.38;
        l.resume = o.sante.resume;
        l.suivi = {i, o.sante.vuLe, o.sante.vuIlYaS};
        l.vu = libelleVu(o.sante.vuIlYaS);
        l.couleurVu = couleurVu(!o.sante.vuIlYaS ? EtatVu::jamais : vuPerime(o.sante.vuIlYaS) ? EtatVu::perime : EtatVu::recent);
        for (const AnomalieSante& a : o.sante.anomalies) {
            AnomalieModele m;
            m.couleur = a.couleur;
            m.titre = a.titre;
            m.depuis = a.depuis;
            m.depuisLisible = a.depuisLisible;
            m.consigne = a.consigne();
            if (a.action) {
                m.bouton = a.action->libelle;
                m.infobulleBouton = std::string(a.action->methode == "post" ? INFOBULLE_ACTION_POST : INFOBULLE_ACTION_PAGE);
                m.action = liste.actions.size();
                liste.actions.push_back(*a.action);
            }
            l.anomalies.push_back(std::move(m));
        }
        liste.lignes.push_back(std::move(l));
    }
    return liste;
}

std::string AnomalieModele::quand(std::string_view fuseau) const {
    AnomalieSante a;
    a.depuis = depuis;
    a.depuisLisible = depuisLisible;
    return fuseau.empty() ? a.quand() : a.quand(fuseau);
}

std::optional<std::string> adresseActionAnomalie(std::string_view href) {
    std::string adresse = commencePar(href, "http") ? std::string(href) : BASE_CLOUD() + std::string(href);
    if (!analyserAdresse(adresse)) return std::nullopt;
    return adresse;
}

std::string texteComparable(std::string_view texte) {
    if (!g_utf8_validate(texte.data(), static_cast<gssize>(texte.size()), nullptr)) return std::string(texte);
    TexteG plie(g_utf8_casefold(texte.data(), static_cast<gssize>(texte.size())));
    TexteG decompose(g_utf8_normalize(plie.get(), -1, G_NORMALIZE_NFD));
    if (!decompose) return plie ? std::string(plie.get()) : std::string();
    std::string resultat;
    for (const char* c = decompose.get(); *c != '\0'; c = g_utf8_next_char(c)) {
        const gunichar u = g_utf8_get_char(c);
        if (g_unichar_ismark(u)) continue;
        resultat.append(c, static_cast<std::size_t>(g_utf8_next_char(c) - c));
    }
    return resultat;
}

FiltrePrepare preparerFiltre(const FiltreParc& filtre) {
    return {filtre.couleur, texteComparable(filtre.texte), serieNormalisee(filtre.texte), filtre.vide()};
}

std::string cleRecherche(const LigneParcModele& ligne) {
    return texteComparable(ligne.nom) + "\n" + texteComparable(ligne.serie) + "\n" + serieNormalisee(ligne.serie);
}

bool passeLeFiltre(const LigneParcModele& ligne, std::string_view cle, const FiltrePrepare& filtre) {
    if (filtre.couleur && ligne.pastille.couleur != *filtre.couleur) return false;
    if (filtre.texte.empty()) return true;
    if (cle.find(filtre.texte) != std::string_view::npos) return true;
    return !filtre.serie.empty() && cle.find(filtre.serie) != std::string_view::npos;
}

}  // namespace ovrel
