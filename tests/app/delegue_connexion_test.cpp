// The browser sign-in and sign-out flows: the reachability probe and its alerts, the sign-in page
// opened in the browser, the strict check of its return, the session page loaded in the web view,
// a pending sign-in replaced by a new press, and everything a sign-out forgets.
#include "app/constantes.h"
#include "connexion/connexion.h"
#include "connexion/habilitation.h"
#include "plateforme/adresse.h"
#include "sante/memoire_parc.h"
#include "tests/faux/banc_delegue.h"
#include "web/adresses.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

const std::string JETON_40 = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ-_01";
const char* const TITRE_IMPOSSIBLE = "Connexion impossible";
const char* const TITRE_REFUSEE = "Connexion refusée";
const char* const MESSAGE_REFUSEE = "Le retour du navigateur ne correspond pas à la connexion demandée. Recommencez.";

std::string retour(const std::string& etat, const std::string& jeton, const std::string& debut = "ovrelstudio://session") {
    return debut + "?etat=" + etat + "&jeton=" + jeton;
}

// The state carried by a sign-in page's address.
std::string etatDePage(const std::string& url) {
    const auto page = analyserAdresse(url);
    if (!page) return {};
    const auto element = page->premierElement("etat");
    return element ? element->valeur.value_or("") : "";
}

class DelegueConnexion : public ::testing::Test, protected BancDelegue {
protected:
    std::string sonde() const { return BASE_CLOUD() + "/sante"; }

    // A press of the sign-in button whose probe the cloud answers with `statut`.
    void appuyerAvecSonde(int statut) {
        http.enFile(HttpFaux::reponse(statut, "ok"));
        delegue->actionConnexionOvrel();
        minuteries.vider();
    }
    // The state carried by the sign-in page of session `index`.
    std::string etatDe(std::size_t index) const { return etatDePage(navigateur.sessions.at(index)->url); }
    // A sign-in waiting for its return, on session 0.
    std::string connexionEnAttente() {
        appuyerAvecSonde(200);
        EXPECT_EQ(navigateur.sessions.size(), 1u);
        return etatDe(0);
    }
    // An unsecured label sheet committed in the web container.
    void surFicheNonGardee() {
        const std::string fiche = "https://" + HOTE_STUDIO() + "/admin/etiquette/B-0042";
        ASSERT_TRUE(estFicheEtiquette(fiche));
        ecrans.ecran = Ecran::web;
        engager(fiche);
    }
    // Whether session `index` of the browser is still running (started, neither dropped nor
    // over).
    bool enCours(std::size_t index) const {
        const auto& s = *navigateur.sessions.at(index);
        return s.demarree && !s.annulee && !s.terminee;
    }
    bool aucuneSessionEnCours() const {
        for (std::size_t i = 0; i < navigateur.sessions.size(); ++i)
            if (enCours(i)) return false;
        return true;
    }
};

TEST_F(DelegueConnexion, LaSondeInjoignableAlerteAvecDomaineEtCodeSansOuvrirLeNavigateur) {
    delegue->actionConnexionOvrel();
    ASSERT_EQ(http.requetes.size(), 1u);
    const RequeteHttp& requete = http.requetes[0];
    EXPECT_EQ(requete.methode, "GET");
    EXPECT_EQ(requete.url, sonde());
    EXPECT_EQ(requete.delai, 6s);
    EXPECT_TRUE(requete.entetes.empty());
    EXPECT_FALSE(requete.ignorerCache);

    http.repondre(HttpFaux::echec("g-io-error-quark", 39));
    minuteries.vider();
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, TITRE_IMPOSSIBLE);
    EXPECT_EQ(dialogues.montres[0].message,
              "Impossible de joindre le serveur Ovrel.\nVérifiez votre connexion, puis réessayez.\n(g-io-error-quark 39)");
    EXPECT_TRUE(navigateur.sessions.empty());
    EXPECT_TRUE(aucuneSessionEnCours());
    EXPECT_TRUE(ecrans.historique.empty());

    // The failed probe does not hold the next press back.
    appuyerAvecSonde(200);
    EXPECT_EQ(http.requetes.size(), 2u);
    EXPECT_EQ(navigateur.sessions.size(), 1u);
}

TEST_F(DelegueConnexion, UnStatutAutreQue200AlerteAvecLeStatut) {
    for (int statut : {503, 302, 0}) {
        dialogues.montres.clear();
        appuyerAvecSonde(statut);
        ASSERT_EQ(dialogues.montres.size(), 1u) << statut;
        EXPECT_EQ(dialogues.montres[0].titre, TITRE_IMPOSSIBLE);
        EXPECT_EQ(dialogues.montres[0].message, "Le serveur Ovrel ne répond pas pour l'instant (HTTP " +
                                                    std::to_string(statut) + "). Réessayez dans un moment.");
    }
    EXPECT_TRUE(navigateur.sessions.empty());
    EXPECT_TRUE(ecrans.historique.empty());
}

TEST_F(DelegueConnexion, Un200OuvreLaPageDeConnexionAvecUnEtatNeuf) {
    appuyerAvecSonde(200);
    EXPECT_TRUE(dialogues.montres.empty());
    ASSERT_EQ(navigateur.sessions.size(), 1u);
    const auto& session = *navigateur.sessions[0];
    const std::string etat = etatDe(0);
    EXPECT_EQ(etat.size(), 43u);
    EXPECT_EQ(session.url, adresseConnexionSafari(etat));
    EXPECT_EQ(session.schemaRappel, "ovrelstudio");
    EXPECT_TRUE(session.demarree);
    EXPECT_TRUE(enCours(0));
    // The web view's page process starts while the user signs in; nothing is loaded yet.
    EXPECT_EQ(vue.preparations, 1);
    EXPECT_TRUE(vue.chargements.empty());
}

TEST_F(DelegueConnexion, PasDePreparationDeLaVueSansPageDeConnexion) {
    appuyerAvecSonde(503);
    navigateur.navigateurDisponible = false;
    appuyerAvecSonde(200);
    EXPECT_EQ(dialogues.montres.size(), 2u);
    EXPECT_EQ(vue.preparations, 0);
}

TEST_F(DelegueConnexion, UnDoubleClicNEnvoieQuUneSondeEtNOuvreQuUnePage) {
    http.retenir = true;
    delegue->actionConnexionOvrel();
    delegue->actionConnexionOvrel();
    EXPECT_EQ(http.requetes.size(), 1u);
    http.repondre(HttpFaux::reponse(200, ""));
    minuteries.vider();
    EXPECT_EQ(navigateur.sessions.size(), 1u);
}

TEST_F(DelegueConnexion, UnBonRetourMontreLeWebEtChargeLaPageDeSession) {
    const std::string etat = connexionEnAttente();
    ASSERT_TRUE(navigateur.terminer(0, retour(etat, JETON_40)));

    EXPECT_TRUE(aucuneSessionEnCours());
    EXPECT_TRUE(dialogues.montres.empty());
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    ASSERT_EQ(vue.chargements.size(), 1u);
    EXPECT_EQ(vue.chargements[0], (ChargementWeb{*adresseSessionApp(JETON_40), 60s}));

    // The back control of the web container leads back to the sign-in screen.
    delegue->actionRetour();
    ASSERT_TRUE(vue.repondreScript(0, "0"));
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
}

TEST_F(DelegueConnexion, UnRetourQuiNeCorrespondPasEstRefuseEtRameneALaConnexion) {
    const std::vector<std::pair<std::string, std::function<std::string(const std::string&)>>> cas = {
        {"état faux", [](const std::string&) { return retour(std::string(43, 'A'), JETON_40); }},
        {"état deux fois",
         [](const std::string& e) { return "ovrelstudio://session?etat=" + e + "&etat=" + e + "&jeton=" + JETON_40; }},
        {"jeton de 39", [](const std::string& e) { return retour(e, JETON_40.substr(1)); }},
        {"sans jeton", [](const std::string& e) { return "ovrelstudio://session?etat=" + e; }},
    };
    for (const auto& [nom, adresse] : cas) {
        SCOPED_TRACE(nom);
        BancDelegue banc;
        banc.http.enFile(HttpFaux::reponse(200, ""));
        banc.delegue->actionConnexionOvrel();
        banc.minuteries.vider();
        ASSERT_EQ(banc.navigateur.sessions.size(), 1u);
        const std::string etat = etatDePage(banc.navigateur.sessions[0]->url);
        // Whatever the check refuses ends the same way; the user had gone on to a page meanwhile.
        banc.ecrans.ecran = Ecran::web;

        ASSERT_TRUE(banc.navigateur.terminer(0, adresse(etat)));

        ASSERT_EQ(banc.dialogues.montres.size(), 1u);
        EXPECT_EQ(banc.dialogues.montres[0].titre, TITRE_REFUSEE);
        EXPECT_EQ(banc.dialogues.montres[0].message, MESSAGE_REFUSEE);
        EXPECT_EQ(banc.ecrans.ecran, Ecran::connexion);
        EXPECT_TRUE(banc.vue.chargements.empty());
        // The object holds no session any more: a sign-out can start.
        banc.delegue->fermerSessionSafari();
        EXPECT_EQ(banc.navigateur.sessions.size(), 2u);
    }
}

TEST_F(DelegueConnexion, UnRetourSansAdresseOuAilleursQueSessionNeFaitRien) {
    for (const std::optional<std::string>& adresse :
         {std::optional<std::string>{}, std::optional<std::string>{"ovrelstudio://ouvrir?serie=B-0042"},
          std::optional<std::string>{"pas une adresse"}}) {
        BancDelegue banc;
        banc.http.enFile(HttpFaux::reponse(200, ""));
        banc.delegue->actionConnexionOvrel();
        banc.minuteries.vider();
        banc.ecrans.ecran = Ecran::parc;
        ASSERT_TRUE(banc.navigateur.terminer(0, adresse));
        EXPECT_TRUE(banc.dialogues.montres.empty()) << adresse.value_or("(rien)");
        EXPECT_EQ(banc.ecrans.ecran, Ecran::parc);
        EXPECT_TRUE(banc.vue.chargements.empty());
        // The object holds no session any more: a sign-out can start.
        banc.delegue->fermerSessionSafari();
        EXPECT_EQ(banc.navigateur.sessions.size(), 2u);
    }
}

TEST_F(DelegueConnexion, UneErreurDuNavigateurAlerteAvecDomaineEtCode) {
    connexionEnAttente();
    ASSERT_TRUE(navigateur.terminer(0, std::nullopt, ErreurTransport{"g-io-error-quark", 1, "introuvable"}));
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, TITRE_IMPOSSIBLE);
    EXPECT_EQ(dialogues.montres[0].message,
              "La connexion dans le navigateur n'a pas abouti.\nVérifiez votre connexion, puis réessayez.\n"
              "(g-io-error-quark 1)");
    EXPECT_TRUE(aucuneSessionEnCours());
    EXPECT_TRUE(ecrans.historique.empty());
}

TEST_F(DelegueConnexion, SansNavigateurLaSessionEstOublieeEtOnPeutReessayer) {
    navigateur.navigateurDisponible = false;
    appuyerAvecSonde(200);
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, TITRE_IMPOSSIBLE);
    EXPECT_EQ(dialogues.montres[0].message, "Le navigateur n'a pas pu ouvrir la page de connexion. Réessayez.");
    EXPECT_TRUE(aucuneSessionEnCours());

    navigateur.navigateurDisponible = true;
    appuyerAvecSonde(200);
    ASSERT_EQ(navigateur.sessions.size(), 2u);
    EXPECT_TRUE(navigateur.sessions[1]->demarree);
    EXPECT_TRUE(enCours(1));
    EXPECT_EQ(dialogues.montres.size(), 1u);
}

// The browser never says that its page was closed: a new press replaces the sign-in that waits.
TEST_F(DelegueConnexion, UnNouvelAppuiRemplaceLaConnexionEnAttenteEtSonEtatMeurtAvecElle) {
    const std::string ancien = connexionEnAttente();
    appuyerAvecSonde(200);
    ASSERT_EQ(navigateur.sessions.size(), 2u);
    EXPECT_TRUE(navigateur.sessions[0]->annulee);
    EXPECT_TRUE(navigateur.sessions[1]->demarree);
    EXPECT_TRUE(enCours(1));
    const std::string nouveau = etatDe(1);
    EXPECT_NE(nouveau, ancien);

    // Even delivered, the dropped session's completion counts for nothing…
    navigateur.sessions[0]->completion(retour(ancien, JETON_40), std::nullopt);
    EXPECT_TRUE(vue.chargements.empty());
    EXPECT_TRUE(enCours(1));
    // …and the return of the old page, now taken by the new session, is refused.
    ASSERT_TRUE(navigateur.terminer(1, retour(ancien, JETON_40)));
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, TITRE_REFUSEE);
    EXPECT_TRUE(vue.chargements.empty());
}

TEST_F(DelegueConnexion, UnRetourApresLaFinDeLObjetNeFaitRien) {
    const std::string etat = connexionEnAttente();
    delegue.reset();
    EXPECT_TRUE(navigateur.terminer(0, retour(etat, JETON_40)));
    EXPECT_TRUE(vue.chargements.empty());
    EXPECT_TRUE(ecrans.historique.empty());
}

TEST_F(DelegueConnexion, LaDeconnexionOublieToutEtOuvreLaPageDeDeconnexion) {
    Habilitation::enregistrer(preferences, "jeton-local", 1'800'000'000.0, "Domotique du Lac");
    ASSERT_TRUE(MemoireParc::enregistrer(preferences, R"({"ovrels":[]})", horloge.maintenant()));
    preferences.ecrireTexte("mode", "installateur");
    preferences.ecrireTexte("box", "192.168.1.20");
    http.jar = {cookieEssai("session", "s1", HOTE_STUDIO())};
    vue.magasin = {cookieEssai("session", "s1", HOTE_STUDIO()), cookieEssai("KC", "k", HOTE_CONNEXION())};
    ecrans.ecran = Ecran::parc;

    delegue->deconnexion();
    minuteries.vider();

    for (const char* cle : {"jeton_local", "jeton_local_exp", "jeton_local_org", "parc_cache", "parc_cache_le", "mode"})
        EXPECT_FALSE(preferences.contient(cle)) << cle;
    EXPECT_EQ(preferences.texte("box"), "192.168.1.20");
    EXPECT_TRUE(http.jar.empty());
    EXPECT_TRUE(vue.magasin.empty());
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
    EXPECT_TRUE(dialogues.montres.empty());

    // The browser's own login is closed; nothing comes back from that page.
    ASSERT_EQ(navigateur.sessions.size(), 1u);
    EXPECT_EQ(navigateur.sessions[0]->url, adresseDeconnexionSafari());
    EXPECT_FALSE(navigateur.sessions[0]->schemaRappel);
    EXPECT_TRUE(navigateur.sessions[0]->demarree);
    EXPECT_TRUE(enCours(0));

    // While the page opens, a press of the sign-in button waits for it.
    delegue->actionConnexionOvrel();
    EXPECT_TRUE(http.requetes.empty());
    ASSERT_TRUE(navigateur.terminer(0, std::nullopt));
    EXPECT_TRUE(aucuneSessionEnCours());
    EXPECT_TRUE(dialogues.montres.empty());
    appuyerAvecSonde(200);
    EXPECT_EQ(navigateur.sessions.size(), 2u);
}

TEST_F(DelegueConnexion, LaDeconnexionSansNavigateurOublieLeCompteQuandMeme) {
    preferences.ecrireTexte("mode", "concepteur");
    navigateur.navigateurDisponible = false;
    delegue->deconnexion();
    EXPECT_FALSE(preferences.contient("mode"));
    EXPECT_TRUE(aucuneSessionEnCours());
    EXPECT_TRUE(dialogues.montres.empty());
}

TEST_F(DelegueConnexion, LaDeconnexionAbandonneUneConnexionEnAttente) {
    const std::string etat = connexionEnAttente();
    delegue->deconnexion();
    EXPECT_TRUE(navigateur.sessions[0]->annulee);
    ASSERT_EQ(navigateur.sessions.size(), 2u);
    EXPECT_EQ(navigateur.sessions[1]->url, adresseDeconnexionSafari());
    // A late return of the abandoned page signs nobody back in.
    navigateur.sessions[0]->completion(retour(etat, JETON_40), std::nullopt);
    EXPECT_TRUE(vue.chargements.empty());
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
}

TEST_F(DelegueConnexion, LeGardienDeLaFicheRetientLaConnexionEtLaDeconnexion) {
    surFicheNonGardee();
    preferences.ecrireTexte("mode", "installateur");
    http.jar = {cookieEssai("session", "s1", HOTE_STUDIO())};
    dialogues.choisir("Rester sur la fiche");
    dialogues.choisir("Rester sur la fiche");

    delegue->actionConnexionOvrel();
    delegue->deconnexion();

    EXPECT_EQ(dialogues.montres.size(), 2u);
    EXPECT_TRUE(http.requetes.empty());
    EXPECT_TRUE(navigateur.sessions.empty());
    EXPECT_TRUE(preferences.contient("mode"));
    EXPECT_EQ(http.jar.size(), 1u);
    EXPECT_EQ(ecrans.ecran, Ecran::web);
}

// Every link of the application's scheme goes through one operation; only the desktop can
// hand back a sign-in.
TEST_F(DelegueConnexion, LesLiensDeLApplicationPassentParUneSeuleOperation) {
    struct Cas {
        const char* nom;
        OrigineLien origine;
        bool enAttente;       // a sign-in waits for its return
        bool prefixeMajuscule;
        bool pageChargee;     // the return was taken: the session page loads
    };
    for (const Cas& c : {Cas{"retour du bureau", OrigineLien::bureau, true, false, true},
                         Cas{"retour en majuscules", OrigineLien::bureau, true, true, true},
                         Cas{"retour depuis une page", OrigineLien::page, true, false, false},
                         Cas{"retour que personne n'attend", OrigineLien::bureau, false, false, false}}) {
        SCOPED_TRACE(c.nom);
        BancDelegue banc;
        std::string etat(43, 'A');
        if (c.enAttente) {
            banc.http.enFile(HttpFaux::reponse(200, ""));
            banc.delegue->actionConnexionOvrel();
            banc.minuteries.vider();
            etat = etatDePage(banc.navigateur.sessions.at(0)->url);
        }
        const std::string lien = retour(etat, JETON_40, c.prefixeMajuscule ? "OVRELSTUDIO://Session" : "ovrelstudio://session");

        banc.delegue->lienDeLApp(lien, c.origine);

        if (c.pageChargee) {
            EXPECT_EQ(banc.vue.chargements, (std::vector<ChargementWeb>{{*adresseSessionApp(JETON_40), 60s}}));
            EXPECT_TRUE(banc.systeme.lignes.empty());
        } else {
            EXPECT_TRUE(banc.vue.chargements.empty());
            // Logged without its secrets.
            ASSERT_EQ(banc.systeme.lignes.size(), 1u);
            EXPECT_EQ(banc.systeme.lignes[0], "OVREL LIEN → " + adresseSansSecret(lien));
            EXPECT_EQ(banc.systeme.lignes[0].find(JETON_40), std::string::npos);
            // A sign-in that waits still waits.
            if (c.enAttente) {
                EXPECT_TRUE(banc.navigateur.sessions[0]->demarree && !banc.navigateur.sessions[0]->terminee);
            }
        }
        EXPECT_TRUE(banc.dialogues.montres.empty());
    }
}

TEST_F(DelegueConnexion, UnLienDeLApplicationDansUnePageEstAnnuleEtTraiteEnsuite) {
    const std::string etat = connexionEnAttente();
    ActionNavigation action;
    action.url = retour(etat, JETON_40);
    action.genre = GenreNavigation::lien;
    ASSERT_NE(vue.ecouteur, nullptr);

    EXPECT_EQ(vue.ecouteur->deciderNavigation(action), DecisionNavigation::annuler);
    EXPECT_TRUE(systeme.lignes.size() == 1u && systeme.lignes[0].starts_with("OVREL NAV → "));
    minuteries.vider();
    // A page cannot hand the application a sign-in: the one waiting still waits.
    EXPECT_TRUE(enCours(0));
    EXPECT_TRUE(vue.chargements.empty());
    ASSERT_EQ(systeme.lignes.size(), 2u);
    EXPECT_EQ(systeme.lignes[1], "OVREL LIEN → " + adresseSansSecret(*action.url));

    action.url = URL_STUDIO();
    EXPECT_EQ(vue.ecouteur->deciderNavigation(action), DecisionNavigation::autoriser);
}

}  // namespace
