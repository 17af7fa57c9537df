// The child-process adapter against real bash scripts, on a real main loop.
#include "plateforme/glib/processus_gio.h"

#include "boucle_glib.h"
#include "plateforme/decodeur_utf8.h"
#include "tests/faux/dossier_temporaire.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/types.h>

using namespace ovrel;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// What one child reported, in order.
struct Rapport {
    std::vector<std::string> morceaux;
    int fins = 0;
    std::optional<int> statut;
    std::vector<std::string> echecs;
    bool finApresDernierMorceau = true;

    std::string sortie() const {
        std::string tout;
        for (const auto& m : morceaux) tout += m;
        return tout;
    }
    int appels() const { return static_cast<int>(morceaux.size()) + fins + static_cast<int>(echecs.size()); }
};

class ProcessusGioTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(racine_.empty()); }

    fs::path script(const std::string& nom, const std::string& corps) {
        const fs::path chemin = racine_ / nom;
        std::ofstream(chemin, std::ios::binary) << corps;
        return chemin;
    }

    // Starts `bash script arguments…` in `dossier`, recording into `rapport`; `apresMorceau`
    // runs after each piece is recorded.
    void lancer(Processus& processus, const fs::path& chemin, std::vector<std::string> arguments, const fs::path& dossier,
                Rapport& rapport, std::function<void()> apresMorceau = {}) {
        arguments.insert(arguments.begin(), chemin.string());
        processus.lancer(
            "/bin/bash", arguments, dossier,
            [&rapport, apresMorceau](std::string octets) {
                EXPECT_FALSE(octets.empty());
                if (rapport.fins > 0) rapport.finApresDernierMorceau = false;
                rapport.morceaux.push_back(std::move(octets));
                if (apresMorceau) apresMorceau();
            },
            [&rapport](std::optional<int> statut) {
                ++rapport.fins;
                rapport.statut = statut;
            },
            [&rapport](std::string description) { rapport.echecs.push_back(std::move(description)); });
    }

    essais::DossierTemporaire dossier_;
    const fs::path& racine_ = dossier_.chemin();
};

// Each write of this script waits for the test to acknowledge the piece before (a file the test
// creates when it receives it), so each write arrives as one piece, and a piece that arrived
// only at the end would leave the script stuck until it gives up with status 9.
constexpr const char* SCRIPT_BAVARD = R"bash(
attendre() {
  local n=0
  until [ -e "accuse-$1" ]; do
    sleep 0.2
    n=$((n + 1))
    [ "$n" -lt 50 ] || exit 9
  done
}
arguments=$(printf '<%s>' "$@")
printf 'dossier=%s %s\n' "$(pwd -P)" "$arguments"; attendre 1
printf 'erreur\n' >&2; attendre 2
printf 'caf\xc3'; attendre 3
printf '\xa9 \xff sortie\n'; attendre 4
printf 'dernier mot' >&2
exit 3
)bash";

TEST_F(ProcessusGioTest, LaSortieArriveMorceauParMorceauPuisLaFinAvecLeStatut) {
    const fs::path dossier = racine_ / "dossier du projet";
    fs::create_directories(dossier);
    const fs::path chemin = script("bavard.sh", SCRIPT_BAVARD);
    ProcessusGio processus;
    Rapport rapport;
    lancer(processus, chemin, {"a b", "", "ünïcode"}, dossier, rapport, [&] {
        std::ofstream(dossier / ("accuse-" + std::to_string(rapport.morceaux.size())));
    });
    EXPECT_EQ(rapport.appels(), 0) << "rien pendant l'appel";
    ASSERT_TRUE(essai::tournerJusqua([&] { return rapport.fins > 0; }, 30s)) << rapport.sortie();

    const std::string premier = "dossier=" + fs::canonical(dossier).string() + " <a b><><ünïcode>\n";
    EXPECT_EQ(rapport.morceaux,
              (std::vector<std::string>{premier, "erreur\n", "caf\xc3", "\xa9 \xff sortie\n", "dernier mot"}));
    EXPECT_EQ(rapport.statut, 3);
    EXPECT_TRUE(rapport.finApresDernierMorceau);

    DecodeurUtf8 decodeur;
    std::string journal;
    for (const auto& m : rapport.morceaux) journal += decodeur.decoder(m);
    journal += decodeur.terminer();
    EXPECT_EQ(journal, premier + "erreur\ncafé \xEF\xBF\xBD sortie\ndernier mot");

    essai::tournerPendant(100ms);
    EXPECT_EQ(rapport.fins, 1) << "une seule fin";
    EXPECT_EQ(rapport.morceaux.size(), 5u);
    EXPECT_TRUE(rapport.echecs.empty());
}

TEST_F(ProcessusGioTest, LaFinAttendLaFinDuTuyauEtUnSignalNeDonnePasDeStatut) {
    // Two children at once. The first exits at once, leaving behind a child of its own that
    // still writes into the pipe: its end comes after that output. The second is killed.
    const fs::path sorti = script("sorti.sh", "( sleep 0.5; printf 'après la sortie' ) &\nprintf 'avant '\nexit 0\n");
    const fs::path tue = script("tue.sh", "printf 'avant le signal'\nkill -KILL $$\nprintf 'jamais'\n");
    ProcessusGio processus;
    Rapport rapportSorti;
    Rapport rapportTue;
    lancer(processus, sorti, {}, racine_, rapportSorti);
    lancer(processus, tue, {}, racine_, rapportTue);
    ASSERT_TRUE(essai::tournerJusqua([&] { return rapportSorti.fins > 0 && rapportTue.fins > 0; }, 20s));
    EXPECT_EQ(rapportSorti.sortie(), "avant après la sortie");
    EXPECT_EQ(rapportSorti.statut, 0);
    EXPECT_TRUE(rapportSorti.finApresDernierMorceau);
    EXPECT_EQ(rapportTue.sortie(), "avant le signal");
    EXPECT_EQ(rapportTue.statut, std::nullopt);
    EXPECT_TRUE(rapportTue.finApresDernierMorceau);
    essai::tournerPendant(100ms);
    EXPECT_EQ(rapportSorti.fins + rapportTue.fins, 2);
}

TEST_F(ProcessusGioTest, UnLancementImpossibleNeDonneQueSonEchec) {
    ProcessusGio processus;
    Rapport sansProgramme;
    Rapport sansDossier;
    processus.lancer(
        racine_ / "absent", {"--source", racine_.string()}, racine_,
        [&](std::string o) { sansProgramme.morceaux.push_back(o); }, [&](std::optional<int>) { ++sansProgramme.fins; },
        [&](std::string d) { sansProgramme.echecs.push_back(d); });
    lancer(processus, script("rien.sh", "exit 0\n"), {}, racine_ / "dossier absent", sansDossier);
    EXPECT_EQ(sansProgramme.appels() + sansDossier.appels(), 0) << "rien pendant l'appel";
    ASSERT_TRUE(essai::tournerJusqua([&] { return !sansProgramme.echecs.empty() && !sansDossier.echecs.empty(); }, 10s));
    essai::tournerPendant(100ms);
    ASSERT_EQ(sansProgramme.echecs.size(), 1u);
    EXPECT_FALSE(sansProgramme.echecs[0].empty());
    EXPECT_EQ(sansProgramme.appels(), 1);
    ASSERT_EQ(sansDossier.echecs.size(), 1u);
    EXPECT_FALSE(sansDossier.echecs[0].empty());
    EXPECT_EQ(sansDossier.appels(), 1);
}

TEST_F(ProcessusGioTest, DetruireLAdaptateurEnCoursArreteLEnfantEtSesRapports) {
    // Writes its process number, then a dot every 50 ms for up to 10 s.
    const fs::path chemin =
        script("long.sh", "printf '%s\\n' $$\nfor i in $(seq 200); do sleep 0.05; printf .; done\nexit 0\n");
    auto processus = std::make_unique<ProcessusGio>();
    Rapport rapport;
    pid_t pid = 0;
    // Destroyed from inside its own report, as a flow may do.
    lancer(*processus, chemin, {}, racine_, rapport, [&] {
        pid = static_cast<pid_t>(std::stol(rapport.morceaux.front()));
        processus.reset();
    });
    ASSERT_TRUE(essai::tournerJusqua([&] { return pid > 0; }, 10s));
    EXPECT_EQ(processus, nullptr);
    // Nothing of the loop hears of the child's end any more: a ticker wakes it to look.
    const guint reveil = g_timeout_add(20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    EXPECT_TRUE(essai::tournerJusqua([&] { return ::kill(pid, 0) == -1 && errno == ESRCH; }, 5s))
        << "l'enfant est arrêté";
    g_source_remove(reveil);
    essai::tournerPendant(200ms);
    EXPECT_EQ(rapport.morceaux.size(), 1u);
    EXPECT_EQ(rapport.fins, 0);
    EXPECT_TRUE(rapport.echecs.empty());
}

}  // namespace
