#include "simulateur/controle.h"

#include "simulateur/echange.h"
#include "simulateur/routes.h"
#include "simulateur/serveurs.h"

#include <cstdio>

namespace ovrel::simulateur {

namespace json = boost::json;

namespace {

using Erreur = std::optional<std::string>;

Erreur lireEntier(const json::value& v, const std::string& cle, std::int64_t min, std::int64_t max, std::int64_t& sortie) {
    const auto* n = v.if_int64();
    if (!n || *n < min || *n > max)
        return "\"" + cle + "\" attend un entier de " + std::to_string(min) + " à " + std::to_string(max);
    sortie = *n;
    return std::nullopt;
}

Erreur lireEntierOuNul(const json::value& v, const std::string& cle, std::int64_t min, std::int64_t max,
                      std::optional<std::int64_t>& sortie) {
    if (v.is_null()) {
        sortie.reset();
        return std::nullopt;
    }
    std::int64_t n = 0;
    if (auto e = lireEntier(v, cle, min, max, n)) return *e + " ou null";
    sortie = n;
    return std::nullopt;
}

Erreur lireStatut(const json::value& v, const std::string& cle, int& sortie) {
    std::int64_t n = 0;
    if (auto e = lireEntier(v, cle, 100, 599, n)) return e;
    sortie = static_cast<int>(n);
    return std::nullopt;
}

Erreur lireStatutOuNul(const json::value& v, const std::string& cle, std::optional<int>& sortie) {
    if (v.is_null()) {
        sortie.reset();
        return std::nullopt;
    }
    int n = 0;
    if (auto e = lireStatut(v, cle, n)) return e;
    sortie = n;
    return std::nullopt;
}

Erreur lireBooleen(const json::value& v, const std::string& cle, bool& sortie) {
    if (!v.is_bool()) return "\"" + cle + "\" attend un booléen";
    sortie = v.get_bool();
    return std::nullopt;
}

Erreur lireTexte(const json::value& v, const std::string& cle, std::string& sortie) {
    if (!v.is_string()) return "\"" + cle + "\" attend un texte";
    sortie = std::string(v.get_string());
    return std::nullopt;
}

Erreur lireTexteOuNul(const json::value& v, const std::string& cle, std::optional<std::string>& sortie) {
    if (v.is_null()) {
        sortie.reset();
        return std::nullopt;
    }
    std::string t;
    if (auto e = lireTexte(v, cle, t)) return e;
    sortie = t;
    return std::nullopt;
}

Erreur lireLenteur(const json::value& v, const std::string& cle, int& sortie) {
    std::int64_t n = 0;
    if (auto e = lireEntier(v, cle, 0, 120000, n)) return e;
    sortie = static_cast<int>(n);
    return std::nullopt;
}

Erreur lirePanneBox(const json::value& v, Panne& sortie) {
    const auto panne = lirePanne(v);
    if (!panne || panne->genre == Panne::Genre::injoignable)
        return std::string("\"decouverte\" : normal, incoherent, coupe ou un statut HTTP");
    sortie = *panne;
    return std::nullopt;
}

// Another address of the boxes' network that this machine holds: the box moves there.
Erreur lireAdresseBox(const Etat& etat, const json::value& v, std::string& sortie) {
    if (!etat.config.reseauBoxes) return std::string("\"adresse\" : seulement sur le réseau des boxes (--reseau-boxes)");
    const auto* t = v.if_string();
    const auto adresse = t ? lireIpv4(*t) : std::nullopt;
    if (!adresse || !etat.config.reseauBoxes->contient(*adresse))
        return "\"adresse\" attend une adresse IPv4 d'hôte du réseau " + etat.config.reseauBoxes->texte();
    const std::string texte = texteIpv4(*adresse);
    if (!adresseDeCetteMachine(texte)) return "\"adresse\" : " + texte + " n'est pas une adresse de cette machine";
    sortie = texte;
    return std::nullopt;
}

// A host name of one or more labels of letters, digits and "-", under ".local".
Erreur lireNomHote(const Etat& etat, const json::value& v, std::string& sortie) {
    if (!etat.config.reseauBoxes) return std::string("\"nom_hote\" : seulement sur le réseau des boxes (--reseau-boxes)");
    const auto* t = v.if_string();
    const std::string nom = t ? minuscules(*t) : "";
    constexpr std::string_view suffixe = ".local";
    bool valide = nom.size() > suffixe.size() && nom.compare(nom.size() - suffixe.size(), suffixe.size(), suffixe) == 0;
    char avant = '.';
    for (std::size_t i = 0; valide && i < nom.size() - suffixe.size(); ++i) {
        const char c = nom[i];
        valide = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c == '-' && avant != '.') || (c == '.' && avant != '.' && avant != '-');
        avant = c;
    }
    if (!valide || avant == '.' || avant == '-') return std::string("\"nom_hote\" attend un nom en .local (« box-durand-2.local »)");
    sortie = nom;
    return std::nullopt;
}

// An anomaly of the given colour, with an action that clears it.
json::object anomalieSimulee(const BoxCloud& box, const std::string& couleur) {
    const std::string cle = "scenario-" + couleur;
    json::object a;
    a["cle"] = cle;
    a["couleur"] = couleur;
    a["titre"] = "Anomalie simulée (" + couleur + ")";
    a["detail"] = "Anomalie posée par le scénario du simulateur.";
    a["age_s"] = 600;
    json::object action;
    action["libelle"] = "Acquitter";
    action["href"] = "/studio/api/sites/" + box.idSite + "/anomalies/" + cle + "/acquitter";
    action["methode"] = "post";
    a["action"] = std::move(action);
    return a;
}

Erreur reglerSante(Etat& etat, const json::value& v) {
    const auto* o = v.if_object();
    if (!o) return std::string("\"sante\" attend un objet {série: couleur ou santé}");
    for (const auto& [serie, reglage] : *o) {
        BoxCloud* box = etat.boxCloudParSerie(serie);
        if (!box) return "\"sante\" : série inconnue " + std::string(serie);
        SanteCloud& s = box->sante;
        if (reglage.is_string()) {
            s = SanteCloud{};
            s.couleur = std::string(reglage.get_string());
            const std::string c = minuscules(s.couleur);
            if (c == "jaune" || c == "orange" || c == "rouge") s.anomalies.push_back(anomalieSimulee(*box, c));
            s.resume = c == "vert" ? "Tout va bien." : "Santé posée par le scénario (" + s.couleur + ").";
            continue;
        }
        if (reglage.is_null()) {
            s = SanteCloud{};
            s.absente = true;
            continue;
        }
        const auto* r = reglage.if_object();
        if (!r) return "\"sante\" de " + std::string(serie) + " : couleur, objet ou null";
        for (const auto& [cle, valeur] : *r) {
            Erreur e;
            if (cle == "couleur") {
                e = lireTexte(valeur, "couleur", s.couleur);
            } else if (cle == "resume") {
                e = lireTexte(valeur, "resume", s.resume);
            } else if (cle == "verbe") {
                e = lireTexteOuNul(valeur, "verbe", s.verbe);
            } else if (cle == "absente") {
                e = lireBooleen(valeur, "absente", s.absente);
            } else if (cle == "anomalies") {
                if (!valeur.is_array()) e = "\"anomalies\" attend un tableau";
                else s.anomalies = valeur.get_array();
            } else {
                e = "\"sante\" : clé inconnue " + std::string(cle);
            }
            if (e) return e;
        }
    }
    return std::nullopt;
}

Erreur reglerComptes(Etat& etat, const json::value& v) {
    const auto* o = v.if_object();
    if (!o) return std::string("\"comptes\" attend un objet {nom: compte ou null}");
    for (const auto& [nom, reglage] : *o) {
        const std::string n(nom);
        if (reglage.is_null()) {
            etat.comptes.erase(n);
            continue;
        }
        const auto* r = reglage.if_object();
        if (!r || n.empty()) return "\"comptes\" : " + n + " attend un objet";
        Compte& c = etat.comptes[n];
        c.nom = n;
        for (const auto& [cle, valeur] : *r) {
            Erreur e;
            if (cle == "studio") e = lireBooleen(valeur, "studio", c.studio);
            else if (cle == "exploitant") e = lireBooleen(valeur, "exploitant", c.exploitant);
            else if (cle == "email") e = lireTexte(valeur, "email", c.email);
            else if (cle == "organisation") e = lireTexte(valeur, "organisation", c.organisation);
            else e = "\"comptes\" : clé inconnue " + std::string(cle);
            if (e) return e;
        }
    }
    return std::nullopt;
}

Erreur reglerBoxes(Etat& etat, const json::value& v) {
    const auto* o = v.if_object();
    if (!o) return std::string("\"boxes\" attend un objet {rôle: réglages}");
    for (const auto& [role, reglage] : *o) {
        BoxLocale* box = etat.boxLocale(role);
        if (!box) return "\"boxes\" : rôle inconnu " + std::string(role);
        const auto* r = reglage.if_object();
        if (!r) return "\"boxes\" : " + std::string(role) + " attend un objet";
        for (const auto& [cle, valeur] : *r) {
            Erreur e;
            if (cle == "nom") e = lireTexte(valeur, "nom", box->nom);
            else if (cle == "version") e = lireTexte(valeur, "version", box->version);
            else if (cle == "serie") e = lireTexte(valeur, "serie", box->serie);
            else if (cle == "empreinte") e = lireTexte(valeur, "empreinte", box->empreinte);
            else if (cle == "enregistree") e = lireBooleen(valeur, "enregistree", box->enregistree);
            else if (cle == "battement") e = lireBooleen(valeur, "battement", box->battement);
            else if (cle == "echec_mise_a_jour") e = lireBooleen(valeur, "echec_mise_a_jour", box->echecMiseAJour);
            else if (cle == "absente") e = lireBooleen(valeur, "absente", box->absente);
            else if (cle == "annonce_ipv6") e = lireBooleen(valeur, "annonce_ipv6", box->annonceIpv6);
            else if (cle == "lenteur_decouverte_ms") e = lireLenteur(valeur, cle, box->lenteurDecouverteMs);
            else if (cle == "decouverte") e = lirePanneBox(valeur, box->decouverte);
            else if (cle == "adresse") e = lireAdresseBox(etat, valeur, box->hote);
            else if (cle == "nom_hote") e = lireNomHote(etat, valeur, box->nomHote);
            else e = "\"boxes\" : clé inconnue " + std::string(cle);
            if (e) return e;
        }
    }
    // Two boxes never share an address or a host name: their announcements would collide.
    for (const auto& a : etat.boxesLocales)
        for (const auto& b : etat.boxesLocales) {
            if (&a == &b || !etat.config.reseauBoxes) continue;
            if (a.hote == b.hote) return "\"boxes\" : " + a.role + " et " + b.role + " auraient la même adresse " + a.hote;
            if (a.nomHote == b.nomHote) return "\"boxes\" : " + a.role + " et " + b.role + " auraient le même nom " + a.nomHote;
        }
    return std::nullopt;
}

Erreur reglerChemins(Scenario& s, const json::value& v) {
    const auto* o = v.if_object();
    if (!o) return std::string("\"chemins\" attend un objet {chemin: panne}");
    std::map<std::string, Panne> chemins;
    for (const auto& [chemin, valeur] : *o) {
        const auto panne = lirePanne(valeur);
        if (!panne || panne->genre == Panne::Genre::injoignable)
            return "\"chemins\" : panne invalide pour " + std::string(chemin);
        if (panne->genre != Panne::Genre::normal) chemins[std::string(chemin)] = *panne;
    }
    s.chemins = std::move(chemins);
    return std::nullopt;
}

Erreur appliquerCle(Etat& etat, const std::string& cle, const json::value& v) {
    Scenario& s = etat.scenario;
    if (cle == "cloud") {
        const auto panne = lirePanne(v);
        if (!panne) return std::string("\"cloud\" : normal, incoherent, coupe, injoignable ou un statut HTTP");
        s.cloud = *panne;
        return std::nullopt;
    }
    if (cle == "chemins") return reglerChemins(s, v);
    if (cle == "lenteur_ms") return lireLenteur(v, cle, s.lenteurMs);
    if (cle == "livret") {
        const auto mode = v.is_string() ? lireModeLivret(v.get_string()) : std::nullopt;
        if (!mode) return std::string("\"livret\" : piece_jointe, pdf_en_ligne, html_500 ou redirection");
        s.livret = *mode;
        return std::nullopt;
    }
    if (cle == "statut_action") return lireStatut(v, cle, s.statutAction);
    if (cle == "statut_fabrication") return lireStatutOuNul(v, cle, s.statutFabrication);
    if (cle == "fabrication_sans_nom") return lireBooleen(v, cle, s.fabricationSansNom);
    if (cle == "statut_injection") return lireStatutOuNul(v, cle, s.statutInjection);
    if (cle == "statut_maj") return lireStatut(v, cle, s.statutMaj);
    if (cle == "maj") {
        const auto* o = v.if_object();
        if (!o) return std::string("\"maj\" attend {\"version\", \"url\"}");
        for (const auto& [k, valeur] : *o) {
            Erreur e;
            if (k == "version") e = lireTexte(valeur, "version", s.majVersion);
            else if (k == "url") e = lireTexte(valeur, "url", s.majUrl);
            else e = "\"maj\" : clé inconnue " + std::string(k);
            if (e) return e;
        }
        return std::nullopt;
    }
    if (cle == "maj_brut") return lireTexteOuNul(v, cle, s.majBrut);
    if (cle == "sante_parc") return lireBooleen(v, cle, s.santeParc);
    if (cle == "parc_brut") return lireTexteOuNul(v, cle, s.parcBrut);
    if (cle == "connexion_auto") {
        if (auto e = lireTexteOuNul(v, cle, s.connexionAuto)) return e;
        if (s.connexionAuto && !etat.comptes.count(*s.connexionAuto))
            return "\"connexion_auto\" : compte inconnu " + *s.connexionAuto;
        return std::nullopt;
    }
    if (cle == "parc_ouvre") return lireTexteOuNul(v, cle, s.parcOuvre);
    // Up to the last second of year 9999, the last a fleet date can write.
    if (cle == "horloge_parc") return lireEntierOuNul(v, cle, 0, 253402300799LL, s.horlogeParc);
    if (cle == "parc_genere") {
        std::optional<std::int64_t> n;
        if (auto e = lireEntierOuNul(v, cle, 0, PARC_GENERE_MAX, n)) return e;
        etat.genererParc(static_cast<int>(n.value_or(0)));
        return std::nullopt;
    }
    if (cle == "serie_changeante") {
        s.serieVariante = false;
        return lireTexteOuNul(v, cle, s.serieChangeante);
    }
    if (cle == "duree_jeton_local_s") return lireEntier(v, cle, -86400LL * 365, 86400LL * 3650, s.dureeJetonLocalS);
    if (cle == "duree_session_s") return lireEntier(v, cle, 1, 86400LL * 3650, s.dureeSessionS);
    if (cle == "duree_jeton_tunnel_s") return lireEntier(v, cle, 1, 86400LL * 365, s.dureeJetonTunnelS);
    if (cle == "jetons_locaux_refuses") return lireBooleen(v, cle, s.jetonsLocauxRefuses);
    if (cle == "sante") return reglerSante(etat, v);
    if (cle == "comptes") return reglerComptes(etat, v);
    if (cle == "boxes") return reglerBoxes(etat, v);
    return "clé inconnue : " + cle;
}

Reponse reponseJson(int statut, const json::value& v) { return Reponse::json(statut, json::serialize(v)); }

Reponse erreur(int statut, const std::string& message) {
    json::object o;
    o["erreur"] = message;
    return reponseJson(statut, o);
}

}  // namespace

std::optional<std::string> appliquerReglages(Etat& etat, const json::value& reglages) {
    const auto* o = reglages.if_object();
    if (!o) return std::string("les réglages forment un objet JSON");
    Etat copie = etat;
    for (const auto& [cle, valeur] : *o)
        if (auto e = appliquerCle(copie, std::string(cle), valeur)) return e;
    // Checked once every key is applied: the box may belong to a fleet generated by the same call.
    const auto& serie = copie.scenario.serieChangeante;
    if (o->contains("serie_changeante") && serie && !copie.serieDuParc(*serie))
        return "\"serie_changeante\" : aucun Ovrel du parc n'a l'identifiant ou la série " + *serie;
    etat = std::move(copie);
    return std::nullopt;
}

json::object scenarioEnJson(const Etat& etat) {
    const Scenario& s = etat.scenario;
    json::object o;
    o["cloud"] = panneEnJson(s.cloud);
    json::object chemins;
    for (const auto& [c, p] : s.chemins) chemins[c] = panneEnJson(p);
    o["chemins"] = std::move(chemins);
    o["lenteur_ms"] = s.lenteurMs;
    o["livret"] = nomModeLivret(s.livret);
    o["statut_action"] = s.statutAction;
    o["statut_fabrication"] = s.statutFabrication ? json::value(*s.statutFabrication) : json::value(nullptr);
    o["fabrication_sans_nom"] = s.fabricationSansNom;
    o["statut_injection"] = s.statutInjection ? json::value(*s.statutInjection) : json::value(nullptr);
    o["statut_maj"] = s.statutMaj;
    json::object maj;
    maj["version"] = s.majVersion;
    maj["url"] = s.majUrl;
    o["maj"] = std::move(maj);
    o["maj_brut"] = s.majBrut ? json::value(*s.majBrut) : json::value(nullptr);
    o["sante_parc"] = s.santeParc;
    o["parc_brut"] = s.parcBrut ? json::value(*s.parcBrut) : json::value(nullptr);
    o["connexion_auto"] = s.connexionAuto ? json::value(*s.connexionAuto) : json::value(nullptr);
    o["parc_ouvre"] = s.parcOuvre ? json::value(*s.parcOuvre) : json::value(nullptr);
    o["horloge_parc"] = s.horlogeParc ? json::value(*s.horlogeParc) : json::value(nullptr);
    o["parc_genere"] = etat.tailleParcGenere();
    o["serie_changeante"] = s.serieChangeante ? json::value(*s.serieChangeante) : json::value(nullptr);
    o["duree_jeton_local_s"] = s.dureeJetonLocalS;
    o["duree_session_s"] = s.dureeSessionS;
    o["duree_jeton_tunnel_s"] = s.dureeJetonTunnelS;
    o["jetons_locaux_refuses"] = s.jetonsLocauxRefuses;
    json::object comptes;
    for (const auto& [nom, c] : etat.comptes) {
        json::object k;
        k["studio"] = c.studio;
        k["exploitant"] = c.exploitant;
        k["email"] = c.email;
        k["organisation"] = c.organisation;
        comptes[nom] = std::move(k);
    }
    o["comptes"] = std::move(comptes);
    json::array parc;
    for (const auto& b : etat.boxesCloud) {
        json::object k;
        k["id"] = b.idSite;
        k["id_registre"] = b.idRegistre;
        k["nom"] = b.nom;
        k["serie"] = b.serie;
        k["statut"] = b.statut;
        k["en_ligne"] = b.enLigne;
        k["dans_parc"] = b.dansParc;
        k["couleur"] = b.sante.absente ? json::value(nullptr) : json::value(b.sante.couleur);
        k["code"] = b.code;
        parc.push_back(std::move(k));
    }
    o["cloud_boxes"] = std::move(parc);
    return o;
}

json::array boxesEnJson(const Etat& etat) {
    json::array r;
    for (const auto& b : etat.boxesLocales) {
        json::object o;
        o["role"] = b.role;
        o["genre"] = b.genre == GenreBox::ovrel       ? "ovrel"
                     : b.genre == GenreBox::etrangere ? "etrangere"
                     : b.genre == GenreBox::muette    ? "muette"
                                                      : "ancienne";
        o["service"] = b.nomService;
        o["annoncee"] = b.annoncee();
        o["hote"] = b.hote;
        o["port"] = b.port;
        o["adresse"] = b.hote + ":" + std::to_string(b.port);
        o["nom_hote"] = b.nomHote;
        o["absente"] = b.absente;
        o["annonce_ipv6"] = b.annonceIpv6;
        o["lenteur_decouverte_ms"] = b.lenteurDecouverteMs;
        o["decouverte"] = panneEnJson(b.decouverte);
        o["nom"] = b.nom;
        o["version"] = b.version;
        o["serie"] = b.serie;
        o["empreinte"] = b.empreinte;
        o["enregistree"] = b.enregistree;
        o["api"] = b.api;
        r.push_back(std::move(o));
    }
    return r;
}

ServeurControle::ServeurControle(Etat& etat, Journal& journal, std::string certificatPem, std::string autoritePem,
                                 std::function<void()> apresChangement)
    : etat_(etat), journal_(journal), certificatPem_(std::move(certificatPem)), autoritePem_(std::move(autoritePem)),
      apresChangement_(std::move(apresChangement)) {
    serveur_ = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, "server-header", "ovrel-simulateur-controle", nullptr));
    soup_server_add_handler(serveur_, nullptr, &ServeurControle::surRequete, this, nullptr);
}

ServeurControle::~ServeurControle() {
    soup_server_disconnect(serveur_);
    g_object_unref(serveur_);
}

bool ServeurControle::ecouter(int port, std::string& erreur) {
    GSocketAddress* adresse = g_inet_socket_address_new_from_string("127.0.0.1", static_cast<guint>(port));
    GError* e = nullptr;
    const bool ok = soup_server_listen(serveur_, adresse, SoupServerListenOptions(0), &e);
    g_object_unref(adresse);
    if (!ok) {
        erreur = "contrôle : " + std::string(e ? e->message : "?");
        g_clear_error(&e);
        return false;
    }
    GSList* uris = soup_server_get_uris(serveur_);
    if (uris) port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    return true;
}

void ServeurControle::surRequete(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer donnees) {
    auto* moi = static_cast<ServeurControle*>(donnees);
    const Requete r = lireRequete(message);
    Etat& etat = moi->etat_;
    Reponse rep = erreur(404, "inconnu : " + r.methode + " " + r.chemin);
    bool change = false;

    if (r.chemin == "/etat" && r.methode == "GET") {
        json::object o;
        o["scenario"] = scenarioEnJson(etat);
        json::object ports;
        ports["cloud"] = moi->portCloud_;
        ports["tls"] = moi->portTls_;
        if (moi->portHttps_) ports["https"] = moi->portHttps_;
        ports["controle"] = moi->port_;
        o["ports"] = std::move(ports);
        o["domaine"] = etat.config.domaine;
        o["studio"] = etat.urlStudio();
        o["boxes"] = boxesEnJson(etat);
        rep = reponseJson(200, o);
    } else if (r.chemin == "/scenario" && r.methode == "POST") {
        boost::system::error_code e;
        const json::value v = json::parse(r.corps, e);
        if (e) {
            rep = erreur(400, "corps JSON illisible");
        } else if (auto refus = appliquerReglages(etat, v)) {
            rep = erreur(400, *refus);
        } else {
            change = true;
            json::object o;
            o["scenario"] = scenarioEnJson(etat);
            rep = reponseJson(200, o);
        }
    } else if (r.chemin == "/reinitialiser" && r.methode == "POST") {
        etat.reinitialiser();
        moi->journal_.vider();
        change = true;
        rep = reponseJson(200, json::object{{"ok", true}});
    } else if (r.chemin == "/journal" && r.methode == "GET") {
        std::uint64_t depuis = 0;
        if (const auto d = r.parametre("depuis")) depuis = std::strtoull(d->c_str(), nullptr, 10);
        rep = reponseJson(200, moi->journal_.enJson(depuis));
    } else if (r.chemin == "/journal" && r.methode == "DELETE") {
        moi->journal_.vider();
        rep = reponseJson(200, json::object{{"ok", true}});
    } else if (r.chemin == "/boxes" && r.methode == "GET") {
        rep = reponseJson(200, boxesEnJson(etat));
    } else if (r.chemin == "/connexion" && r.methode == "POST") {
        boost::system::error_code e;
        const json::value v = json::parse(r.corps, e);
        const auto* o = e ? nullptr : v.if_object();
        const auto* compte = o ? o->if_contains("compte") : nullptr;
        if (!compte || !compte->is_string() || !etat.comptes.count(std::string(compte->get_string()))) {
            rep = erreur(400, "{\"compte\": nom d'un compte connu} attendu");
        } else {
            const std::string nom(compte->get_string());
            json::object reponse;
            reponse["cookie"] = std::string(COOKIE_SESSION) + "=" + etat.ouvrirSession(nom);
            reponse["jeton_connexion"] = etat.emettreJetonConnexion(nom);
            rep = reponseJson(200, reponse);
        }
    } else if (r.chemin == "/deconnecter" && r.methode == "POST") {
        etat.fermerToutesLesSessions();
        rep = reponseJson(200, json::object{{"ok", true}});
    } else if (r.chemin == "/certificat" && r.methode == "GET") {
        rep = Reponse::texte(200, moi->certificatPem_);
        rep.type = "application/x-pem-file";
    } else if (r.chemin == "/autorite" && r.methode == "GET" && !moi->autoritePem_.empty()) {
        rep = Reponse::texte(200, moi->autoritePem_);
        rep.type = "application/x-pem-file";
    }
    envoyer(message, rep);
    std::printf("CTL %s %s %d\n", r.methode.c_str(), r.chemin.c_str(), rep.statut);
    std::fflush(stdout);
    if (change && moi->apresChangement_) moi->apresChangement_();
}

}  // namespace ovrel::simulateur
