// The cloud over HTTPS (its own certificate, signed by the authority the simulator makes at
// start, which never covers the boxes behind the tunnel), the answers that keep a client on the
// scheme it came by (Secure login cookie included), and the headers the request journal keeps.
#include "support.h"

#include "app/constantes.h"
#include "plateforme/adresse.h"
#include "plateforme/objets_g.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <unistd.h>

namespace ovrel::essais {
namespace {

namespace json = boost::json;

class Https : public ::testing::Test {
protected:
    void SetUp() override { sim.reinitialiser(); }
    Simulateur& sim = Simulateur::instance();
};

// The checks a client trusting only `autorite` makes of this certificate for this host: no flag
// when it would connect.
GTlsCertificateFlags verifier(const std::string& pem, const std::string& autoritePem, const std::string& hote) {
    const auto certificat = RefG<GTlsCertificate>::adopter(g_tls_certificate_new_from_pem(pem.c_str(), -1, nullptr));
    const auto autorite = RefG<GTlsCertificate>::adopter(g_tls_certificate_new_from_pem(autoritePem.c_str(), -1, nullptr));
    if (!certificat || !autorite) return G_TLS_CERTIFICATE_GENERIC_ERROR;
    const auto identite = RefG<GSocketConnectable>::adopter(g_network_address_new(hote.c_str(), 443));
    return g_tls_certificate_verify(certificat.get(), identite.get(), autorite.get());
}

TEST_F(Https, LeCertificatDuCloudVientDeLAutoriteEtNeCouvrePasLesBoxesDuTunnel) {
    struct Cas {
        std::string prefixe;  // host under the domain; "127.0.0.1" stands alone
        bool portHttps;       // else the tunnel's TLS port
        GTlsCertificateFlags attendus;
    };
    const Cas cas[] = {
        {"studio.", true, GTlsCertificateFlags(0)},
        {"auth.", true, GTlsCertificateFlags(0)},
        {"www.", true, GTlsCertificateFlags(0)},
        {"portail.", true, GTlsCertificateFlags(0)},
        {"127.0.0.1", true, GTlsCertificateFlags(0)},
        {"b-ov24a0001.box.", true, G_TLS_CERTIFICATE_BAD_IDENTITY},
        // The tunnel keeps its self-signed certificate: the authority knows nothing of it.
        {"b-ov24a0001.box.", false, G_TLS_CERTIFICATE_UNKNOWN_CA},
        {"studio.", false, G_TLS_CERTIFICATE_UNKNOWN_CA},
    };
    const Reponse autorite = sim.controle("GET", "/autorite");
    ASSERT_EQ(autorite.statut, 200);
    for (const Cas& c : cas) {
        const std::string hote = c.prefixe == "127.0.0.1" ? c.prefixe : c.prefixe + sim.domaine;
        SCOPED_TRACE(hote + (c.portHttps ? " (https)" : " (tls)"));
        const int port = c.portHttps ? sim.portHttps : sim.portTls;
        const Reponse r = obtenir("https://" + hote + ":" + std::to_string(port) + "/");
        ASSERT_GT(r.statut, 0) << r.domaineErreur;
        EXPECT_EQ(verifier(r.certificatPem, autorite.corps, hote) & (G_TLS_CERTIFICATE_UNKNOWN_CA | G_TLS_CERTIFICATE_BAD_IDENTITY),
                  c.attendus);
    }
}

TEST_F(Https, LesReponsesGardentLeClientSurLeSchemaEtLePortParLesquelsIlEstVenu) {
    for (const bool https : {false, true}) {
        SCOPED_TRACE(https ? "https" : "http");
        const auto url = [&](const std::string& prefixe, const std::string& chemin) {
            return https ? sim.urlHttps(prefixe, chemin) : sim.urlHote(prefixe, chemin);
        };
        const auto origine = [&](const std::string& prefixe) {
            const std::string u = url(prefixe, "/");
            return u.substr(0, u.size() - 1);
        };

        // The sign-in goes to the sign-in host and comes back to the studio by the same way in.
        const Reponse connexion = obtenir(url("studio.", "/connexion"));
        ASSERT_EQ(connexion.statut, 302) << connexion.domaineErreur;
        const std::string autorisation = connexion.entete("location").value_or("");
        EXPECT_EQ(autorisation.rfind(origine("auth.") + "/", 0), 0u) << autorisation;
        const auto retour = analyserAdresse(autorisation)->premierElement("redirect_uri");
        ASSERT_TRUE(retour && retour->valeur);
        EXPECT_EQ(*retour->valeur, origine("studio.") + "/studio");
        const Reponse choisi = obtenir(url("auth.", "/realms/ovrel/login-actions/authenticate?compte=installateur"));
        EXPECT_EQ(choisi.entete("location").value_or("").rfind(origine("studio.") + "/studio/app/session?jeton=", 0), 0u);

        // Over HTTPS the login cookie is Secure: it never travels in clear.
        const Reponse session = obtenir(choisi.entete("location").value_or(""));
        ASSERT_EQ(session.cookiesPoses.size(), 1u);
        EXPECT_EQ(session.cookiesPoses[0].find("; Secure") != std::string::npos, https) << session.cookiesPoses[0];
        const std::string cookie = session.cookiesPoses[0].substr(0, session.cookiesPoses[0].find(';'));
        EXPECT_EQ(obtenir(url("studio.", "/api/moi"), cookie).statut, 200);

        // Absolute addresses of documents: the download of the update manifest, the fleet's actions.
        const auto manifeste = obtenir(url("www.", std::string(CHEMIN_MANIFESTE))).json();
        ASSERT_TRUE(manifeste);
        EXPECT_EQ(std::string(manifeste->at("url").as_string()), origine("www.") + "/telecharger");
        const std::string parc = obtenir(url("studio.", "/studio/api/parc"), cookie).corps;
        EXPECT_NE(parc.find("\"" + origine("studio.") + "/studio/api/sites/"), std::string::npos) << parc.substr(0, 300);
        EXPECT_EQ(parc.find(https ? "\"http://" : "\"https://"), std::string::npos);
        EXPECT_EQ(obtenir(url("", "/")).entete("location"), origine("studio.") + "/studio");
    }
}

TEST_F(Https, LAutoriteEstEcriteOuOnLaDemandeEtChaqueDemarrageALaSienne) {
    const std::string fichier = std::string(g_get_tmp_dir()) + "/ovrel-autorite-" + std::to_string(getpid()) + ".pem";
    std::string erreur;
    auto autre = Simulateur::lancer({"--port-cloud", "0", "--port-tls", "0", "--port-controle", "0", "--port-ancien", "0",
                                     "--sans-avahi", "--port-https", "0", "--fichier-autorite", fichier},
                                    erreur);
    ASSERT_TRUE(autre) << erreur;
    std::stringstream ecrite;
    ecrite << std::ifstream(fichier).rdbuf();
    EXPECT_EQ(ecrite.str(), autre->controle("GET", "/autorite").corps);
    EXPECT_EQ(autre->controle("GET", "/etat").json()->at("ports").at("https").as_int64(), autre->portHttps);
    EXPECT_NE(ecrite.str(), sim.controle("GET", "/autorite").corps);
    EXPECT_EQ(autre->arreter(), 0);
    g_remove(fichier.c_str());
    EXPECT_EQ(executer({OVREL_SIMULATEUR_EXE, "--fichier-autorite", fichier}).statut, 2) << "une autorité sans port HTTPS";
}

// --- The journal's headers ---

struct Envoi {
    const char* nom;
    Requete requete;
    bool https;
    const char* accept;  // "" when absent from the entry
    const char* type;
    std::vector<std::string> cookies;
    std::uint64_t longueur;
};

TEST_F(Https, LeJournalNoteLesEntetesQuiComptentEtLesNomsDesCookiesSansLeursValeurs) {
    const std::string secret = "valeur-secrete-0123456789";
    const Envoi envois[] = {
        {"sans cookie", {"GET", BASE_CLOUD() + "/sante", "", "", {{"Accept", "application/json"}}, std::nullopt, 5}, false,
         "application/json", "", {}, 0},
        {"formulaire en HTTPS",
         {"POST", sim.urlHttps("studio.", "/studio/demo/rapport"), "a=1&b=22", "application/x-www-form-urlencoded",
          {{"Accept", "text/html,*/*;q=0.8"}, {"Cookie", "ovrel_session=" + secret + "; autre=" + secret}}, std::nullopt, 5},
         true, "text/html,*/*;q=0.8", "application/x-www-form-urlencoded", {"ovrel_session", "autre"}, 8},
        {"site extérieur",
         {"PUT", "http://127.0.0.1:" + std::to_string(sim.portCloud) + "/rapport", "{\"x\":1}", "application/json",
          {{"Cookie", "c=" + secret}}, std::nullopt, 5},
         false, "", "application/json", {"c"}, 7},
        // The mute box reads its requests itself (and never answers: 1 s is enough to send).
        {"box muette",
         {"POST", "http://127.0.0.1:" + std::to_string(sim.box("muette").at("port").as_int64()) + "/api/x", "12345",
          "text/plain", {{"Accept", "*/*"}, {"Cookie", "k=" + secret}}, std::nullopt, 1},
         false, "*/*", "text/plain", {"k"}, 5},
    };
    for (const Envoi& e : envois) {
        SCOPED_TRACE(e.nom);
        const std::uint64_t depuis = sim.suivantDuJournal();
        envoyer(e.requete);
        const auto entrees = sim.journal(depuis);
        ASSERT_EQ(entrees.size(), 1u);
        const json::object& o = entrees[0].as_object();
        EXPECT_EQ(o.at("https").as_bool(), e.https);
        EXPECT_EQ(o.contains("accept") ? std::string(o.at("accept").as_string()) : "", e.accept);
        EXPECT_EQ(o.contains("type") ? std::string(o.at("type").as_string()) : "", e.type);
        std::vector<std::string> cookies;
        for (const auto& n : o.at("cookies").as_array()) cookies.emplace_back(n.as_string());
        EXPECT_EQ(cookies, e.cookies);
        EXPECT_EQ(o.at("longueur").to_number<std::uint64_t>(), e.longueur);
        EXPECT_EQ(json::serialize(o).find(secret), std::string::npos);
    }
    // The line printed for each request keeps its form, and no cookie value.
    const std::string ligne = "REQ cloud POST studio." + sim.domaine + ":" + std::to_string(sim.portHttps) +
                              " /studio/demo/rapport 204\n";
    std::stringstream sortie;
    sortie << std::ifstream(sim.sortie()).rdbuf();
    EXPECT_NE(sortie.str().find(ligne), std::string::npos) << ligne;
    EXPECT_EQ(sortie.str().find(secret), std::string::npos);
}

}  // namespace
}  // namespace ovrel::essais
