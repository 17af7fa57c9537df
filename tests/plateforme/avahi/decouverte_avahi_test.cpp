// The Avahi adapter against a real avahi-daemon, with services published by the real
// avahi-publish, in the private world of scripts/espace-avahi.sh: every service there is
// announced on lo over IPv4 and on ovrel0 over IPv4 and IPv6. Each test starts and stops the
// daemon itself.
#include "plateforme/avahi/decouverte_avahi.h"

#include "../boucle_glib.h"
#include "plateforme/objets_g.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

constexpr const char* TYPE = "_ovrel-box._tcp";
constexpr auto LIMITE = 20s;

// A child process whose merged output is read line by line on the main loop.
class Processus {
public:
    explicit Processus(std::vector<std::string> arguments) {
        std::vector<const char*> argv;
        for (const auto& a : arguments) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        ErreurRecue erreur;
        processus_ = RefG<GSubprocess>::adopter(g_subprocess_newv(
            argv.data(), GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_MERGE),
            erreur.adresse()));
        if (!processus_) {
            ADD_FAILURE() << arguments[0] << " : " << erreur->message;
            etat_->fini = true;
            return;
        }
        etat_->flux = RefG<GDataInputStream>::adopter(g_data_input_stream_new(g_subprocess_get_stdout_pipe(processus_.get())));
        lire(etat_);
        g_subprocess_wait_async(processus_.get(), nullptr,
                                [](GObject*, GAsyncResult*, gpointer d) {
                                    const std::unique_ptr<std::shared_ptr<Etat>> etat(static_cast<std::shared_ptr<Etat>*>(d));
                                    (*etat)->fini = true;
                                },
                                new std::shared_ptr<Etat>(etat_));
    }
    ~Processus() { terminer(); }
    Processus(const Processus&) = delete;
    Processus& operator=(const Processus&) = delete;

    // The first line that contains `texte`, waited for.
    std::optional<std::string> attendreLigne(const std::string& texte) {
        std::optional<std::string> trouvee;
        essai::tournerJusqua(
            [&] {
                for (const auto& l : etat_->lignes)
                    if (l.find(texte) != std::string::npos) trouvee = l;
                return trouvee || etat_->fini;
            },
            LIMITE);
        if (!trouvee) ADD_FAILURE() << "« " << texte << " » attendu ; sortie :\n" << sortie();
        return trouvee;
    }
    // SIGTERM, and the end waited for.
    void terminer() {
        if (etat_->fini) return;
        g_subprocess_send_signal(processus_.get(), SIGTERM);
        if (!essai::tournerJusqua([&] { return etat_->fini; }, LIMITE)) g_subprocess_force_exit(processus_.get());
    }
    std::string sortie() const {
        std::string s;
        for (const auto& l : etat_->lignes) s += l + "\n";
        return s;
    }

private:
    // What the callbacks may still reach once the process object is gone.
    struct Etat {
        RefG<GDataInputStream> flux;
        std::vector<std::string> lignes;
        bool fini = false;
    };
    static void lire(const std::shared_ptr<Etat>& etat) {
        g_data_input_stream_read_line_async(
            etat->flux.get(), G_PRIORITY_DEFAULT, nullptr,
            [](GObject* source, GAsyncResult* resultat, gpointer d) {
                const std::unique_ptr<std::shared_ptr<Etat>> etat(static_cast<std::shared_ptr<Etat>*>(d));
                TexteG ligne(g_data_input_stream_read_line_finish_utf8(G_DATA_INPUT_STREAM(source), resultat, nullptr, nullptr));
                if (!ligne) return;
                (*etat)->lignes.emplace_back(ligne.get());
                lire(*etat);
            },
            new std::shared_ptr<Etat>(etat));
    }

    RefG<GSubprocess> processus_;
    std::shared_ptr<Etat> etat_ = std::make_shared<Etat>();
};

// The daemon of the test, in the foreground: ready once it has claimed its host name.
struct Demon {
    Demon()
        : processus({"avahi-daemon", "-f", std::getenv("OVREL_AVAHI_CONF"), "--no-drop-root", "--no-chroot"}) {
        const auto ligne = processus.attendreLigne("Server startup complete. Host name is ");
        if (!ligne) return;
        const auto debut = ligne->find("Host name is ") + 13;
        hote = ligne->substr(debut, ligne->find(". Local service cookie") - debut);
    }
    Processus processus;
    std::string hote;  // "vm.local"
};

// One avahi-publish that holds its publication until it is ended.
struct Publication {
    explicit Publication(std::vector<std::string> arguments) : processus(std::move(arguments)) {
        const auto ligne = processus.attendreLigne("Established under name '");
        if (ligne) nom = ligne->substr(ligne->find('\'') + 1, ligne->rfind('\'') - ligne->find('\'') - 1);
    }
    Processus processus;
    std::string nom;  // as established
};

Publication service(const std::string& nom, int port, const std::string& hote = {}) {
    if (hote.empty()) return Publication({"avahi-publish", "-s", nom, TYPE, std::to_string(port)});
    return Publication({"avahi-publish", "-s", "-H", hote, nom, TYPE, std::to_string(port)});
}
Publication adresse(const std::string& hote, const std::string& ipv4) {
    return Publication({"avahi-publish", "-a", "-R", hote, ipv4});
}

// What a browse reported, in order.
struct Rapports {
    std::vector<std::pair<std::string, int>> recus;
    Decouverte::SurResolu rappel() {
        return [this](const std::string& hote, int port) { recus.emplace_back(hote, port); };
    }
    long combien(int port) const {
        return std::count_if(recus.begin(), recus.end(), [&](const auto& r) { return r.second == port; });
    }
    bool attendre(int port) {
        return essai::tournerJusqua([&] { return combien(port) > 0; }, LIMITE);
    }
};

class DecouverteAvahiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("OVREL_AVAHI_CONF")) GTEST_SKIP() << "à lancer par scripts/espace-avahi.sh";
    }
};

}  // namespace

TEST_F(DecouverteAvahiTest, ChaqueServiceEstRapporteUneFoisAvecLHoteDuDemonEtSonPort) {
    Demon demon;
    auto durand = service("Box Durand", 18081);
    auto martin = service("Box Martin", 18082);
    // What the test relies on: the daemon sees each service several times.
    gchar* annonces = nullptr;
    ASSERT_TRUE(g_spawn_command_line_sync("avahi-browse -ptk _ovrel-box._tcp", &annonces, nullptr, nullptr, nullptr));
    const std::string liste(annonces);
    g_free(annonces);
    EXPECT_NE(liste.find("+;lo;IPv4;Box\\032Durand;"), std::string::npos) << liste;
    EXPECT_NE(liste.find("+;ovrel0;IPv4;Box\\032Durand;"), std::string::npos) << liste;
    EXPECT_NE(liste.find("+;ovrel0;IPv6;Box\\032Durand;"), std::string::npos) << liste;

    DecouverteAvahi decouverte;
    Rapports rapports;
    decouverte.chercher(TYPE, "local", rapports.rappel());
    EXPECT_TRUE(rapports.recus.empty()) << "rien ne se rapporte depuis chercher";
    ASSERT_TRUE(rapports.attendre(18081));
    ASSERT_TRUE(rapports.attendre(18082));
    // A service published afterwards comes after any late duplicate of the first two.
    auto temoin = service("Box témoin", 18083);
    ASSERT_TRUE(rapports.attendre(18083));
    EXPECT_EQ(rapports.recus.size(), 3u);
    for (const auto& [hote, port] : rapports.recus) {
        EXPECT_EQ(hote, demon.hote) << port;
        EXPECT_EQ(rapports.combien(port), 1) << port;
    }
}

TEST_F(DecouverteAvahiTest, UnServiceQuiPartPuisRevientEstRapporteDeNouveau) {
    Demon demon;
    DecouverteAvahi decouverte;
    Rapports rapports;
    decouverte.chercher(TYPE, "local", rapports.rappel());
    {
        auto volage = service("Box volage", 18091);
        ASSERT_TRUE(rapports.attendre(18091));
    }
    // The same service, back on another port.
    auto deRetour = service("Box volage", 18092);
    ASSERT_EQ(deRetour.nom, "Box volage");
    ASSERT_TRUE(rapports.attendre(18092));
    EXPECT_EQ(rapports.combien(18091), 1);
    EXPECT_EQ(rapports.combien(18092), 1);
}

// Services on hosts without an address keep their resolution waiting until the test publishes
// the address: it decides when a resolution under way can answer. Avahi gives a waiting
// resolution 5 s; each address below comes within 2 s of the browse that waits for it. The
// addresses are IPv4 only, while the daemon often sees a service over IPv6 first.
TEST_F(DecouverteAvahiTest, ChercherEtLaDestructionOublientLesResolutionsEnCoursArreterLesGarde) {
    Demon demon;
    auto lenteA = service("Box lente A", 18101, "lente-a.local");
    auto lenteB = service("Box lente B", 18102, "lente-b.local");
    auto lenteC = service("Box lente C", 18103, "lente-c.local");
    auto temoin = service("Box témoin", 18104);

    Rapports premiere, seconde, apresDestruction;
    auto decouverte = std::make_unique<DecouverteAvahi>();
    decouverte->chercher(TYPE, "local", premiere.rappel());
    ASSERT_TRUE(premiere.attendre(18104));  // the browse has seen all four
    decouverte->chercher(TYPE, "local", seconde.rappel());
    ASSERT_TRUE(seconde.attendre(18104));
    auto adresseB = adresse("lente-b.local", "10.77.0.12");
    ASSERT_TRUE(seconde.attendre(18102));

    decouverte->arreter();
    auto adresseA = adresse("lente-a.local", "10.77.0.11");
    ASSERT_TRUE(seconde.attendre(18101)) << "une résolution en cours rapporte encore après arreter";

    decouverte.reset();
    DecouverteAvahi autre;
    autre.chercher(TYPE, "local", apresDestruction.rappel());
    ASSERT_TRUE(apresDestruction.attendre(18104));
    auto adresseC = adresse("lente-c.local", "10.77.0.13");
    ASSERT_TRUE(apresDestruction.attendre(18103));
    // Anything still queued for the earlier browses comes before this one.
    auto fin = service("Box fin", 18105);
    ASSERT_TRUE(apresDestruction.attendre(18105));

    EXPECT_EQ(premiere.recus.size(), 1u) << "une résolution de la recherche d'avant a rapporté";
    EXPECT_EQ(seconde.combien(18102), 1);
    EXPECT_EQ(seconde.combien(18103), 0) << "un rapport après la destruction";
    EXPECT_EQ(seconde.recus.back(), std::make_pair(std::string("lente-a.local"), 18101));
    EXPECT_EQ(apresDestruction.recus.size(), 5u);
}

TEST_F(DecouverteAvahiTest, LaRechercheAttendLeDemonEtReprendQuandIlRevient) {
    DecouverteAvahi decouverte;
    Rapports rapports;
    decouverte.chercher(TYPE, "local", rapports.rappel());
    {
        Demon demon;
        auto tardive = service("Box tardive", 18111);
        ASSERT_TRUE(rapports.attendre(18111));
    }
    Demon redemarre;
    auto apres = service("Box d'après", 18112);
    ASSERT_TRUE(rapports.attendre(18112));
    EXPECT_EQ(rapports.recus.back().first, redemarre.hote);
}
