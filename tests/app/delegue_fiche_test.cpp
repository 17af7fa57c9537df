// The label-sheet guard, forgetting the sheet, and the quit.
#include "app/constantes.h"
#include "tests/faux/banc_delegue.h"
#include "web/adresses.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

class DelegueFiche : public ::testing::Test, protected BancDelegue {
protected:
    const std::string fiche = "https://" + HOTE_STUDIO() + "/admin/etiquette/B-0042";
    int terminaisons = 0;

    void surFicheNonGardee() {
        ASSERT_TRUE(estFicheEtiquette(fiche));
        ecrans.ecran = Ecran::web;
        engager(fiche);
    }
    std::function<void()> terminer() {
        return [this] { ++terminaisons; };
    }
};

const DialogueMontre QUESTION_FICHE{
    GenreDialogue::question,
    "Le code de cette étiquette n'est gardé nulle part",
    "L'étiquette n'est pas imprimée et le livret n'est pas téléchargé. Ce code ne sera plus jamais affiché : "
    "le cloud n'en garde qu'une empreinte. Imprimez l'étiquette (Ctrl+P, ou « Enregistrer au format PDF ») ou "
    "téléchargez le livret avant de partir — sinon il faudra une nouvelle étiquette (nouveau code), depuis la "
    "fiche console de la box.",
    {"Rester sur la fiche", "Partir sans l'étiquette"},
    {},
    false};

TEST_F(DelegueFiche, LaQuestionDuGardienEtSesDeuxReponses) {
    surFicheNonGardee();
    dialogues.choisir("Rester sur la fiche");
    EXPECT_FALSE(delegue->sortieDeFicheConfirmee());
    EXPECT_EQ(dialogues.montres, (std::vector<DialogueMontre>{QUESTION_FICHE}));
    EXPECT_TRUE(delegue->ficheAGarder());

    dialogues.choisir("Partir sans l'étiquette");
    EXPECT_TRUE(delegue->sortieDeFicheConfirmee());
    EXPECT_FALSE(delegue->ficheAGarder());
    // Disarmed: no more question.
    EXPECT_TRUE(delegue->sortieDeFicheConfirmee());
    EXPECT_EQ(dialogues.montres.size(), 2u);
    // The sheet stays where it is: leaving is the caller's business.
    EXPECT_TRUE(vue.chargements.empty());
}

TEST_F(DelegueFiche, FermerLaQuestionDuGardienResteSurLaFiche) {
    // Escape or the window's close button choose no button: the code must not be lost by it.
    surFicheNonGardee();
    EXPECT_FALSE(delegue->sortieDeFicheConfirmee());
    EXPECT_TRUE(delegue->ficheAGarder());
    EXPECT_EQ(dialogues.montres, (std::vector<DialogueMontre>{QUESTION_FICHE}));
}

TEST_F(DelegueFiche, RienADemanderHorsDUneFicheNonGardeeALEcran) {
    surFicheNonGardee();
    delegue->oublierLaFiche();
    EXPECT_TRUE(delegue->sortieDeFicheConfirmee());

    surFicheNonGardee();
    ecrans.fenetre = false;
    EXPECT_TRUE(delegue->sortieDeFicheConfirmee());

    ecrans.fenetre = true;
    ecrans.ecran = Ecran::atelier;
    EXPECT_TRUE(delegue->sortieDeFicheConfirmee());

    // Committing any other page disarms the guard.
    for (std::optional<std::string> autre : {std::optional<std::string>("https://" + HOTE_STUDIO() + "/admin/box/B-0042"),
                                             std::optional<std::string>("https://ailleurs.example/admin/etiquette/B-0042"),
                                             std::optional<std::string>()}) {
        surFicheNonGardee();
        engager(autre);
        EXPECT_FALSE(delegue->ficheAGarder());
        EXPECT_TRUE(delegue->sortieDeFicheConfirmee());
    }

    EXPECT_TRUE(dialogues.montres.empty());
}

TEST_F(DelegueFiche, UneSecondeSortiePendantLaQuestionEstRefusee) {
    surFicheNonGardee();
    std::optional<bool> pendantLaQuestion;
    dialogues.pendant = [&] { pendantLaQuestion = delegue->sortieDeFicheConfirmee(); };
    dialogues.choisir("Partir sans l'étiquette");
    EXPECT_TRUE(delegue->sortieDeFicheConfirmee());
    ASSERT_TRUE(pendantLaQuestion);
    EXPECT_FALSE(*pendantLaQuestion);
    EXPECT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.questionsSansReponse, 0);
}

TEST_F(DelegueFiche, OublierUneFicheLaRemplaceParUnePageBlanche) {
    surFicheNonGardee();
    delegue->oublierLaFiche();
    EXPECT_FALSE(delegue->ficheAGarder());
    EXPECT_EQ(vue.chargements, (std::vector<ChargementWeb>{{"about:blank", 60s}}));
    EXPECT_TRUE(dialogues.montres.empty());
}

TEST_F(DelegueFiche, OublierUneAutrePageNeFaitRien) {
    engager(URL_STUDIO());
    delegue->oublierLaFiche();
    EXPECT_TRUE(vue.chargements.empty());

    engager(std::nullopt);
    delegue->oublierLaFiche();
    EXPECT_TRUE(vue.chargements.empty());

    // No web view: nothing to blank.
    surFicheNonGardee();
    delegue->attacherVueWeb(nullptr);
    delegue->oublierLaFiche();
    EXPECT_TRUE(delegue->ficheAGarder());
    EXPECT_TRUE(vue.chargements.empty());
}

TEST_F(DelegueFiche, QuitterApresLaSauvegardeDesCookies) {
    vue.magasin = {cookieEssai("session", "s2", HOTE_STUDIO())};
    vue.retenirCookies = true;

    EXPECT_EQ(delegue->applicationShouldTerminate(terminer()), ReponseTerminaison::plusTard);
    EXPECT_TRUE(dialogues.montres.empty());
    EXPECT_EQ(terminaisons, 0);

    minuteries.avancer(300ms);
    ASSERT_TRUE(vue.libererCookies());
    EXPECT_EQ(http.jar, vue.magasin);
    minuteries.vider();
    EXPECT_EQ(terminaisons, 1);
    // The delay that lost the race is gone.
    EXPECT_EQ(minuteries.actives(), 0u);

    minuteries.avancer(2s);
    EXPECT_EQ(terminaisons, 1);
}

TEST_F(DelegueFiche, QuitterAuPlusTardApresUneSecondeEtDemie) {
    vue.retenirCookies = true;  // the store never answers
    EXPECT_EQ(delegue->applicationShouldTerminate(terminer()), ReponseTerminaison::plusTard);
    minuteries.avancer(1499ms);
    EXPECT_EQ(terminaisons, 0);
    minuteries.avancer(1ms);
    EXPECT_EQ(terminaisons, 1);
    // The save arriving after all answers nothing more.
    ASSERT_TRUE(vue.libererCookies());
    minuteries.avancer(1s);
    EXPECT_EQ(terminaisons, 1);
}

TEST_F(DelegueFiche, QuitterSansVueWebAttendQuandMemeLaFileUnTour) {
    delegue->attacherVueWeb(nullptr);
    EXPECT_EQ(delegue->applicationShouldTerminate(terminer()), ReponseTerminaison::plusTard);
    EXPECT_EQ(terminaisons, 0);  // never from inside the request
    minuteries.vider();
    EXPECT_EQ(terminaisons, 1);
    minuteries.avancer(2s);
    EXPECT_EQ(terminaisons, 1);
}

TEST_F(DelegueFiche, QuitterRefuseParLeGardien) {
    surFicheNonGardee();
    dialogues.choisir("Rester sur la fiche");
    EXPECT_EQ(delegue->applicationShouldTerminate(terminer()), ReponseTerminaison::annuler);
    EXPECT_EQ(dialogues.montres, (std::vector<DialogueMontre>{QUESTION_FICHE}));
    EXPECT_TRUE(delegue->ficheAGarder());
    minuteries.avancer(5s);
    EXPECT_EQ(terminaisons, 0);
    EXPECT_TRUE(http.jar.empty());
}

TEST_F(DelegueFiche, QuitterEnAbandonnantLaFiche) {
    surFicheNonGardee();
    vue.magasin = {cookieEssai("session", "s3", HOTE_STUDIO())};
    dialogues.choisir("Partir sans l'étiquette");
    EXPECT_EQ(delegue->applicationShouldTerminate(terminer()), ReponseTerminaison::plusTard);
    EXPECT_FALSE(delegue->ficheAGarder());
    minuteries.vider();
    EXPECT_EQ(terminaisons, 1);
    EXPECT_EQ(http.jar, vue.magasin);
}

TEST_F(DelegueFiche, UneSecondeDemandePendantLAttenteNeRelanceRien) {
    vue.retenirCookies = true;
    int secondes = 0;
    EXPECT_EQ(delegue->applicationShouldTerminate(terminer()), ReponseTerminaison::plusTard);
    EXPECT_EQ(delegue->applicationShouldTerminate([&] { ++secondes; }), ReponseTerminaison::plusTard);
    EXPECT_EQ(vue.completionsCookiesEnAttente(), 1u);  // one save only
    minuteries.avancer(1500ms);
    EXPECT_EQ(terminaisons, 1);
    EXPECT_EQ(secondes, 0);

    // Once granted, a later request is granted too.
    EXPECT_EQ(delegue->applicationShouldTerminate([&] { ++secondes; }), ReponseTerminaison::plusTard);
    minuteries.vider();
    EXPECT_EQ(secondes, 1);
    EXPECT_EQ(terminaisons, 1);
}

}  // namespace
