#include "sante/suivi_vu.h"

#include "sante/couleur_sante.h"

#include <gtest/gtest.h>

#include <limits>

using namespace ovrel;
using namespace std::chrono;

namespace {
constexpr std::int64_t MAXI = std::numeric_limits<std::int64_t>::max();
const Instant HUIT_HEURES = Instant{seconds{1740816000}};  // 2025-03-01T08:00:00Z

const Couleur JAMAIS = Couleur::blanc(0.94, 0.32);
const Couleur RECENT = Couleur::blanc(0.94, 0.5);
const Couleur PERIME = Couleur::octets(217, 138, 78, 0.9);

AffichageVu un(const SuiviVu& suivi, Instant maintenant, Instant parcRecuLe) {
    const auto r = rafraichirVus(maintenant, parcRecuLe, {suivi});
    EXPECT_EQ(r.size(), 1u);
    return r.empty() ? AffichageVu{} : r[0];
}
}  // namespace

TEST(SuiviVu, CouleursDesEtats) {
    EXPECT_EQ(couleurVu(EtatVu::jamais), JAMAIS);
    EXPECT_EQ(couleurVu(EtatVu::recent), RECENT);
    EXPECT_EQ(couleurVu(EtatVu::perime), PERIME);
    Couleur orange = teinteSante(CouleurSante::orange);
    orange.alpha = 0.9;
    EXPECT_EQ(couleurVu(EtatVu::perime), orange);
}

TEST(SuiviVu, LHorodatageDeLaBoiteGagneSurLesSecondesDuCloud) {
    const Instant maintenant = HUIT_HEURES + minutes(5);
    const auto a = un({7, "2025-03-01T08:00:00Z", 10}, maintenant, maintenant - seconds(40));
    EXPECT_EQ(a.etiquette, 7u);
    EXPECT_EQ(a.texte, "vu il y a 5 min");
    EXPECT_EQ(a.etat, EtatVu::perime);
    EXPECT_EQ(a.couleur, PERIME);

    // A timestamp in the future reads as just now.
    const auto futur = un({1, "2025-03-01T09:00:00Z", std::nullopt}, HUIT_HEURES, HUIT_HEURES);
    EXPECT_EQ(futur.texte, "vu il y a 0 s");
    EXPECT_EQ(futur.etat, EtatVu::recent);
    EXPECT_EQ(futur.couleur, RECENT);
}

TEST(SuiviVu, LesSecondesDuCloudVieillissentDepuisLaReception) {
    const Instant recu = HUIT_HEURES;
    const auto apres40 = un({1, "", 150}, recu + seconds(40), recu);
    EXPECT_EQ(apres40.texte, "vu il y a " + dureeLisible(190));
    EXPECT_EQ(apres40.texte, "vu il y a 3 min");
    EXPECT_EQ(apres40.etat, EtatVu::perime);

    const auto apres20 = un({1, "", 150}, recu + seconds(20), recu);
    EXPECT_EQ(apres20.texte, "vu il y a 2 min");
    EXPECT_EQ(apres20.etat, EtatVu::recent);
    EXPECT_EQ(apres20.couleur, RECENT);

    // The limit is the one of `vuPerime`: 180 s is still recent, 181 s is stale.
    EXPECT_EQ(un({1, "", 150}, recu + seconds(30), recu).etat, EtatVu::recent);
    EXPECT_EQ(un({1, "", 150}, recu + seconds(31), recu).etat, EtatVu::perime);
    // Elapsed time is truncated to whole seconds.
    EXPECT_EQ(un({1, "", 150}, recu + milliseconds(30999), recu).etat, EtatVu::recent);
    // An unparsable timestamp falls back on the cloud's seconds.
    EXPECT_EQ(un({1, "2025-03-01T07:00:00.5Z", 10}, recu + seconds(5), recu).texte, "vu il y a 15 s");
    // A receipt time in the future counts as no time elapsed.
    EXPECT_EQ(un({1, "", 10}, recu, recu + hours(1)).texte, "vu il y a 10 s");
}

TEST(SuiviVu, JamaisVuSansHorodatageNiSecondes) {
    for (const char* vuLe : {"", "2025-03-01T08:00:00.123Z", "hier"}) {
        const auto a = un({3, vuLe, std::nullopt}, HUIT_HEURES, HUIT_HEURES - seconds(10));
        EXPECT_EQ(a.texte, "jamais vu") << vuLe;
        EXPECT_EQ(a.etat, EtatVu::jamais);
        EXPECT_EQ(a.couleur, JAMAIS);
    }
}

TEST(SuiviVu, NiDebordementNiTexteIncomplet) {
    // The cloud's seconds plus the elapsed time saturate instead of wrapping to a negative age.
    const auto sature = un({1, "", MAXI - 5}, HUIT_HEURES + seconds(60), HUIT_HEURES);
    EXPECT_EQ(sature.texte, "vu il y a " + dureeLisible(MAXI));
    EXPECT_EQ(sature.etat, EtatVu::perime);

    // A negative figure from the cloud reads as just now, never as a dangling "vu il y a ".
    const auto negatif = un({1, "", -500}, HUIT_HEURES + seconds(60), HUIT_HEURES);
    EXPECT_EQ(negatif.texte, "vu il y a 0 s");
    EXPECT_EQ(negatif.etat, EtatVu::recent);
    EXPECT_EQ(un({1, "", std::numeric_limits<std::int64_t>::min()}, HUIT_HEURES, Instant::min()).texte,
              "vu il y a 0 s");
    // ... unless the elapsed time makes it positive again.
    EXPECT_EQ(un({1, "", -10}, HUIT_HEURES + seconds(60), HUIT_HEURES).texte, "vu il y a 50 s");

    // A list received in the distant past: the elapsed time is huge but exact.
    const auto lointain = un({1, "", 0}, HUIT_HEURES, Instant::min());
    EXPECT_EQ(lointain.etat, EtatVu::perime);
    EXPECT_EQ(lointain.texte, "vu il y a " + dureeLisible(secondesEcoulees(Instant::min(), HUIT_HEURES)));
    EXPECT_EQ(un({1, "", 0}, HUIT_HEURES, Instant{}).texte, "vu il y a " + dureeLisible(1740816000));
}

TEST(SuiviVu, SecondesEcouleesExactesSurToutesLesDurees) {
    EXPECT_EQ(secondesEcoulees(HUIT_HEURES, HUIT_HEURES + seconds(90)), 90);
    EXPECT_EQ(secondesEcoulees(HUIT_HEURES, HUIT_HEURES + milliseconds(1999)), 1);
    EXPECT_EQ(secondesEcoulees(HUIT_HEURES + milliseconds(600), HUIT_HEURES + milliseconds(1500)), 0);
    EXPECT_EQ(secondesEcoulees(HUIT_HEURES + milliseconds(600), HUIT_HEURES + milliseconds(1600)), 1);
    EXPECT_EQ(secondesEcoulees(HUIT_HEURES, HUIT_HEURES), 0);
    EXPECT_EQ(secondesEcoulees(HUIT_HEURES + seconds(1), HUIT_HEURES), 0);
    EXPECT_EQ(secondesEcoulees(Instant{} - milliseconds(1), Instant{}), 0);
    EXPECT_EQ(secondesEcoulees(Instant{} - milliseconds(1001), Instant{}), 1);
    // The whole clock range: 2^64 - 1 nanoseconds, far beyond what a nanosecond count can hold.
    EXPECT_EQ(secondesEcoulees(Instant::min(), Instant::max()), 18446744073);
    EXPECT_EQ(secondesEcoulees(Instant::max(), Instant::min()), 0);
}

TEST(SuiviVu, UnAffichageParSuiviDansLOrdre) {
    const Instant maintenant = HUIT_HEURES + seconds(100);
    const std::vector<SuiviVu> suivis = {
        {10, "", std::nullopt}, {11, "2025-03-01T08:00:30Z", std::nullopt}, {12, "", 500}};
    const auto r = rafraichirVus(maintenant, HUIT_HEURES, suivis);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], (AffichageVu{10, "jamais vu", EtatVu::jamais, JAMAIS}));
    EXPECT_EQ(r[1], (AffichageVu{11, "vu il y a 70 s", EtatVu::recent, RECENT}));
    EXPECT_EQ(r[2], (AffichageVu{12, "vu il y a 10 min", EtatVu::perime, PERIME}));
    for (std::size_t i = 0; i < suivis.size(); ++i) EXPECT_EQ(afficherVu(suivis[i], maintenant, HUIT_HEURES), r[i]);
    EXPECT_TRUE(rafraichirVus(maintenant, HUIT_HEURES, {}).empty());
}
