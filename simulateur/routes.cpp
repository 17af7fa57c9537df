#include "simulateur/routes.h"

#include "simulateur/livret.h"
#include "simulateur/pages.h"

#include <algorithm>
#include <ctime>

namespace ovrel::simulateur {

namespace json = boost::json;

namespace {

bool commencePar(std::string_view texte, std::string_view debut) {
    return texte.size() >= debut.size() && texte.compare(0, debut.size(), debut) == 0;
}
bool finitPar(std::string_view texte, std::string_view fin) {
    return texte.size() >= fin.size() && texte.compare(texte.size() - fin.size(), fin.size(), fin) == 0;
}

// Segments of a path, empty ones dropped.
std::vector<std::string> segments(std::string_view chemin) {
    std::vector<std::string> r;
    while (!chemin.empty()) {
        const auto barre = chemin.find('/');
        const std::string_view s = chemin.substr(0, barre);
        if (!s.empty()) r.emplace_back(s);
        if (barre == std::string_view::npos) break;
        chemin.remove_prefix(barre + 1);
    }
    return r;
}

Reponse erreurJson(int statut, std::string_view message) {
    json::object o;
    o["erreur"] = message;
    return Reponse::json(statut, json::serialize(o));
}

Reponse pageErreur(int statut, const std::string& titre, const std::string& texte, const std::string& lien = "",
                   const std::string& libelle = "") {
    return Reponse::html(statut, pageMessage(titre, texte, lien, libelle));
}

std::string dateHttp(std::int64_t secondes1970) {
    const std::time_t s = static_cast<std::time_t>(secondes1970);
    std::tm tm{};
    gmtime_r(&s, &tm);
    char tampon[64];
    std::strftime(tampon, sizeof tampon, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return tampon;
}

std::int64_t maintenantS() { return secondesDepuis1970(std::chrono::system_clock::now()); }

// The port part of the Host header (":47080"), empty when the client used its scheme's default.
std::string suffixePort(const Requete& r) {
    const std::string& h = r.hoteComplet;
    const auto deuxPoints = h.rfind(':');
    const auto crochet = h.rfind(']');
    if (deuxPoints == std::string::npos || (crochet != std::string::npos && deuxPoints < crochet)) return "";
    return h.substr(deuxPoints);
}

// The cloud serves the same hosts on its plain port and over HTTPS: the addresses an answer
// names keep the scheme and port the request came by, so that a client on HTTPS stays there
// (its Secure cookie would not follow it to the plain port).
std::string origine(const Requete& r, std::string_view hote) {
    return std::string(r.https ? "https://" : "http://") + std::string(hote) + suffixePort(r);
}

// A site outside the domain, on the port the request came by.
std::string origineEtrangere(const Requete& r) { return origine(r, "127.0.0.1"); }

// Over HTTPS the login is Secure, as the real cloud's: it is then never sent in clear.
std::string cookieSession(const std::string& valeur, std::int64_t dureeS, bool securise) {
    return std::string(COOKIE_SESSION) + "=" + valeur + "; Path=/; Max-Age=" + std::to_string(dureeS) +
           "; Expires=" + dateHttp(maintenantS() + dureeS) + "; HttpOnly; SameSite=Lax" + (securise ? "; Secure" : "");
}

std::string cookieEfface() {
    return std::string(COOKIE_SESSION) + "=; Path=/; Max-Age=0; Expires=Thu, 01 Jan 1970 00:00:00 GMT";
}

std::string retourApplication(const std::string& etat, const std::string& jeton) {
    return "ovrelstudio://session?etat=" + encoderRequete(etat) + "&jeton=" + jeton;
}

std::string listeComptes(const Etat& etat, const std::string& prefixe, const std::string& suffixe) {
    std::string r;
    for (const auto& [nom, c] : etat.comptes) {
        std::string roles;
        if (c.studio) roles = "installateur";
        if (c.exploitant) roles += roles.empty() ? "concepteur" : " et concepteur";
        if (roles.empty()) roles = "aucun rôle";
        r += "<li><a class=\"compte\" data-compte=\"" + echapperHtml(nom) + "\" href=\"" +
             echapperHtml(prefixe + encoderRequete(nom) + suffixe) + "\">" + echapperHtml(nom) + "</a> <span class=\"muet\">" +
             echapperHtml(c.email) + " — " + echapperHtml(roles) + "</span></li>\n";
    }
    return r;
}

const Compte* compteDe(const Etat& etat, const Requete& r) {
    return etat.compteDeSession(r.cookie(std::string(COOKIE_SESSION)));
}

// The sign-in host's authorization page, which comes back to the studio.
std::string urlConnexionWeb(const Etat& etat, const Requete& r) {
    return origine(r, etat.hoteConnexion()) +
           "/realms/ovrel/protocol/openid-connect/auth?client_id=studio&response_type=code&redirect_uri=" +
           encoderRequete(origine(r, etat.hoteStudio()) + "/studio");
}

Reponse versConnexion(const Etat& etat, const Requete& r) { return Reponse::redirection(urlConnexionWeb(etat, r)); }

Reponse fichierJoint(std::string type, std::string nom, std::string corps) {
    Reponse r;
    r.type = std::move(type);
    r.corps = std::move(corps);
    r.entete("Content-Disposition", "attachment; filename=\"" + nom + "\"");
    return r;
}

std::string sauvegardeBox(std::string_view serie) {
    return "OVRELBK1\nserie=" + std::string(serie) + "\ncontenu=configuration et scenes\n";
}

// A box of the cloud by its site's id or its serial, else one of the generated fleet, which
// `genere` then holds (a copy: the generated fleet does not change).
BoxCloud* boxDuCloud(Etat& etat, std::string_view idOuSerie, bool parSerie, std::optional<BoxCloud>& genere) {
    if (BoxCloud* b = parSerie ? etat.boxCloudParSerie(idOuSerie) : etat.boxCloudParSite(idOuSerie)) return b;
    genere = etat.boxGeneree(idOuSerie);
    return genere ? &*genere : nullptr;
}

bool aLAnomalie(const BoxCloud& box, std::string_view cle) {
    return std::any_of(box.sante.anomalies.begin(), box.sante.anomalies.end(), [&](const json::value& a) {
        const auto* o = a.if_object();
        const auto* c = o ? o->if_contains("cle") : nullptr;
        return c && c->is_string() && c->get_string() == cle;
    });
}

// --- The studio host ---

Reponse actionAnomalie(Etat& etat, const Requete& r, const std::vector<std::string>& s) {
    // /studio/api/sites/<id>/anomalies/<cle>/<geste>
    if (r.methode != "POST") return erreurJson(405, "méthode non permise");
    if (!compteDe(etat, r)) return erreurJson(401, "non connecté");
    if (s.size() != 7 || s[4] != "anomalies") return erreurJson(404, "action inconnue");
    std::optional<BoxCloud> genere;
    if (!boxDuCloud(etat, s[3], false, genere)) return erreurJson(404, "site inconnu");
    const int statut = etat.scenario.statutAction;
    // A generated box's action is answered but resolves nothing: that fleet stays as generated.
    if (statut >= 200 && statut < 300 && !(genere ? aLAnomalie(*genere, s[5]) : etat.resoudreAnomalie(s[3], s[5])))
        return erreurJson(404, "anomalie inconnue");
    if (statut == 204) return Reponse::texte(204, "");
    if (statut >= 200 && statut < 400) {
        json::object o;
        o["ok"] = true;
        o["geste"] = s[6];
        return Reponse::json(statut, json::serialize(o));
    }
    return erreurJson(statut, "la demande n'a pas pu être traitée");
}

Reponse pageParc(Etat& etat, const Compte& c) {
    std::string lignes;
    if (!c.studio) lignes = "<p class=\"muet\">Ce compte n'a pas de Studio installateur : pas de parc à montrer.</p>";
    for (const auto& b : etat.boxesCloud) {
        if (!b.dansParc || !c.studio) continue;
        const std::string couleur = b.sante.absente ? "gris" : minuscules(b.sante.couleur);
        lignes += "<div class=\"ligne ovrel\" data-id=\"" + echapperHtml(b.idSite) + "\" data-serie=\"" + echapperHtml(b.serie) +
                  "\"><span class=\"pastille " + echapperHtml(couleur) + "\"></span><strong>" + echapperHtml(b.nom) +
                  "</strong><span class=\"muet\">" + echapperHtml(b.serie) + (b.enLigne ? " · en ligne" : " · hors ligne") +
                  "</span><a class=\"configurer\" href=\"/studio/site/" + echapperHtml(b.idSite) + "/configurer?serie=" +
                  echapperHtml(encoderRequete(b.serie)) + "\">Configurer</a><a class=\"ouvrir\" href=\"ovrelstudio://ouvrir?serie=" +
                  echapperHtml(encoderRequete(b.serie)) + "\">Ouvrir sur ce réseau</a></div>\n";
    }
    Valeurs v;
    v["tete"] = remplir(modelesEmbarques().at("parc_tete.html"), {});
    // The scenario plays the user's click on one box's "Configurer", once.
    if (const auto serie = std::exchange(etat.scenario.parcOuvre, std::nullopt)) {
        const BoxCloud* box = etat.boxCloudParSerie(*serie);
        if (box)
            v["tete"] += "<script>addEventListener(\"load\", function () { location.href = " +
                         json::serialize(json::value("/studio/site/" + box->idSite + "/configurer?serie=" +
                                                     encoderRequete(box->serie))) +
                         "; });</script>";
    }
    v["organisation"] = c.organisation;
    v["email"] = c.email;
    v["lignes"] = lignes;
    v["lien_admin"] = c.exploitant ? "<a href=\"/admin\">Console concepteur</a> ·" : "";
    return Reponse::html(200, page("parc.html", "Mes Ovrels", v));
}

Reponse connexionApp(Etat& etat, const Requete& r) {
    const auto e = r.parametre("etat");
    if (!e || e->empty())
        return pageErreur(400, "Connexion impossible", "La demande de connexion ne porte pas d'état.");
    if (etat.scenario.connexionAuto) {
        const std::string jeton = etat.emettreJetonConnexion(*etat.scenario.connexionAuto);
        return Reponse::redirection(retourApplication(*e, jeton));
    }
    Valeurs v;
    v["comptes"] = listeComptes(etat, "/studio/app/connexion/choisir?etat=" + encoderRequete(*e) + "&compte=", "");
    return Reponse::html(200, page("connexion.html", "Connexion", v));
}

Reponse choixCompte(Etat& etat, const Requete& r) {
    const auto e = r.parametre("etat");
    const auto compte = r.parametre("compte");
    if (!e || e->empty() || !compte || !etat.comptes.count(*compte))
        return pageErreur(400, "Connexion impossible", "Compte ou état de connexion inconnu.");
    return Reponse::redirection(retourApplication(*e, etat.emettreJetonConnexion(*compte)));
}

Reponse sessionApp(Etat& etat, const Requete& r) {
    const auto jeton = r.parametre("jeton");
    const auto compte = jeton ? etat.consommerJetonConnexion(*jeton) : std::nullopt;
    if (!compte)
        return pageErreur(401, "Lien de connexion expiré", "Ce lien de connexion n'est plus valable. Reconnectez-vous.",
                          "/connexion", "Se reconnecter");
    const std::string valeur = etat.ouvrirSession(*compte);
    return Reponse::redirection("/studio").entete("Set-Cookie", cookieSession(valeur, etat.scenario.dureeSessionS, r.https));
}

Reponse deconnexion(Etat& etat, const Requete& r) {
    if (const auto v = r.cookie(std::string(COOKIE_SESSION))) etat.fermerSession(*v);
    Reponse rep = r.parametre("app") == std::optional<std::string>("studio")
                      ? Reponse::redirection("ovrelstudio://deconnexion")
                      : pageErreur(200, "Vous êtes déconnecté", "Votre session Ovrel est fermée.", "/studio", "Revenir");
    return rep.entete("Set-Cookie", cookieEfface());
}

Reponse siteStudio(Etat& etat, const Requete& r, const std::vector<std::string>& s) {
    // /studio/site/<id>/configurer | /studio/site/<id>/reparer
    if (s.size() != 4) return pageErreur(404, "Page introuvable", "Cette page du studio n'existe pas.");
    const Compte* c = compteDe(etat, r);
    std::optional<BoxCloud> genere;
    const BoxCloud* box = boxDuCloud(etat, s[2], false, genere);
    if (s[3] == "configurer") {
        if (!c || !c->studio)
            return pageErreur(c ? 403 : 401, "Session Ovrel expirée", "Reconnectez-vous pour configurer cet Ovrel.",
                              "/connexion", "Se connecter");
        if (!box) return pageErreur(404, "Site inconnu", "Aucun Ovrel n'est rattaché à ce site.");
        if (!box->enLigne)
            return pageErreur(409, "Ovrel hors ligne", "« " + box->nom + " » n'est pas relié au tunnel sécurisé.");
        const JetonEmis j = etat.emettreJetonTunnel(box->serie);
        return Reponse::redirection("https://" + etat.hoteTunnel(box->serie) + ":" + std::to_string(etat.config.portTls) +
                                    "/studio/session?jeton=" + j.jeton);
    }
    if (s[3] == "reparer") {
        if (!c) return versConnexion(etat, r);
        if (!box) return pageErreur(404, "Site inconnu", "Aucun Ovrel n'est rattaché à ce site.");
        const std::string cle = r.parametre("cle").value_or("");
        std::string titre = cle;
        for (const auto& a : box->sante.anomalies) {
            const auto* o = a.if_object();
            const auto* k = o ? o->if_contains("cle") : nullptr;
            const auto* t = o ? o->if_contains("titre") : nullptr;
            if (k && k->is_string() && k->get_string() == cle && t && t->is_string()) titre = std::string(t->get_string());
        }
        Valeurs v{{"titre_anomalie", titre}, {"nom", box->nom}, {"serie", box->serie}, {"cle", cle}};
        return Reponse::html(200, page("reparer.html", "Réparer", v));
    }
    return pageErreur(404, "Page introuvable", "Cette page du studio n'existe pas.");
}

// The designer pages need a designer login; a lost login leads to the sign-in host, as the real
// console does.
std::optional<Reponse> refusConcepteur(const Etat& etat, const Requete& r, const Compte* c) {
    if (!c) return versConnexion(etat, r);
    if (!c->exploitant)
        return pageErreur(403, "Accès refusé", "Ce compte n'a pas la console concepteur.", "/studio", "Mes Ovrels");
    return std::nullopt;
}

Reponse livret(Etat& etat, const Requete& r, BoxCloud& box) {
    if (r.methode != "POST") return pageErreur(405, "Livret", "Le livret se demande depuis la fiche d'étiquette.");
    if (!compteDe(etat, r)) return versConnexion(etat, r);
    const auto code = r.formulaire.count("code") ? std::optional<std::string>(r.formulaire.at("code")) : std::nullopt;
    if (box.code.empty() || code != box.code)
        return pageErreur(403, "Livret impossible", "Ce code d'étiquette n'est plus valable.");
    const std::string nomFichier = "livret-" + box.serie + ".pdf";
    switch (etat.scenario.livret) {
        case ModeLivret::pieceJointe:
            return fichierJoint("application/pdf", nomFichier, livretPdf(box.nom, box.serie, box.code));
        case ModeLivret::pdfEnLigne: {
            Reponse rep;
            rep.type = "application/pdf";
            rep.corps = livretPdf(box.nom, box.serie, box.code);
            rep.entete("Content-Disposition", "inline; filename=\"" + nomFichier + "\"");
            return rep;
        }
        case ModeLivret::html500:
            return pageErreur(500, "Erreur du serveur", "Le livret n'a pas pu être préparé.");
        case ModeLivret::redirection:
            return Reponse::redirection("/admin", 303);
    }
    return pageErreur(500, "Erreur du serveur", "Mode de livret inconnu.");
}

Reponse pagesAdmin(Etat& etat, const Requete& r, const std::vector<std::string>& s) {
    const Compte* c = compteDe(etat, r);
    if (s.size() == 1) {
        if (auto refus = refusConcepteur(etat, r, c)) return *refus;
        std::string lignes;
        for (const auto& b : etat.boxesCloud)
            lignes += "<tr class=\"fiche\"><td>" + echapperHtml(b.serie) + "</td><td>" + echapperHtml(b.nom) + "</td><td>" +
                      echapperHtml(b.statut) + "</td><td><a href=\"/admin/box/" + echapperHtml(b.idRegistre) +
                      "\">Fiche console</a></td></tr>\n";
        Valeurs v{{"organisation", c->organisation}, {"email", c->email}, {"lignes", lignes}};
        return Reponse::html(200, page("admin.html", "Console concepteur", v));
    }
    if (s[1] == "api" && s.size() == 3 && s[2] == "parc") {
        if (!c) return erreurJson(401, "non connecté");
        if (!c->exploitant) return erreurJson(403, "rôle concepteur requis");
        return Reponse::json(200, etat.documentRegistre());
    }
    if (s[1] == "api" && s.size() == 3 && s[2] == "fabriquer") {
        if (r.methode != "POST") return erreurJson(405, "méthode non permise");
        if (!c) return erreurJson(401, "non connecté");
        if (!c->exploitant) return erreurJson(403, "rôle concepteur requis");
        boost::system::error_code erreur;
        const json::value v = json::parse(r.corps, erreur);
        const auto* o = erreur ? nullptr : v.if_object();
        const auto* e = o ? o->if_contains("empreinte") : nullptr;
        if (!e || !e->is_string() || e->get_string().empty()) return erreurJson(400, "empreinte manquante");
        const int statut = etat.scenario.statutFabrication.value_or(200);
        if (statut < 200 || statut >= 300) return erreurJson(statut, "l'identité n'a pas pu être créée");
        return Reponse::json(statut, etat.fabriquer(std::string(e->get_string())));
    }
    if (s[1] == "etiquette" && (s.size() == 3 || (s.size() == 4 && s[3] == "livret"))) {
        if (auto refus = refusConcepteur(etat, r, c); refus && s.size() == 3) return *refus;
        // A label sheet belongs to the site the box was built for.
        BoxCloud* box = etat.boxCloudParSite(s[2]);
        if (!box) return pageErreur(404, "Fiche introuvable", "Aucun Ovrel n'a ce site.");
        if (s.size() == 4) return livret(etat, r, *box);
        const auto code = r.parametre("code");
        if (box->code.empty() || code != box->code)
            return pageErreur(404, "Fiche introuvable", "Ce code d'étiquette n'est plus valable.");
        Valeurs v{{"nom", box->nom}, {"serie", box->serie}, {"code", box->code}, {"site", box->idSite}};
        return Reponse::html(200, page("etiquette.html", "Fiche d'étiquette — " + box->serie, v));
    }
    if (s[1] == "box" && (s.size() == 3 || (s.size() == 4 && s[3] == "nouveau-code"))) {
        if (auto refus = refusConcepteur(etat, r, c)) return *refus;
        // The console's page of a box is the registry's: it knows the box, not its site.
        BoxCloud* box = etat.boxCloudParRegistre(s[2]);
        if (!box) return pageErreur(404, "Fiche introuvable", "Aucun Ovrel n'a cet identifiant.");
        if (s.size() == 4) {
            if (r.methode != "POST") return pageErreur(405, "Nouvelle étiquette", "Utilisez le bouton de la fiche console.");
            const auto code = etat.nouveauCodeEtiquette(*box);
            if (!code)
                return pageErreur(409, "Pas de nouvelle étiquette",
                                  "Cet Ovrel est chez son client : son étiquette ne peut plus être refaite.");
            return Reponse::redirection("/admin/etiquette/" + box->idSite + "?code=" + *code, 303);
        }
        const bool refaisable = box->statut == "en_stock" || box->statut == "reinitialise";
        const std::string formulaire =
            refaisable ? "<form id=\"nouveau-code\" method=\"post\" action=\"/admin/box/" + echapperHtml(box->idRegistre) +
                             "/nouveau-code\"><button type=\"submit\">Nouvelle étiquette (nouveau code)</button></form>"
                       : "<p class=\"muet\" id=\"pas-de-code\">Cet Ovrel a été remis à son client : pas de nouvelle étiquette.</p>";
        Valeurs v{{"nom", box->nom}, {"serie", box->serie}, {"statut", box->statut}, {"version", box->version},
                  {"formulaire", formulaire}};
        return Reponse::html(200, page("console_box.html", "Fiche console — " + box->nom, v));
    }
    return pageErreur(404, "Page introuvable", "Cette page de la console n'existe pas.");
}

// --- Test pages: each one lets a test make the web view meet one of its rules ---

// The files the test pages link to, served alike by the studio and by the foreign site: the
// name's extension chooses the type and whether it comes as an attachment.
std::optional<Reponse> fichierDEssai(const std::string& nom) {
    Reponse r;
    if (finitPar(nom, ".ovrelbk")) return fichierJoint("application/octet-stream", nom, sauvegardeBox("OV24A0001"));
    if (finitPar(nom, ".pdf")) {
        r.type = "application/pdf";
        r.corps = livretPdf("Guide d'installation", "-", "OVREL");
        return r;
    }
    if (finitPar(nom, ".zip")) {
        r.type = "application/zip";
        r.corps = std::string("PK\x05\x06", 4) + std::string(18, '\0');
        return r;
    }
    if (finitPar(nom, ".dmg") || finitPar(nom, ".exe") || finitPar(nom, ".pkg")) {
        r.type = "application/octet-stream";
        r.corps = "installateur simulé\n";
        return r;
    }
    if (nom == "rapport") return fichierJoint("text/plain; charset=utf-8", "rapport.txt", "Rapport du parc\n");
    // A type the engine shows, sent as an attachment all the same.
    if (finitPar(nom, ".html"))
        return fichierJoint("text/html; charset=utf-8", nom,
                            pageMessage("Page jointe", "Cette page est envoyée en pièce jointe."));
    return std::nullopt;
}

// The script every test page carries: what it tried goes on the page, in its title and, as a
// request to `rapport` on the page's own origin, into the journal.
std::string teteDEssai(const std::string& nomPage, const std::string& rapport) {
    return remplir(modelesEmbarques().at("essai_tete.html"), {{"page", nomPage}, {"rapport", rapport}});
}

Reponse pageDEssai(const std::string& modele, const std::string& titre, const std::string& nomPage, Valeurs v,
                   const std::string& rapport = "/studio/demo/rapport") {
    v["tete"] = teteDEssai(nomPage, rapport);
    return Reponse::html(200, page(modele, titre, v));
}

// The studio redirects a site's configuration asked by serial number to its configuration page.
Reponse configurerParSerie(Etat& etat, const Requete& r) {
    const std::string serie = r.parametre("serie").value_or("");
    std::optional<BoxCloud> genere;
    const BoxCloud* box = boxDuCloud(etat, serie, true, genere);
    if (!box) return pageErreur(404, "Ovrel inconnu", "Aucun Ovrel n'a ce numéro de série.");
    return Reponse::redirection("/studio/site/" + box->idSite + "/configurer?serie=" + encoderRequete(box->serie));
}

Reponse pagesDemo(Etat& etat, const Requete& r, const std::vector<std::string>& s) {
    const std::string etranger = origineEtrangere(r);
    const std::string siteWeb = origine(r, etat.hoteSiteWeb());
    const BoxCloud* durand = etat.boxCloudParSerie("OV24A0001");
    const std::string serie = durand ? durand->serie : "OV24A0001";
    const std::string configurer =
        "/studio/site/" + (durand ? durand->idSite : std::string("inconnu")) + "/configurer?serie=" + encoderRequete(serie);
    const std::string configurerRedirige = "/studio/configurer?serie=" + encoderRequete(serie);
    const std::string autorisation = urlConnexionWeb(etat, r);
    const std::string nom = s.size() >= 3 ? s[2] : "";

    if (s.size() == 2) return Reponse::html(200, page("demo.html", "Pages d'essai", {}));
    if (s.size() == 3 && nom == "cadre") {
        Valeurs v{{"url_site", siteWeb + "/cadre"}, {"url_externe", etranger + "/externe"}};
        return Reponse::html(200, page("demo_cadre.html", "Cadres", v));
    }
    if (s.size() == 3 && nom == "sauvegarde")
        return Reponse::html(200, page("demo_sauvegarde.html", "Téléchargements", {{"etranger", etranger}}));
    if (s.size() == 3 && nom == "fichier") return Reponse::html(200, page("demo_fichier.html", "Choisir un fichier", {}));
    if (s.size() == 3 && nom == "dialogues") return Reponse::html(200, page("demo_dialogues.html", "Dialogues", {}));
    if (s.size() == 3 && nom == "liens") {
        Valeurs v{{"serie", serie},
                  {"url_configurer", configurer},
                  {"url_configurer_redirige", configurerRedirige},
                  {"url_auth", autorisation},
                  {"url_site", siteWeb + "/"},
                  {"url_externe", etranger + "/externe"},
                  {"courriel", "support@" + etat.config.domaine}};
        return Reponse::html(200, page("demo_liens.html", "Liens", v));
    }
    if (s.size() == 3 && nom == "fenetres") {
        Valeurs v{{"url_studio", "/studio/demo/fenetre-ouverte"},
                  {"url_site", siteWeb + "/cadre"},
                  {"url_externe", etranger + "/externe"}};
        return pageDEssai("demo_fenetres.html", "Nouvelles fenêtres", "fenetres", v);
    }
    if (s.size() == 3 && nom == "fenetre-ouverte")
        return pageDEssai("demo_fenetre_ouverte.html", "Fenêtre ouverte", "fenetre-ouverte", {});
    if (s.size() == 3 && nom == "media") return pageDEssai("demo_media.html", "Caméra et micro", "media", {});
    if (s.size() == 3 && nom == "impression") return pageDEssai("demo_impression.html", "Impression", "impression", {});
    if (s.size() == 3 && nom == "messages") {
        // The frames try printing too only when asked: a print the application lets through
        // opens a dialog.
        const std::string suite = r.parametre("imprimer") == std::optional<std::string>("1") ? "?imprimer=1" : "";
        Valeurs v{{"url_etranger", etranger + "/messages" + suite},
                  {"url_meme_origine", "/studio/demo/messages/cadre" + suite}};
        return pageDEssai("demo_messages.html", "Messages des cadres", "messages", v);
    }
    if (s.size() == 4 && nom == "messages" && s[3] == "cadre")
        return pageDEssai("essai_messages.html", "Cadre qui écrit", "cadre-meme-origine", {});
    if (s.size() == 3 && nom == "cadres-studio") {
        Valeurs v{{"url_configurer", configurer}, {"url_configurer_redirige", configurerRedirige}, {"url_auth", autorisation}};
        return pageDEssai("demo_cadres_studio.html", "Pages du studio en cadre", "cadres-studio", v);
    }
    if (s.size() == 3 && nom == "rapport") return Reponse::texte(204, "");
    if (s.size() == 4 && nom == "fichiers")
        if (auto f = fichierDEssai(s[3])) return *f;
    return pageErreur(404, "Page introuvable", "Cette page d'essai n'existe pas.");
}

// --- A site outside the domain (any host that is not the cloud's) ---

Reponse routeEtrangere(const Requete& r) {
    const auto s = segments(r.chemin);
    if (r.chemin == "/messages")
        return pageDEssai("essai_messages.html", "Cadre étranger qui écrit", "cadre-etranger", {}, "/rapport");
    if (r.chemin == "/rapport") return Reponse::texte(204, "");
    if (s.size() == 2 && s[0] == "fichiers")
        if (auto f = fichierDEssai(s[1])) return *f;
    return Reponse::html(200, page("externe.html", "Site extérieur", {{"hote", r.hote}}));
}

Reponse routeStudio(Etat& etat, const Requete& r) {
    const std::string& p = r.chemin;
    const auto s = segments(p);
    const Compte* c = compteDe(etat, r);

    if (p == "/sante") return Reponse::json(200, "{\"etat\":\"ok\"}");
    if (p == "/api/moi") return c ? Reponse::json(200, etat.documentMoi(*c)) : erreurJson(401, "non connecté");
    if (p == "/studio/jeton-local") {
        if (!c) return erreurJson(401, "non connecté");
        if (!c->studio) return erreurJson(403, "pas de Studio installateur");
        return Reponse::json(200, etat.documentJetonLocal(etat.emettreJetonLocal(), *c));
    }
    if (p == "/studio/api/parc") {
        if (!c) return erreurJson(401, "non connecté");
        if (!c->studio) return erreurJson(403, "pas de Studio installateur");
        if (etat.scenario.parcBrut) return Reponse::json(200, *etat.scenario.parcBrut);
        // Its actions name the studio absolutely, for the origin the fleet was asked from.
        std::string document = etat.documentParc(*c);
        const std::string base = etat.baseCloud();
        const std::string ici = origine(r, etat.hoteStudio());
        for (auto i = document.find(base); ici != base && i != std::string::npos; i = document.find(base, i + ici.size()))
            document.replace(i, base.size(), ici);
        return Reponse::json(200, document);
    }
    if (s.size() >= 3 && s[0] == "studio" && s[1] == "api" && s[2] == "sites") return actionAnomalie(etat, r, s);
    if (s.size() == 1 && s[0] == "studio") {
        if (!c) return versConnexion(etat, r);
        if (!c->studio && !c->exploitant) return pageErreur(403, "Accès refusé", "Ce compte n'a pas de Studio.");
        return pageParc(etat, *c);
    }
    if (p == "/studio/app/connexion") return connexionApp(etat, r);
    if (p == "/studio/app/connexion/choisir") return choixCompte(etat, r);
    if (p == "/studio/app/session") return sessionApp(etat, r);
    if (p == "/connexion") return versConnexion(etat, r);
    if (p == "/studio/configurer") return configurerParSerie(etat, r);
    if (p == "/deconnexion") return deconnexion(etat, r);
    if (s.size() >= 2 && s[0] == "studio" && s[1] == "site") return siteStudio(etat, r, s);
    if (s.size() >= 2 && s[0] == "studio" && s[1] == "demo") return pagesDemo(etat, r, s);
    if (!s.empty() && s[0] == "admin") return pagesAdmin(etat, r, s);
    if (p == "/") return Reponse::redirection("/studio");
    return pageErreur(404, "Page introuvable", "Cette page du studio n'existe pas.");
}

// --- The sign-in host ---

Reponse routeConnexion(Etat& etat, const Requete& r) {
    const std::string& p = r.chemin;
    if (finitPar(p, "/protocol/openid-connect/auth")) {
        Valeurs v;
        v["comptes"] = listeComptes(etat, "/realms/ovrel/login-actions/authenticate?compte=", "");
        return Reponse::html(200, page("auth.html", "Identification", v));
    }
    if (p.find("/login-actions/") != std::string::npos) {
        const auto compte = r.parametre("compte");
        if (!compte || !etat.comptes.count(*compte))
            return pageErreur(400, "Identification impossible", "Compte de démonstration inconnu.");
        return Reponse::redirection(origine(r, etat.hoteStudio()) + "/studio/app/session?jeton=" +
                                    etat.emettreJetonConnexion(*compte));
    }
    if (finitPar(p, "/protocol/openid-connect/logout")) {
        if (const auto suite = r.parametre("post_logout_redirect_uri")) return Reponse::redirection(*suite);
        return pageErreur(200, "Déconnecté", "Vous êtes déconnecté du fournisseur d'identité Ovrel.");
    }
    return pageErreur(404, "Page introuvable", "Le fournisseur d'identité ne connaît pas cette page.");
}

// --- The web site and the portal ---

Reponse routeSiteWeb(Etat& etat, const Requete& r) {
    if (r.chemin == "/studio/maj/linux-natif.json") {
        return Reponse::json(etat.scenario.statutMaj, etat.documentManifeste(origine(r, etat.hoteSiteWeb()) + "/telecharger"));
    }
    if (r.chemin == "/cadre") return pageErreur(200, "Site Ovrel", "Contenu du site web Ovrel, affiché dans un cadre.");
    if (r.chemin == "/telecharger")
        return pageErreur(200, "Télécharger Ovrel Studio", "Version " + etat.scenario.majVersion + " pour Linux.");
    if (r.chemin == "/") return pageErreur(200, "Ovrel", "Le site web d'Ovrel (simulé).");
    return pageErreur(404, "Page introuvable", "Le site web Ovrel n'a pas cette page.");
}

// --- A box behind the cloud's tunnel ---

std::string pageBox(const std::string& nom, const std::string& serie, const std::string& version,
                    const std::string& acces, std::int64_t resteS) {
    Valeurs tete{{"reste_s", std::to_string(resteS)}};
    Valeurs v{{"tete", remplir(modelesEmbarques().at("box_tete.html"), tete)},
              {"nom", nom}, {"serie", serie}, {"version", version}, {"acces", acces}};
    return page("box.html", nom + " — studio de la box", v);
}

Reponse verification(std::optional<std::int64_t> reste) {
    if (!reste) return erreurJson(401, "jeton refusé");
    json::object o;
    o["reste_s"] = *reste;
    return Reponse::json(200, json::serialize(o));
}

Reponse routeTunnel(Etat& etat, const Requete& r, const std::string& serie) {
    if (!r.https)
        return Reponse::redirection("https://" + r.hote + ":" + std::to_string(etat.config.portTls) + r.chemin +
                                        (r.requete.empty() ? "" : "?" + r.requete),
                                    301);
    std::optional<BoxCloud> genere;
    const BoxCloud* box = boxDuCloud(etat, serie, true, genere);
    if (!box) return pageErreur(404, "Ovrel inconnu", "Aucun Ovrel ne répond sous ce nom.");
    if (!box->enLigne) return pageErreur(502, "Ovrel injoignable", "Cet Ovrel n'est pas relié au tunnel sécurisé.");
    const std::string jeton = r.parametre("jeton").value_or("");
    if (r.chemin == "/studio/session") {
        const auto reste = etat.resteJetonTunnel(box->serie, jeton);
        if (!reste)
            return pageErreur(401, "Jeton refusé", "Ce jeton n'ouvre pas cet Ovrel, ou il a expiré. Rouvrez-le depuis Mes Ovrels.");
        return Reponse::html(200, pageBox(box->nom, box->serie, box->version, "par le tunnel sécurisé", *reste));
    }
    if (r.chemin == "/studio/session/verifier") return verification(etat.resteJetonTunnel(box->serie, jeton));
    if (r.chemin == "/studio/sauvegarde.ovrelbk")
        return fichierJoint("application/octet-stream", "sauvegarde-" + box->serie + ".ovrelbk", sauvegardeBox(box->serie));
    return pageErreur(401, "Session requise", "Ouvrez cet Ovrel depuis Mes Ovrels.");
}

}  // namespace

bool estHoteCloud(const Etat& etat, std::string_view hote) {
    const std::string& d = etat.config.domaine;
    return hote == d || (hote.size() > d.size() && finitPar(hote, d) && hote[hote.size() - d.size() - 1] == '.');
}

Reponse routerCloud(Etat& etat, const Requete& r) {
    const std::string& h = r.hote;
    if (h == etat.hoteStudio()) return routeStudio(etat, r);
    if (h == etat.hoteConnexion()) return routeConnexion(etat, r);
    if (h == etat.hoteSiteWeb()) return routeSiteWeb(etat, r);
    if (h == etat.hotePortail()) return Reponse::json(200, "{\"service\":\"portail\"}");
    if (const auto serie = etat.serieDeTunnel(h)) return routeTunnel(etat, r, *serie);
    if (h == etat.config.domaine) return Reponse::redirection(origine(r, etat.hoteStudio()) + "/studio");
    if (!estHoteCloud(etat, h)) return routeEtrangere(r);
    return pageErreur(404, "Hôte inconnu", "Aucun service Ovrel sous ce nom.");
}

// --- A box of the bench ---

Reponse routerBox(Etat& etat, BoxLocale& box, const Requete& r) {
    const std::string& p = r.chemin;
    if (box.genre == GenreBox::etrangere) {
        if (p == "/api/decouverte") return Reponse::json(200, etat.documentDecouverte(box));
        return pageErreur(404, "Imprimante", "Page inconnue de l'imprimante.");
    }
    if (box.genre == GenreBox::ancienne && commencePar(p, "/ancien/")) {
        if (p == "/ancien/etat") return Reponse::texte(200, etat.etatAncien(box));
        if (r.methode != "POST") return Reponse::texte(405, "methode non permise\n");
        if (p == "/ancien/sauvegarde") return Reponse::texte(200, "ok sauvegarde=/var/ovrel/abri/" + box.identifiant() + "\n");
        if (p == "/ancien/mise-a-jour") {
            const auto f = lireFormulaire(r.corps);
            const auto v = f.find("version");
            if (v == f.end() || v->second.empty()) return Reponse::texte(400, "version manquante\n");
            if (box.echecMiseAJour) return Reponse::texte(500, "echec: espace disque insuffisant\n");
            box.version = v->second;
            return Reponse::texte(200, "ok version=" + box.version + "\n");
        }
        return Reponse::texte(404, "inconnu\n");
    }
    // A legacy box speaks only its old API until it is upgraded.
    if (box.genre == GenreBox::ancienne && !box.annoncee()) return Reponse::texte(404, "inconnu\n");

    if (p == "/api/decouverte") return Reponse::json(200, etat.documentDecouverte(box));
    if (p == "/api/atelier/enregistrer") {
        if (r.methode != "POST") return erreurJson(405, "méthode non permise");
        if (r.type != "application/json") return erreurJson(415, "identité attendue en JSON");
        const int statut = etat.injecter(box, r.corps);
        if (statut == 200) return Reponse::json(200, "{\"ok\":true}");
        return erreurJson(statut, "identité refusée");
    }
    const std::string jeton = r.parametre("jeton").value_or("");
    if (p == "/studio/session") {
        const auto reste = etat.resteJetonLocal(jeton);
        if (!reste)
            return pageErreur(401, "Jeton refusé",
                              "Cette box ne reconnaît pas cette habilitation. Reconnectez-vous une fois avec internet.");
        const std::string nom = box.nom.empty() ? box.nomService : box.nom;
        return Reponse::html(200, pageBox(nom, box.serie, box.version, "sur ce réseau", *reste));
    }
    if (p == "/studio/session/verifier") return verification(etat.resteJetonLocal(jeton));
    if (p == "/studio/sauvegarde.ovrelbk")
        return fichierJoint("application/octet-stream", "sauvegarde-" + box.identifiant() + ".ovrelbk",
                            sauvegardeBox(box.serie));
    if (p == "/") return pageErreur(200, "Box Ovrel", "Ouvrez cette box depuis Ovrel Studio.");
    return pageErreur(404, "Page introuvable", "Cette box n'a pas cette page.");
}

}  // namespace ovrel::simulateur
