// The test pages under /studio/demo, read the way the application's web host reads them: each
// link, frame or window a page offers falls on the side of a rule that page is meant to
// exercise (allowed or foreign host, configuration page, sign-in step, attachment), and the
// simulator answers it as the case needs.
#include "support.h"

#include "app/constantes.h"
#include "connexion/connexion.h"
#include "plateforme/adresse.h"
#include "plateforme/objets_g.h"
#include "web/adresses.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

namespace ovrel::essais {
namespace {

class PagesDEssai : public ::testing::Test {
protected:
    void SetUp() override { sim.reinitialiser(); }
    Simulateur& sim = Simulateur::instance();

    std::string demo(const std::string& chemin) const { return BASE_CLOUD() + "/studio/demo/" + chemin; }
};

// The value of attribute `nom` of the element whose id is `id`, entities of "&" undone; empty
// when there is no such element or attribute.
std::string attribut(const std::string& page, const std::string& id, const std::string& nom) {
    const auto i = page.find("id=\"" + id + "\"");
    if (i == std::string::npos) return "";
    const auto debut = page.rfind('<', i);
    const auto fin = page.find('>', i);
    const std::string balise = page.substr(debut, fin - debut);
    const auto a = balise.find(" " + nom + "=\"");
    if (a == std::string::npos) return "";
    const auto v = a + nom.size() + 3;
    std::string valeur = balise.substr(v, balise.find('"', v) - v);
    for (auto e = valeur.find("&amp;"); e != std::string::npos; e = valeur.find("&amp;", e + 1)) valeur.replace(e, 5, "&");
    return valeur;
}

// An address of a page made absolute, as the engine resolves it.
std::string resoudre(const std::string& base, const std::string& relative) {
    const TexteG r(g_uri_resolve_relative(base.c_str(), relative.c_str(), G_URI_FLAGS_NONE, nullptr));
    return r ? r.get() : "";
}

std::string hoteDe(const std::string& url) { return analyserAdresse(url)->hote.value_or(""); }

struct Fichier {
    const char* id;
    bool hoteAutorise;
    const char* type;      // start of the Content-Type answered
    bool pieceJointe;
    const char* extension;  // the end of the link's path
};

TEST_F(PagesDEssai, LesLiensDeTelechargementCouvrentHotesAutorisesEtEtrangersAvecLeurTypeEtLeurDisposition) {
    const Fichier fichiers[] = {
        {"sauvegarde", true, "application/octet-stream", true, ".ovrelbk"},
        {"pdf", true, "application/pdf", false, ".pdf"},
        {"zip", true, "application/zip", false, ".zip"},
        {"dmg", true, "application/octet-stream", false, ".dmg"},
        {"exe", true, "application/octet-stream", false, ".exe"},
        {"pkg", true, "application/octet-stream", false, ".pkg"},
        {"piece-jointe", true, "text/plain", true, "/rapport"},
        {"page-jointe", true, "text/html", true, ".html"},
        {"pdf-externe", false, "application/pdf", false, ".pdf"},
        {"zip-externe", false, "application/zip", false, ".zip"},
        {"sauvegarde-externe", false, "application/octet-stream", true, ".ovrelbk"},
        {"dmg-externe", false, "application/octet-stream", false, ".dmg"},
    };
    const std::string adresse = demo("sauvegarde");
    const Reponse page = obtenir(adresse);
    ASSERT_EQ(page.statut, 200);
    for (const Fichier& f : fichiers) {
        SCOPED_TRACE(f.id);
        const std::string lien = resoudre(adresse, attribut(page.corps, f.id, "href"));
        ASSERT_FALSE(lien.empty());
        EXPECT_EQ(hoteAutorise(lien), f.hoteAutorise) << lien;
        EXPECT_TRUE(finitPar(analyserAdresse(lien)->chemin, f.extension)) << lien;
        const Reponse r = obtenir(lien);
        EXPECT_EQ(r.statut, 200);
        EXPECT_EQ(r.entete("content-type").value_or("").rfind(f.type, 0), 0u) << r.entete("content-type").value_or("");
        EXPECT_EQ(estPieceJointe(r.entete("content-disposition")), f.pieceJointe);
    }
}

// What the web host makes of a link: its host rule, and which of its special pages it is.
struct Lien {
    const char* id;
    bool hoteAutorise;
    const char* connexion;  // navigationDeConnexion, "" when none
    bool configuration;     // a site-configuration page as written
    int statut;             // answered without a login
};

TEST_F(PagesDEssai, LaPageDeLiensOffreChaqueGenreDeNavigationPrincipale) {
    const Lien liens[] = {
        {"configurer", true, "", true, 401},
        {"configurer-redirige", true, "", false, 302},
        {"connexion-studio", true, "connexion", false, 302},
        {"connexion-auth", true, "connexion", false, 200},
        {"site-web", true, "", false, 200},
        {"lien-externe", false, "", false, 200},
    };
    const std::string adresse = demo("liens");
    const Reponse page = obtenir(adresse);
    ASSERT_EQ(page.statut, 200);
    EXPECT_EQ(page.corps.find("{{"), std::string::npos);
    for (const Lien& l : liens) {
        SCOPED_TRACE(l.id);
        const std::string lien = resoudre(adresse, attribut(page.corps, l.id, "href"));
        EXPECT_EQ(hoteAutorise(lien), l.hoteAutorise) << lien;
        EXPECT_EQ(navigationDeConnexion(lien).value_or(""), l.connexion) << lien;
        EXPECT_EQ(idDeConfigurer(lien).has_value(), l.configuration) << lien;
        EXPECT_EQ(obtenir(lien).statut, l.statut) << lien;
    }

    EXPECT_EQ(genreDeLien(attribut(page.corps, "schema-connexion", "href")), LienApp::Connexion);
    const std::string ouvrir = attribut(page.corps, "schema-ouvrir", "href");
    EXPECT_EQ(genreDeLien(ouvrir), LienApp::Ouvrir);
    EXPECT_EQ(serieAOuvrir(ouvrir), "OV24A0001");
    const auto courriel = analyserAdresse(attribut(page.corps, "mailto", "href"));
    ASSERT_TRUE(courriel);
    EXPECT_EQ(courriel->schema, "mailto");
}

TEST_F(PagesDEssai, LaConfigurationDemandeeParSerieEstRedirigeeVersLaPageDuSite) {
    struct Cas {
        const char* requete;
        int statut;
        const char* serie;  // the box whose configuration page it leads to, "" for none
    };
    const Cas cas[] = {
        {"?serie=OV24A0001", 302, "OV24A0001"},
        {"?serie=ov24-a0002", 302, "OV24A0002"},
        {"?serie=OV00X9999", 404, ""},
        {"", 404, ""},
    };
    const std::string cookie = sim.cookie("installateur");
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.requete);
        const Reponse r = obtenir(BASE_CLOUD() + "/studio/configurer" + c.requete, cookie);
        EXPECT_EQ(r.statut, c.statut);
        if (c.serie[0] == '\0') continue;
        const std::string vers = resoudre(BASE_CLOUD() + "/studio/configurer", r.entete("location").value_or(""));
        EXPECT_EQ(idDeConfigurer(vers), sim.idDeSerie(c.serie)) << vers;
        EXPECT_EQ(serieDeConfigurer(vers), c.serie) << vers;
        // Followed, it is the real configuration entry: on to the tunnel.
        const Reponse suite = obtenir(vers, cookie);
        EXPECT_EQ(suite.statut, 302);
        EXPECT_TRUE(finitPar(hoteDe(suite.entete("location").value_or("x:")), SUFFIXE_BOX()));
    }
}

TEST_F(PagesDEssai, LesNouvellesFenetresVisentUnHoteAutoriseOuEtranger) {
    struct Fenetre {
        const char* id;
        const char* attribut;  // "href" for a target="_blank" link, "data-url" for window.open
        bool hoteAutorise;
    };
    const Fenetre fenetres[] = {
        {"blank-studio", "href", true}, {"blank-site", "href", true}, {"blank-externe", "href", false},
        {"open-studio", "data-url", true}, {"open-site", "data-url", true}, {"open-externe", "data-url", false},
    };
    const std::string adresse = demo("fenetres");
    const Reponse page = obtenir(adresse);
    ASSERT_EQ(page.statut, 200);
    for (const Fenetre& f : fenetres) {
        SCOPED_TRACE(f.id);
        EXPECT_EQ(attribut(page.corps, f.id, "target"), std::string(f.attribut) == "href" ? "_blank" : "");
        const std::string cible = resoudre(adresse, attribut(page.corps, f.id, f.attribut));
        EXPECT_EQ(hoteAutorise(cible), f.hoteAutorise) << cible;
        const Reponse r = obtenir(cible);
        EXPECT_EQ(r.statut, 200) << cible;
        EXPECT_EQ(r.corps.find("{{"), std::string::npos);
    }
}

TEST_F(PagesDEssai, LesCadresDEssaiViennentDeLOrigineQueLeurCasDemande) {
    struct Cadre {
        const char* page;
        const char* id;
        bool memeHote;          // same host as the page
        bool hoteAutorise;
        const char* connexion;  // navigationDeConnexion
        bool configuration;     // the configuration page, as written or once redirected
        bool imprime;           // the frame is asked to call window.print() too
    };
    const Cadre cadres[] = {
        {"messages", "cadre-etranger", false, false, "", false, false},
        {"messages", "cadre-meme-origine", true, true, "", false, false},
        {"messages?imprimer=1", "cadre-etranger", false, false, "", false, true},
        {"messages?imprimer=1", "cadre-meme-origine", true, true, "", false, true},
        {"cadres-studio", "cadre-configurer", true, true, "", true, false},
        {"cadres-studio", "cadre-configurer-redirige", true, true, "", true, false},
        {"cadres-studio", "cadre-connexion", true, true, "connexion", false, false},
        {"cadres-studio", "cadre-auth", false, true, "connexion", false, false},
    };
    const std::string cookie = sim.cookie("installateur");
    for (const Cadre& c : cadres) {
        SCOPED_TRACE(std::string(c.page) + " " + c.id);
        const std::string adresse = demo(c.page);
        const Reponse page = obtenir(adresse);
        ASSERT_EQ(page.statut, 200);
        const std::string src = resoudre(adresse, attribut(page.corps, c.id, "src"));
        EXPECT_EQ(hoteDe(src) == hoteDe(adresse), c.memeHote) << src;
        EXPECT_EQ(hoteAutorise(src), c.hoteAutorise) << src;
        EXPECT_EQ(navigationDeConnexion(src).value_or(""), c.connexion) << src;
        EXPECT_EQ(analyserAdresse(src)->premierElement("imprimer").has_value(), c.imprime) << src;
        const Reponse r = obtenir(src, cookie);
        const std::string vers = r.statut == 302 ? resoudre(src, r.entete("location").value_or("")) : src;
        EXPECT_EQ(idDeConfigurer(src).has_value() || idDeConfigurer(vers).has_value(), c.configuration) << src;
        EXPECT_TRUE(r.statut >= 200 && r.statut < 400) << r.statut << " " << src;
    }
}

}  // namespace
}  // namespace ovrel::essais
