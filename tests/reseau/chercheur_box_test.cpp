// The box finder's table: each resolved service recorded bare, then completed by the box's own
// answer; answers of an earlier start or of devices that are not boxes change nothing.
#include "reseau/chercheur_box.h"
#include "tests/faux/decouverte_faux.h"
#include "tests/faux/http_faux.h"
#include "tests/faux/minuteries_faux.h"

#include <gtest/gtest.h>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

struct Banc {
    HorlogeManuelle horloge{instantDepuis1970(1'700'000'000)};
    MinuteriesFaux minuteries{horloge};
    HttpFaux http{minuteries};
    DecouverteFaux decouverte;
    ChercheurBox chercheur{decouverte, http, minuteries};
    int changements = 0;

    Banc() {
        http.retenir = true;
        chercheur.definirSurChangement([this] { ++changements; });
    }
};

const std::string IDENTITE = R"({"produit":"ovrel-box","nom":"Bureau","version":"0.7.2","serie":"KB-0042"})";

TEST(ChercheurBox, UnServiceResoluEstInscritPuisComplete) {
    Banc b;
    b.chercheur.demarrer();
    EXPECT_EQ(b.decouverte.type, "_ovrel-box._tcp");
    EXPECT_EQ(b.decouverte.domaine, "local");
    EXPECT_EQ(b.changements, 1);  // the start shows the empty, searching list

    b.decouverte.resoudre("box-bureau.local.", 8000);
    ASSERT_EQ(b.chercheur.boxes().count("box-bureau.local:8000"), 1u);
    const BoxTrouvee nue = b.chercheur.boxes().at("box-bureau.local:8000");
    EXPECT_EQ(nue.nom, "box-bureau.local");
    EXPECT_TRUE(nue.serie.empty());
    EXPECT_EQ(b.changements, 2);
    ASSERT_EQ(b.http.requetes.size(), 1u);
    EXPECT_EQ(b.http.requetes[0].url, "http://box-bureau.local:8000/api/decouverte");
    EXPECT_EQ(b.http.requetes[0].delai, 3s);  // a mute device never holds the list back

    // The status is not looked at: a box's document counts whatever it comes with.
    b.http.repondre(HttpFaux::reponse(500, IDENTITE));
    b.minuteries.vider();
    const BoxTrouvee connue = b.chercheur.boxes().at("box-bureau.local:8000");
    EXPECT_EQ(connue.nom, "Bureau");
    EXPECT_EQ(connue.version, "0.7.2");
    EXPECT_EQ(connue.empreinte, "KB-0042");
    EXPECT_EQ(b.changements, 3);

    // Resolved again (it came back): bare again until it answers again.
    b.decouverte.resoudre("box-bureau.local", 8000);
    EXPECT_EQ(b.chercheur.boxes().at("box-bureau.local:8000"), nue);
    EXPECT_EQ(b.http.requetes.size(), 2u);
}

TEST(ChercheurBox, LesReponsesQuiNeViennentPasDUneBoxDuDemarrageEnCoursSontIgnorees) {
    Banc b;
    b.chercheur.demarrer();
    b.decouverte.resoudre("imprimante.local", 631);
    b.decouverte.resoudre("box-bureau.local", 8000);
    b.decouverte.resoudre("muette.local", 8000);
    const auto avant = b.chercheur.boxes();
    b.http.repondre(HttpFaux::reponse(200, R"({"produit":"imprimante","nom":"HP"})"));
    b.http.repondre(HttpFaux::reponse(200, "<html>pas du JSON</html>"));
    b.minuteries.vider();
    EXPECT_EQ(b.chercheur.boxes(), avant);

    // A new start empties the table; the mute box's late answer does not bring it back, nor
    // does it fill the same box found again since.
    b.chercheur.demarrer();
    EXPECT_TRUE(b.chercheur.boxes().empty());
    b.decouverte.resoudre("muette.local", 8000);
    b.http.repondre(HttpFaux::reponse(200, IDENTITE));
    b.minuteries.vider();
    EXPECT_EQ(b.chercheur.boxes().at("muette.local:8000").nom, "muette.local");
    // A service without host name, or without port, never enters the table.
    b.decouverte.resoudre(".", 8000);
    b.decouverte.resoudre("box-zero.local", 0);
    EXPECT_EQ(b.chercheur.boxes().size(), 1u);
}

TEST(ChercheurBox, UneBoxInjoignableEstRedemandeeDeuxFoisAuPlusUneMuetteJamais) {
    Banc b;
    b.chercheur.demarrer();
    // Just back at another address: the first query still went to the old one.
    b.decouverte.resoudre("box-bureau.local", 8000);
    b.decouverte.resoudre("muette.local", 8000);
    b.http.repondre(HttpFaux::echec("g-io-error-quark", 39));  // refused
    b.http.repondre(HttpFaux::echec("g-io-error-quark", 24));  // timed out
    b.minuteries.avancer(1500ms);
    ASSERT_EQ(b.http.requetes.size(), 3u);
    EXPECT_EQ(b.http.requetes[2].url, "http://box-bureau.local:8000/api/decouverte");
    EXPECT_TRUE(b.http.requetes[2].independante);
    b.http.repondre(HttpFaux::reponse(200, IDENTITE));
    b.minuteries.vider();
    EXPECT_EQ(b.chercheur.boxes().at("box-bureau.local:8000").nom, "Bureau");
    // Asked twice more at most, 1.5 s then 3 s later; a restart drops what waits.
    b.decouverte.resoudre("autre.local", 8000);
    for (int essai = 0; essai < 3; ++essai) {
        b.http.repondre(HttpFaux::echec("g-io-error-quark", 39));
        b.minuteries.avancer(3s);
    }
    EXPECT_EQ(b.http.requetes.size(), 6u);
    b.decouverte.resoudre("encore.local", 8000);
    b.http.repondre(HttpFaux::echec("g-io-error-quark", 39));
    b.chercheur.demarrer();
    b.minuteries.avancer(10s);
    EXPECT_EQ(b.http.requetes.size(), 7u);
}

}  // namespace
