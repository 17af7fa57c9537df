#include "sante/couleur_sante.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <map>

using namespace ovrel;
using namespace std::chrono;

namespace {
Instant instant(std::int64_t secondesDepuis1970) { return Instant{seconds{secondesDepuis1970}}; }
constexpr std::int64_t MARS_2025_8H = 1740816000;  // 2025-03-01T08:00:00Z
}  // namespace

TEST(CouleurSante, LOrdreDeLEchelleEtLesValeursBrutes) {
    EXPECT_LT(CouleurSante::gris, CouleurSante::vert);
    EXPECT_LT(CouleurSante::rouge, CouleurSante::inconnue);
    const std::map<CouleurSante, int> cles = {{CouleurSante::rouge, 1}, {CouleurSante::gris, 2}, {CouleurSante::jaune, 3}};
    EXPECT_EQ(cles.begin()->first, CouleurSante::gris);
    EXPECT_EQ(cles.rbegin()->first, CouleurSante::rouge);

    ASSERT_EQ(COULEURS_SANTE.size(), 5u);
    const char* brutes[] = {"gris", "vert", "jaune", "orange", "rouge"};
    for (std::size_t i = 0; i < COULEURS_SANTE.size(); ++i) EXPECT_EQ(valeurBrute(COULEURS_SANTE[i]), brutes[i]);
    EXPECT_EQ(valeurBrute(CouleurSante::inconnue), "inconnue");
    EXPECT_EQ(COULEURS_ATTENTION, (std::array{CouleurSante::jaune, CouleurSante::orange, CouleurSante::rouge}));
}

TEST(CouleurSante, LectureDuTexteDuCloud) {
    EXPECT_EQ(couleurSante("rouge"), CouleurSante::rouge);
    EXPECT_EQ(couleurSante("Rouge"), CouleurSante::rouge);
    EXPECT_EQ(couleurSante("ROUGE"), CouleurSante::rouge);
    EXPECT_EQ(couleurSante("Jaune"), CouleurSante::jaune);
    EXPECT_EQ(couleurSante("gRiS"), CouleurSante::gris);
    EXPECT_EQ(couleurSante("vert"), CouleurSante::vert);
    EXPECT_EQ(couleurSante("ORANGE"), CouleurSante::orange);
    EXPECT_EQ(couleurSante(" rouge"), CouleurSante::inconnue);
    EXPECT_EQ(couleurSante("rouge "), CouleurSante::inconnue);
    EXPECT_EQ(couleurSante("rou"), CouleurSante::inconnue);
    EXPECT_EQ(couleurSante("rouges"), CouleurSante::inconnue);
    EXPECT_EQ(couleurSante("inconnue"), CouleurSante::inconnue);
    EXPECT_EQ(couleurSante("violet"), CouleurSante::inconnue);
    EXPECT_EQ(couleurSante(""), CouleurSante::inconnue);
    EXPECT_EQ(couleurSante(std::nullopt), CouleurSante::inconnue);
    EXPECT_EQ(couleurSante("GRİS"), CouleurSante::inconnue);  // dotted capital I is not an ASCII I
}

TEST(CouleurSante, TeintesEtCouleurHexa) {
    EXPECT_EQ(couleurHexa(0x69C690), Couleur::octets(105, 198, 144));
    EXPECT_EQ(couleurHexa(0xFF69C690, 0.5), Couleur::octets(105, 198, 144, 0.5));  // top byte ignored
    EXPECT_EQ(couleurHexa(0), (Couleur{0, 0, 0, 1}));
    EXPECT_EQ(couleurHexa(0xFFFFFF), (Couleur{1, 1, 1, 1}));

    EXPECT_EQ(teinteSante(CouleurSante::gris), Couleur::octets(125, 118, 107));
    EXPECT_EQ(teinteSante(CouleurSante::vert), Couleur::octets(105, 198, 144));
    EXPECT_EQ(teinteSante(CouleurSante::jaune), Couleur::octets(216, 171, 106));
    EXPECT_EQ(teinteSante(CouleurSante::orange), Couleur::octets(217, 138, 78));
    EXPECT_EQ(teinteSante(CouleurSante::rouge), Couleur::octets(224, 106, 94));
    Couleur inconnue = teinteSante(CouleurSante::inconnue);
    EXPECT_EQ(inconnue.alpha, 0.62);
    inconnue.alpha = 1.0;
    EXPECT_EQ(inconnue, teinteSante(CouleurSante::gris));
}

TEST(CouleurSante, ConseilsEtMots) {
    EXPECT_EQ(verbeSante(CouleurSante::gris), "Rien — cet Ovrel n'est pas encore en service.");
    EXPECT_EQ(verbeSante(CouleurSante::vert), "Rien à faire.");
    EXPECT_EQ(verbeSante(CouleurSante::jaune), "À traiter cette semaine.");
    EXPECT_EQ(verbeSante(CouleurSante::orange), "À regarder aujourd'hui.");
    EXPECT_EQ(verbeSante(CouleurSante::rouge), "Appelez le client.");
    EXPECT_EQ(verbeSante(CouleurSante::inconnue), "Santé inconnue — l'app n'a pas pu l'obtenir du cloud.");
    for (CouleurSante c : COULEURS_SANTE) EXPECT_EQ(motSante(c), valeurBrute(c));
    EXPECT_EQ(motSante(CouleurSante::inconnue), "santé inconnue");
}

TEST(DureeLisible, SeuilsEtArrondiParDefaut) {
    EXPECT_EQ(dureeLisible(0), "0 s");
    EXPECT_EQ(dureeLisible(42), "42 s");
    EXPECT_EQ(dureeLisible(89), "89 s");
    EXPECT_EQ(dureeLisible(90), "1 min");
    EXPECT_EQ(dureeLisible(3599), "59 min");
    EXPECT_EQ(dureeLisible(3600), "60 min");
    EXPECT_EQ(dureeLisible(5399), "89 min");
    EXPECT_EQ(dureeLisible(5400), "1 h");
    EXPECT_EQ(dureeLisible(7200), "2 h");
    EXPECT_EQ(dureeLisible(172799), "47 h");
    EXPECT_EQ(dureeLisible(172800), "2 jours");
    EXPECT_EQ(dureeLisible(10'000'000), "115 jours");
    EXPECT_EQ(dureeLisible(std::numeric_limits<std::int64_t>::max()), "106751991167300 jours");
    EXPECT_EQ(dureeLisible(-1), "");
    EXPECT_EQ(dureeLisible(std::numeric_limits<std::int64_t>::min()), "");
    EXPECT_EQ(dureeLisible(std::nullopt), "");
}

TEST(DureeLisible, LibelleVuEtPeremption) {
    EXPECT_EQ(libelleVu(std::nullopt), "jamais vu");
    EXPECT_EQ(libelleVu(0), "vu il y a 0 s");
    EXPECT_EQ(libelleVu(200), "vu il y a 3 min");
    EXPECT_FALSE(vuPerime(0));
    EXPECT_FALSE(vuPerime(VU_PERIME_S));
    EXPECT_FALSE(vuPerime(180));
    EXPECT_TRUE(vuPerime(181));
    EXPECT_TRUE(vuPerime(std::nullopt));
}

TEST(AgeDepuis, SecondesEntieresJamaisNegatives) {
    const Instant maintenant = instant(MARS_2025_8H) + milliseconds(999);
    EXPECT_EQ(ageDepuis("2025-03-01T07:55:00Z", maintenant), 300);  // the fraction of now is dropped
    EXPECT_EQ(ageDepuis("2025-03-01T08:55:00+01:00", maintenant), 300);
    EXPECT_EQ(ageDepuis("2025-03-01T08:00:00Z", maintenant), 0);
    EXPECT_EQ(ageDepuis("2025-03-01T09:00:00Z", maintenant), 0);  // one hour in the future
    EXPECT_EQ(ageDepuis("2025-03-01T08:00:01Z", instant(MARS_2025_8H)), 0);
    EXPECT_EQ(ageDepuis("2025-03-01T07:59:59Z", instant(MARS_2025_8H) - milliseconds(1)), 0);
    EXPECT_EQ(ageDepuis("", maintenant), std::nullopt);
    EXPECT_EQ(ageDepuis("2025-03-01T07:55:00.000Z", maintenant), std::nullopt);
    EXPECT_EQ(ageDepuis("hier", maintenant), std::nullopt);
    // Far timestamps and far instants stay exact and never overflow.
    EXPECT_EQ(ageDepuis("0000-01-01T00:00:00Z", instant(0)), 62167219200);
    EXPECT_EQ(ageDepuis("9999-12-31T23:59:59Z", Instant::min()), 0);
    EXPECT_EQ(ageDepuis("0000-01-01T00:00:00Z", Instant::max()), 9223372036 + 62167219200);
}

TEST(DateCourte, MotifJourMoisAnneeHeureDansLeFuseau) {
    EXPECT_EQ(dateCourte("2025-03-01T09:15:00Z", "UTC"), "01/03/2025 à 09:15");
    EXPECT_EQ(dateCourte("2025-03-01T09:15:59Z", "UTC"), "01/03/2025 à 09:15");
    EXPECT_EQ(dateCourte("2025-03-01T08:15:00Z", "Europe/Paris"), "01/03/2025 à 09:15");  // winter time
    EXPECT_EQ(dateCourte("2025-07-14T20:05:00Z", "Europe/Paris"), "14/07/2025 à 22:05");  // summer time
    EXPECT_EQ(dateCourte("2025-12-31T23:30:00Z", "Europe/Paris"), "01/01/2026 à 00:30");
    EXPECT_EQ(dateCourte("2025-03-01T09:15:00+01:00", "UTC"), "01/03/2025 à 08:15");
    EXPECT_EQ(dateCourte("0987-06-05T04:03:00Z", "UTC"), "05/06/0987 à 04:03");  // four-digit year
    EXPECT_EQ(dateCourte("2025-03-01T09:15:00Z", "Nulle/Part"), "01/03/2025 à 09:15");  // unknown zone: UTC
    EXPECT_EQ(dateCourte("2025-03-01T09:15:00.5Z", "UTC"), "");
    EXPECT_EQ(dateCourte("", "UTC"), "");
    EXPECT_EQ(dateCourte("0000-06-01T00:00:00Z", "UTC"), "");  // no calendar date to show
}

TEST(DateCourte, FuseauLocalDeLUtilisateur) {
    const char* ancien = std::getenv("TZ");
    const std::string sauvegarde = ancien != nullptr ? ancien : "";
    setenv("TZ", "Asia/Tokyo", 1);
    EXPECT_EQ(dateCourte("2025-03-01T20:15:00Z"), "02/03/2025 à 05:15");
    EXPECT_EQ(dateCourte("pas une date"), "");
    if (ancien != nullptr)
        setenv("TZ", sauvegarde.c_str(), 1);
    else
        unsetenv("TZ");
}

TEST(TitreAttention, SingulierPlurielEtAucun) {
    EXPECT_EQ(titreAttention(0), "Aucun Ovrel ne demande votre attention.");
    EXPECT_EQ(titreAttention(-3), "Aucun Ovrel ne demande votre attention.");
    EXPECT_EQ(titreAttention(std::numeric_limits<std::int64_t>::min()), "Aucun Ovrel ne demande votre attention.");
    EXPECT_EQ(titreAttention(1), "1 Ovrel demande votre attention");
    EXPECT_EQ(titreAttention(2), "2 Ovrels demandent votre attention");
    EXPECT_EQ(titreAttention(12), "12 Ovrels demandent votre attention");
    EXPECT_EQ(titreAttention(1234567), "1234567 Ovrels demandent votre attention");
}
