// The web host's policy with the real engine: the application object listening to a WebKitGTK
// view that shows the simulator's pages. The dialogs, the screens and the desktop are fakes, so
// that the test answers the questions and sees what went to the default browser. The view
// reaches the cloud's names through the simulator used as its HTTP proxy (the names need no
// resolver then); "127.0.0.1" and "localhost" are reached directly: the first is a site outside
// the domain, the second an allowed host where nothing listens on port 1.
#include "app/constantes.h"
#include "app/delegue.h"
#include "web/adresses.h"
#include "plateforme/glib/minuteries_glib.h"
#include "plateforme/preferences_memoire.h"
#include "plateforme/webkit/vue_web_webkit.h"
#include "tests/faux/decouverte_faux.h"
#include "tests/faux/dialogues_faux.h"
#include "tests/faux/ecran_atelier_faux.h"
#include "tests/faux/journal_atelier_faux.h"
#include "tests/faux/processus_faux.h"
#include "tests/faux/ecran_box_faux.h"
#include "tests/faux/ecran_parc_faux.h"
#include "tests/faux/ecrans_faux.h"
#include "tests/faux/http_faux.h"
#include "tests/faux/navigateur_faux.h"
#include "tests/faux/systeme_faux.h"
#include "tests/gtk/impression_essai.h"
#include "tests/gtk/outils_gtk.h"
#include "tests/simulateur/support.h"

#include <gtest/gtest.h>
#include <gtkmm.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace ovrel {
namespace {

using essais::attendre;
using namespace std::chrono_literals;

// Everything the tests share: one engine start, one application object.
struct Monde {
    essais::Simulateur& simulateur = essais::Simulateur::instance();
    HorlogeSysteme horloge;
    MinuteriesGlib minuteries;
    HttpFaux http{minuteries};
    PreferencesMemoire preferences;
    DialoguesFaux dialogues;
    EcransFaux ecrans;
    SystemeFaux systeme;
    NavigateurFaux navigateur;
    EcranParcFaux ecranParc;
    DecouverteFaux decouverte;
    EcranBoxFaux ecranBox;
    EcranAtelierFaux ecranAtelier;
    JournalAtelierFaux journalAtelier;
    ProcessusFaux processus{minuteries};
    essais::DossierTemporaire dossier;
    Gtk::Window fenetre;
    std::unique_ptr<VueWebWebKit> web;
    std::unique_ptr<Delegue> delegue;
    int chargementsFinis = 0;

    Monde() {
        etablirConfiguration(Configuration{simulateur.base() + "/studio", std::nullopt, std::nullopt});
        web = std::make_unique<VueWebWebKit>(VueWebWebKit::Dossiers{dossier.chemin() / "d", dossier.chemin() / "c"},
                                             std::string(AGENT_UTILISATEUR));
        const char* directs[] = {"localhost", "127.0.0.1", nullptr};
        WebKitNetworkProxySettings* proxy = webkit_network_proxy_settings_new(
            ("http://127.0.0.1:" + std::to_string(simulateur.portCloud)).c_str(), directs);
        webkit_network_session_set_proxy_settings(web->session(), WEBKIT_NETWORK_PROXY_MODE_CUSTOM, proxy);
        webkit_network_proxy_settings_free(proxy);
        web->surChargementTermine([this] { ++chargementsFinis; });
        fenetre.set_default_size(900, 700);
        fenetre.set_child(*Glib::wrap(web->widget()));
        fenetre.present();
        delegue = std::make_unique<Delegue>(
            PortsDelegue{http, preferences, horloge, minuteries, dialogues, ecrans, systeme, navigateur, ecranParc, decouverte, ecranBox, ecranAtelier, journalAtelier, processus}, Configuration{});
        delegue->attacherVueWeb(web.get());
        ecrans.ecran = Ecran::web;
    }
    ~Monde() { fenetre.unset_child(); }

    static Monde& instance() {
        static Monde monde;
        return monde;
    }

    std::string studio(const std::string& chemin) const { return simulateur.base() + chemin; }
    std::string externe(const std::string& chemin) const {
        return "http://127.0.0.1:" + std::to_string(simulateur.portCloud) + chemin;
    }

    bool charger(const std::string& url) {
        const int avant = chargementsFinis;
        web->charger(url);
        return attendre([&] { return chargementsFinis > avant; }) && web->urlCourante() == url;
    }
    // Runs a script in the page; its result.
    std::optional<std::string> script(const std::string& source) {
        bool fini = false;
        std::optional<std::string> resultat;
        web->evaluer(source, [&](std::optional<std::string> r, std::optional<ErreurTransport>) {
            resultat = std::move(r);
            fini = true;
        });
        attendre([&] { return fini; });
        return resultat;
    }
    void cliquer(const std::string& selecteur) {
        script("document.querySelector('" + selecteur + "').click(); 0");
    }
    bool ligne(const std::string& texte) const {
        return std::find(systeme.lignes.begin(), systeme.lignes.end(), texte) != systeme.lignes.end();
    }
    bool ouverte(const std::string& url) const {
        return std::find(systeme.ouvertes.begin(), systeme.ouvertes.end(), url) != systeme.ouvertes.end();
    }
    // Waits for the load under way to end, however it ends.
    bool finDuChargement(int avant) {
        return attendre([&] { return chargementsFinis > avant; });
    }
    // A label sheet of a designer's box, freshly made, on screen.
    std::string fiche() {
        const std::string cookie = simulateur.cookie("concepteur");
        Cookie c;
        c.nom = cookie.substr(0, cookie.find('='));
        c.valeur = cookie.substr(cookie.find('=') + 1);
        c.domaine = HOTE_STUDIO();
        c.chemin = "/";
        bool ajoute = false;
        web->ajouterCookie(c, [&] { ajoute = true; });
        attendre([&] { return ajoute; });
        // A box in stock: its label can be made again, as many times as the tests need.
        const std::string id = simulateur.idRegistreDeSerie("OV24A0002");
        const auto r = essais::poster(studio("/admin/box/" + id + "/nouveau-code"), "", "text/plain", cookie);
        const auto adresse = r.entete("location");
        if (!adresse) {
            ADD_FAILURE() << "pas de fiche : " << r.statut << " " << r.corps;
            return {};
        }
        const std::string url = adresse->starts_with("http") ? *adresse : studio(*adresse);
        EXPECT_TRUE(charger(url));
        EXPECT_TRUE(delegue->ficheAGarder());
        return url;
    }
};

class PolitiqueWeb : public ::testing::Test {
protected:
    Monde& m = Monde::instance();
    void TearDown() override {
        if (HasFailure())
            for (const auto& l : m.systeme.lignes) std::fprintf(stderr, "  %s\n", l.c_str());
        m.systeme.lignes.clear();
    }
    void SetUp() override {
        m.dialogues.montres.clear();
        m.systeme.ouvertes.clear();
        m.ecrans.ecran = Ecran::web;
    }
};

TEST_F(PolitiqueWeb, LiensDeLApplicationEtSitesEtrangersRestentHorsDeLaVue) {
    const std::string demo = m.studio("/studio/demo");
    ASSERT_TRUE(m.charger(demo));
    m.cliquer("a[href=\"ovrelstudio://connexion\"]");
    ASSERT_TRUE(attendre([&] { return m.ligne("OVREL LIEN → ovrelstudio://connexion"); }));
    EXPECT_EQ(m.web->urlCourante(), demo);

    // A page's own navigation to a site outside the domain: the default browser shows it.
    const int avant = m.chargementsFinis;
    m.script("location.href = '" + m.externe("/externe") + "'; 0");
    ASSERT_TRUE(attendre([&] { return m.ouverte(m.externe("/externe")); }));
    m.finDuChargement(avant);
    EXPECT_EQ(m.web->urlCourante(), demo);
    EXPECT_TRUE(m.dialogues.montres.empty());
}

TEST_F(PolitiqueWeb, UnCadreEtrangerSAfficheDansUnePageAutorisee) {
    const auto depuis = m.simulateur.suivantDuJournal();
    ASSERT_TRUE(m.charger(m.studio("/studio/demo/cadre")));
    // Both frames were served: the site's and the foreign one.
    ASSERT_TRUE(attendre([&] {
        bool externe = false;
        for (const auto& e : m.simulateur.journal(depuis))
            if (e.as_object().at("chemin") == "/externe" && e.as_object().at("statut") == 200) externe = true;
        return externe;
    }));
    EXPECT_TRUE(m.systeme.ouvertes.empty());
    EXPECT_EQ(m.web->urlCourante(), m.studio("/studio/demo/cadre"));
}

TEST_F(PolitiqueWeb, FichiersTelechargesOuConfiesAuBureau) {
    ASSERT_TRUE(m.charger(m.studio("/studio/demo/sauvegarde")));
    const auto fichier = m.dossier.chemin() / "sauvegarde.ovrelbk";
    m.dialogues.fichiers = {fichier};
    m.cliquer("#sauvegarde");
    ASSERT_TRUE(attendre([&] { return !m.systeme.reveles.empty(); }));
    EXPECT_EQ(m.systeme.reveles.back(), fichier);
    EXPECT_GT(std::filesystem::file_size(fichier), 0u);
    EXPECT_EQ(m.dialogues.montres.at(0).titre, "Où enregistrer ce fichier de l'Ovrel ?");

    // A PDF and an attachment the engine could show: saved too.
    for (const char* lien : {"#pdf", "#piece-jointe"}) {
        SCOPED_TRACE(lien);
        const auto enregistre = m.dossier.chemin() / (std::string(lien + 1) + ".fichier");
        m.dialogues.fichiers = {enregistre};
        m.cliquer(lien);
        ASSERT_TRUE(attendre([&] { return !m.systeme.reveles.empty() && m.systeme.reveles.back() == enregistre; }));
    }

    m.cliquer("#dmg");
    ASSERT_TRUE(attendre([&] { return m.ouverte(m.studio("/studio/demo/fichiers/ovrel-studio.dmg")); }));
    const std::string pdfEtranger = m.externe("/studio/demo/fichiers/guide-installation.pdf");
    m.script("location.href = '" + pdfEtranger + "'; 0");
    ASSERT_TRUE(attendre([&] { return m.ouverte(pdfEtranger); }));
    EXPECT_EQ(m.web->urlCourante(), m.studio("/studio/demo/sauvegarde"));
}

TEST_F(PolitiqueWeb, LaPageDuParcQuiEchoueMontreLeParcConnu) {
    m.preferences.ecrire({{"parc_cache", Octets{"{\"boxes\": []}"}}});
    m.simulateur.scenario("{\"cloud\": \"injoignable\"}");
    m.web->charger(URL_STUDIO());
    const bool parc = attendre([&] { return m.ecrans.ecran == Ecran::parc; });
    m.simulateur.reinitialiser();
    m.preferences.ecrire({{"parc_cache", std::nullopt}});
    EXPECT_TRUE(parc);
    EXPECT_TRUE(m.dialogues.montres.empty());
}

TEST_F(PolitiqueWeb, LaFicheDemandeAvantDePartirEtLeLivretLaSecurise) {
    const std::string fiche = m.fiche();
    ASSERT_FALSE(fiche.empty());

    // A link of the sheet, then a reload: the user stays.
    m.dialogues.choisir("Rester sur la fiche");
    m.cliquer("a[href=\"/admin\"]");
    ASSERT_TRUE(attendre([&] { return m.dialogues.montres.size() == 1; }));
    m.dialogues.choisir("Rester sur la fiche");
    m.delegue->recharger();
    EXPECT_EQ(m.dialogues.montres.size(), 2u);
    EXPECT_EQ(m.web->urlCourante(), fiche);

    // Each answer of the booklet that is not a file says so, and the sheet stays unsecured.
    for (const auto& [mode, raison] : std::vector<std::pair<std::string, std::string>>{
             {"html_500", "réponse 500 du serveur"},
             {"redirection", "le serveur renvoie ailleurs"},
             {"pdf_en_ligne", "réponse 200 du serveur"}}) {
        SCOPED_TRACE(mode);
        m.simulateur.scenario("{\"livret\": \"" + mode + "\"}");
        m.dialogues.montres.clear();
        m.cliquer("#livret button");
        // The view shows a redirect's address while the load is under way: judged once it is
        // back on the sheet.
        ASSERT_TRUE(attendre([&] { return !m.dialogues.montres.empty() && m.web->urlCourante() == fiche; }));
        EXPECT_EQ(m.dialogues.montres[0].titre, "La fiche d'étiquette reste à l'écran");
        EXPECT_NE(m.dialogues.montres[0].message.find(raison), std::string::npos) << m.dialogues.montres[0].message;
        EXPECT_EQ(m.web->urlCourante(), fiche);
        EXPECT_TRUE(m.delegue->ficheAGarder());
    }

    // The booklet saved: the sheet may be left freely.
    m.simulateur.scenario("{\"livret\": \"piece_jointe\"}");
    const auto livret = m.dossier.chemin() / "livret.pdf";
    m.dialogues.fichiers = {livret};
    m.cliquer("#livret button");
    ASSERT_TRUE(attendre([&] { return !m.delegue->ficheAGarder(); }));
    EXPECT_EQ(m.systeme.reveles.back(), livret);
}

TEST_F(PolitiqueWeb, UneNouvelleFenetreRemplaceLaPageOuVaAuNavigateur) {
    ASSERT_TRUE(m.charger(m.studio("/studio/demo")));
    m.script("window.open('" + m.externe("/externe") + "'); 0");
    ASSERT_TRUE(attendre([&] { return m.ouverte(m.externe("/externe")); }));
    const int avant = m.chargementsFinis;
    m.script("window.open('/studio/demo/dialogues'); 0");
    ASSERT_TRUE(m.finDuChargement(avant));
    EXPECT_EQ(m.web->urlCourante(), m.studio("/studio/demo/dialogues"));
}

TEST_F(PolitiqueWeb, UneNouvelleFicheQuiNeSAfficheProposeDeReessayer) {
    ASSERT_TRUE(m.charger(m.studio("/studio/demo")));
    // A port where nothing listens (the engine refuses the well-known ports of other services).
    GSocket* prise = g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
    GInetAddress* boucle = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* adresse = g_inet_socket_address_new(boucle, 0);
    ASSERT_TRUE(g_socket_bind(prise, adresse, FALSE, nullptr));
    GSocketAddress* liee = g_socket_get_local_address(prise, nullptr);
    const int port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(liee));
    g_object_unref(liee);
    g_object_unref(adresse);
    g_object_unref(boucle);
    g_socket_close(prise, nullptr);
    g_object_unref(prise);
    const std::string introuvable = "http://localhost:" + std::to_string(port) + "/admin/etiquette/B-0042?code=X";
    m.dialogues.choisir("Abandonner cette fiche");
    const int avant = m.chargementsFinis;
    m.web->charger(introuvable);
    ASSERT_TRUE(m.finDuChargement(avant));
    ASSERT_EQ(m.dialogues.montres.size(), 1u);
    EXPECT_EQ(m.dialogues.montres[0].titre, "La fiche d'étiquette n'a pas pu s'afficher");
    EXPECT_NE(m.dialogues.montres[0].message.find("(g-io-error-quark 39)"), std::string::npos);
}

}  // namespace
}  // namespace ovrel

namespace ovrel {
namespace {

// The frame problem, proved with real frames: what the main frame may not do, a sub-frame may.
TEST_F(PolitiqueWeb, LesReglesDuCadrePrincipalNeTouchentPasLesSousCadres) {
    const std::string liens = m.studio("/studio/demo/liens");
    ASSERT_TRUE(m.charger(liens));
    // A link of the main frame to a foreign site: the browser, before any request.
    const auto depuis = m.simulateur.suivantDuJournal();
    m.cliquer("#lien-externe");
    ASSERT_TRUE(attendre([&] { return !m.systeme.ouvertes.empty(); }));
    for (const auto& e : m.simulateur.journal(depuis))
        EXPECT_NE(e.as_object().at("chemin"), "/externe") << "le site extérieur a été demandé";
    m.cliquer("#mailto");
    ASSERT_TRUE(attendre([&] { return m.systeme.ouvertes.size() == 2; }));
    EXPECT_TRUE(m.systeme.ouvertes[1].starts_with("mailto:"));
    EXPECT_EQ(m.web->urlCourante(), liens);

    // Configuration and sign-in pages in sub-frames load there; nothing is diverted.
    const auto requetesAvant = static_cast<long>(m.http.requetes.size());
    m.delegue->montrerMesOvrels();
    ASSERT_TRUE(m.charger(m.studio("/studio/demo/cadres-studio")));
    ASSERT_TRUE(attendre([&] {
        const auto titre = m.script("String([...document.querySelectorAll('#resultats li')].length)");
        return titre == "4";
    }));
    EXPECT_EQ(m.ecrans.ecran, Ecran::web);
    // No sign-in started: its probe would be here (beside the fleet the fleet page asked for).
    EXPECT_TRUE(std::none_of(m.http.requetes.begin() + requetesAvant, m.http.requetes.end(),
                             [](const auto& r) { return r.url.ends_with("/sante"); }));
    m.delegue->actionRetour();  // nothing set where Retour leads: the sign-in screen
    ASSERT_TRUE(attendre([&] { return m.ecrans.ecran == Ecran::connexion; }));

    // The main frame's configuration link, answered by a redirect to the site's page: Retour
    // then leads to the fleet page.
    m.ecrans.ecran = Ecran::web;
    ASSERT_TRUE(m.charger(liens));
    const int avant = m.chargementsFinis;
    m.cliquer("#configurer-redirige");
    // Shown once loaded (the view names the redirect's target before its response came).
    ASSERT_TRUE(attendre([&] { return m.chargementsFinis > avant && idDeConfigurer(m.web->urlCourante()); }));
    m.delegue->actionRetour();
    ASSERT_TRUE(attendre([&] { return m.web->urlCourante() == URL_STUDIO(); }));
}

TEST_F(PolitiqueWeb, UnePageQuiImprimeDeuxFoisOuvreUnSeulDialogue) {
    essais::RepondeurImpression annulation(std::nullopt, true);
    const int bips = m.dialogues.bips;
    ASSERT_TRUE(m.charger(m.studio("/studio/demo/impression")));
    // The page's two requests at load: one dialog. The second is refused with a beep while the
    // dialog is open, or ignored in the second after it closed, as the two messages' timing
    // goes (each case on its own is in the flow tests).
    ASSERT_TRUE(attendre([&] { return m.ligne("OVREL IMPRESSION: annulée"); }));
    essais::laisserTourner(300ms);
    EXPECT_EQ(annulation.dialogues, 1);
    EXPECT_LE(m.dialogues.bips, bips + 1);
    // Later, the page prints again.
    essais::laisserTourner(1s);
    m.cliquer("#imprimer");
    ASSERT_TRUE(attendre([&] { return annulation.dialogues == 2; }));
}

TEST_F(PolitiqueWeb, ImprimerLaFicheLaSecuriseAnnulerNon) {
    ASSERT_FALSE(m.fiche().empty());
    {
        essais::RepondeurImpression annulation(std::nullopt, true);
        m.delegue->imprimerPage();
        ASSERT_TRUE(attendre([&] { return annulation.dialogues == 1 && m.ligne("OVREL IMPRESSION: annulée"); }));
    }
    EXPECT_TRUE(m.delegue->ficheAGarder());
    const auto pdf = m.dossier.chemin() / "fiche.pdf";
    essais::RepondeurImpression impression(pdf);
    m.delegue->imprimerPage();
    ASSERT_TRUE(attendre([&] { return !m.delegue->ficheAGarder(); }, 60s));
    EXPECT_GT(std::filesystem::file_size(pdf), 0u);
    EXPECT_TRUE(m.ligne("OVREL IMPRESSION: faite"));
}

}  // namespace
}  // namespace ovrel
