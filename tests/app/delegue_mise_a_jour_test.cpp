// The update check against every answer the channel can give, automatic and manual.
#include "app/constantes.h"
#include "tests/faux/banc_delegue.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

class DelegueMiseAJour : public ::testing::Test, protected BancDelegue {
protected:
    void verifier(bool manuel, ReponseHttp reponse) {
        http.scripter(CANAL_MAJ(), std::move(reponse));
        delegue->verifierMiseAJour(manuel);
        minuteries.vider();
    }
    static DialogueMontre alerte(const std::string& message) {
        return {GenreDialogue::alerte, "Mise à jour", message, {"OK"}, {}, false};
    }
    static DialogueMontre offre(const std::string& version) {
        return {GenreDialogue::question,
                "Mise à jour disponible",
                "Ovrel Studio " + version + " est disponible (vous avez 0.6.2).",
                {"Télécharger", "Plus tard"},
                {},
                false};
    }
};

const char* const NOUVELLE = R"({"version":"0.6.10","url":"https://www.ovrel.example/dl/ovrel-0.6.10.deb"})";

TEST_F(DelegueMiseAJour, LaRequeteRechargeLeManifesteSansEntete) {
    delegue->verifierMiseAJour(false);
    ASSERT_EQ(http.requetes.size(), 1u);
    const RequeteHttp& r = http.requetes[0];
    EXPECT_EQ(r.methode, "GET");
    EXPECT_EQ(r.url, CANAL_MAJ());
    EXPECT_TRUE(r.ignorerCache);
    EXPECT_EQ(r.delai, 60s);
    EXPECT_TRUE(r.entetes.empty());
    EXPECT_FALSE(r.corps);
    EXPECT_FALSE(r.sansRedirection);
    // Nothing is shown before the answer arrives.
    minuteries.avancer(10s);
    EXPECT_TRUE(dialogues.montres.empty());
}

TEST_F(DelegueMiseAJour, VersionPlusRecenteProposeeMemeAuLancementEtTelechargee) {
    dialogues.choisir("Télécharger");
    verifier(false, HttpFaux::reponse(200, NOUVELLE));
    EXPECT_EQ(dialogues.montres, std::vector<DialogueMontre>{offre("0.6.10")});
    EXPECT_EQ(systeme.ouvertes, std::vector<std::string>{"https://www.ovrel.example/dl/ovrel-0.6.10.deb"});
}

TEST_F(DelegueMiseAJour, PlusTardNOuvreRien) {
    dialogues.choisir("Plus tard");
    verifier(true, HttpFaux::reponse(200, NOUVELLE));
    EXPECT_EQ(dialogues.montres, std::vector<DialogueMontre>{offre("0.6.10")});
    EXPECT_TRUE(systeme.ouvertes.empty());
}

TEST_F(DelegueMiseAJour, AdresseDeTelechargementIllisibleNOuvreRien) {
    dialogues.choisir("Télécharger");
    verifier(true, HttpFaux::reponse(200, R"({"version":"1.0","url":"pas une adresse"})"));
    EXPECT_EQ(dialogues.montres, std::vector<DialogueMontre>{offre("1.0")});
    EXPECT_TRUE(systeme.ouvertes.empty());
}

TEST_F(DelegueMiseAJour, ManifesteServiAvecUne404EstLuQuandMeme) {
    dialogues.choisir("Télécharger");
    verifier(false, HttpFaux::reponse(404, R"({"version":"v0.7","url":"https://x.ovrel.example/"})"));
    EXPECT_EQ(dialogues.montres, std::vector<DialogueMontre>{offre("v0.7")});
    EXPECT_EQ(systeme.ouvertes, std::vector<std::string>{"https://x.ovrel.example/"});
}

TEST_F(DelegueMiseAJour, MemeVersionSignaleeSeulementALaDemande) {
    verifier(false, HttpFaux::reponse(200, R"({"version":"0.6.2","url":"https://x.ovrel.example/"})"));
    EXPECT_TRUE(dialogues.montres.empty());
    verifier(true, HttpFaux::reponse(200, R"({"version":"0.6.2.0","url":"https://x.ovrel.example/"})"));
    EXPECT_EQ(dialogues.montres, std::vector<DialogueMontre>{alerte("Ovrel Studio est à jour (0.6.2).")});
    EXPECT_TRUE(systeme.ouvertes.empty());
}

TEST_F(DelegueMiseAJour, VersionPlusAncienneEstAJour) {
    verifier(true, HttpFaux::reponse(200, R"({"version":"0.5.9","url":"https://x.ovrel.example/"})"));
    EXPECT_EQ(dialogues.montres, std::vector<DialogueMontre>{alerte("Ovrel Studio est à jour (0.6.2).")});
}

TEST_F(DelegueMiseAJour, ManifesteMalFormeOuCanalMuet) {
    const std::vector<ReponseHttp> mauvaises = {
        HttpFaux::reponse(200, R"({"version":0.7,"url":"https://x.ovrel.example/"})"),
        HttpFaux::reponse(200, R"({"version":"0.7"})"),
        HttpFaux::reponse(200, R"(["0.7"])"),
        HttpFaux::reponse(200, "<html>panne</html>"),
        HttpFaux::reponse(200, std::nullopt),
        HttpFaux::echec("g-io-error-quark", 39),
    };
    for (const auto& r : mauvaises) {
        verifier(false, r);
        EXPECT_TRUE(dialogues.montres.empty());
    }
    for (const auto& r : mauvaises) {
        dialogues.montres.clear();
        verifier(true, r);
        EXPECT_EQ(dialogues.montres, std::vector<DialogueMontre>{alerte("Canal de mise à jour injoignable.")});
    }
    EXPECT_TRUE(systeme.ouvertes.empty());
}

TEST_F(DelegueMiseAJour, LeMenuLanceUneVerificationManuelle) {
    http.scripter(CANAL_MAJ(), HttpFaux::echec("g-resolver-error-quark", 0));
    delegue->verifierMiseAJourManuelle();
    minuteries.vider();
    EXPECT_EQ(dialogues.montres, std::vector<DialogueMontre>{alerte("Canal de mise à jour injoignable.")});
}

TEST_F(DelegueMiseAJour, ReponseTardiveSansEffetUneFoisLObjetDetruit) {
    delegue->verifierMiseAJour(true);
    delegue.reset();
    http.repondre(HttpFaux::reponse(200, NOUVELLE));
    minuteries.vider();
    EXPECT_TRUE(dialogues.montres.empty());
}

}  // namespace
