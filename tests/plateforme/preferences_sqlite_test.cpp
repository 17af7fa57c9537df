#include "plateforme/preferences_sqlite.h"
#include "tests/faux/dossier_temporaire.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <limits>
#include <poll.h>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace ovrel;
namespace fs = std::filesystem;

namespace {

using essais::DossierTemporaire;

class UmaskTemporaire {
public:
    explicit UmaskTemporaire(mode_t m) : ancien_(::umask(m)) {}
    ~UmaskTemporaire() { ::umask(ancien_); }

private:
    mode_t ancien_;
};

mode_t modeDe(const fs::path& p) {
    struct stat etat {};
    if (::stat(p.c_str(), &etat) != 0) return 0;
    return etat.st_mode & 07777;
}

void ecrireFichier(const fs::path& p, const std::string& contenu) {
    std::ofstream f(p, std::ios::binary);
    f << contenu;
}

std::string lireFichier(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Checks the file with SQLite itself, outside the adapter.
std::string integrite(const fs::path& p) {
    sqlite3* base = nullptr;
    std::string resultat = "ouverture impossible";
    if (sqlite3_open_v2(p.c_str(), &base, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* r = nullptr;
        if (sqlite3_prepare_v2(base, "PRAGMA integrity_check", -1, &r, nullptr) == SQLITE_OK &&
            sqlite3_step(r) == SQLITE_ROW)
            resultat = reinterpret_cast<const char*>(sqlite3_column_text(r, 0));
        else
            resultat = sqlite3_errmsg(base);
        sqlite3_finalize(r);
    }
    sqlite3_close(base);
    return resultat;
}

bool executerSql(const fs::path& p, const char* sql) {
    sqlite3* base = nullptr;
    bool bon = sqlite3_open(p.c_str(), &base) == SQLITE_OK &&
               sqlite3_exec(base, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(base);
    return bon;
}

// Waits for `n` bytes on `fd`; false after `attente` or at end of file.
bool lireAvecAttente(int fd, void* tampon, std::size_t n, std::chrono::milliseconds attente) {
    auto* p = static_cast<char*>(tampon);
    const auto fin = std::chrono::steady_clock::now() + attente;
    while (n > 0) {
        const auto reste = std::chrono::duration_cast<std::chrono::milliseconds>(
            fin - std::chrono::steady_clock::now());
        if (reste.count() <= 0) return false;
        pollfd pf{fd, POLLIN, 0};
        if (::poll(&pf, 1, static_cast<int>(reste.count())) <= 0) return false;
        const ssize_t lu = ::read(fd, p, n);
        if (lu <= 0) return false;
        p += lu;
        n -= static_cast<std::size_t>(lu);
    }
    return true;
}

}  // namespace

TEST(PreferencesSqlite, LesValeursTypeesSurviventALaReouverture) {
    DossierTemporaire d;
    const fs::path f = d.chemin() / "preferences.sqlite";
    const std::string binaire("\0\x01\xff\xfe" "abc\0", 8);
    {
        auto p = PreferencesSqlite::ouvrir(f);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->fichier(), f);
        EXPECT_EQ(p->fichierEcarte(), std::nullopt);
        EXPECT_EQ(p->lire("absente"), std::nullopt);
        EXPECT_TRUE(p->ecrireTexte("t", "l’été — déjà"));
        EXPECT_TRUE(p->ecrireTexte("t_nul", std::string("a\0b", 3)));
        EXPECT_TRUE(p->ecrireTexte("chiffres", "12"));  // text that looks like a number
        EXPECT_TRUE(p->ecrireTexte("vide_t", ""));
        EXPECT_TRUE(p->ecrireNombre("n", 1712345678.125));
        EXPECT_TRUE(p->ecrireNombre("entier", 42));
        EXPECT_TRUE(p->ecrireNombre("infini", -std::numeric_limits<double>::infinity()));
        EXPECT_TRUE(p->ecrireNombre("nan", std::numeric_limits<double>::quiet_NaN()));
        EXPECT_TRUE(p->ecrireOctets("o", binaire));
        EXPECT_TRUE(p->ecrireOctets("vide_o", ""));
        EXPECT_TRUE(p->ecrireOctets(std::string("cl\xe9\0", 4), "cle non UTF-8"));
    }
    auto p = PreferencesSqlite::ouvrir(f);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->texte("t"), "l’été — déjà");
    EXPECT_EQ(p->texte("t_nul"), std::string("a\0b", 3));
    EXPECT_EQ(p->texte("chiffres"), "12");
    EXPECT_EQ(p->nombre("chiffres"), std::nullopt);
    EXPECT_EQ(p->texte("vide_t"), "");
    EXPECT_EQ(p->octets("vide_t"), std::nullopt);
    EXPECT_EQ(p->nombre("n"), 1712345678.125);
    EXPECT_EQ(p->nombre("entier"), 42.0);
    EXPECT_EQ(p->texte("entier"), std::nullopt);
    EXPECT_EQ(p->nombre("infini"), -std::numeric_limits<double>::infinity());
    auto nan = p->nombre("nan");
    ASSERT_TRUE(nan);
    EXPECT_TRUE(std::isnan(*nan));
    EXPECT_EQ(p->octets("o"), binaire);
    EXPECT_EQ(p->texte("o"), std::nullopt);
    EXPECT_EQ(p->nombre("o"), std::nullopt);
    EXPECT_EQ(p->lire("vide_o"), std::optional<ValeurPreference>(Octets{""}));
    EXPECT_EQ(p->texte("vide_o"), std::nullopt);
    EXPECT_EQ(p->octets(std::string("cl\xe9\0", 4)), "cle non UTF-8");
    EXPECT_EQ(p->octets(std::string("cl\xe9", 3)), std::nullopt);

    // Rewriting a key with another type replaces it entirely.
    EXPECT_TRUE(p->ecrireNombre("t", 3.5));
    EXPECT_EQ(p->texte("t"), std::nullopt);
    EXPECT_EQ(p->nombre("t"), 3.5);
    EXPECT_TRUE(p->supprimer("t"));
    EXPECT_TRUE(p->supprimer("jamais_ecrite"));
    EXPECT_EQ(p->lire("t"), std::nullopt);
}

TEST(PreferencesSqlite, UnLotEstAppliqueDansLOrdreEtEnEntier) {
    DossierTemporaire d;
    const fs::path f = d.chemin() / "p.sqlite";
    {
        auto p = PreferencesSqlite::ouvrir(f);
        ASSERT_TRUE(p);
        ASSERT_TRUE(p->ecrire({{"a", ValeurPreference{std::string("1")}},
                               {"b", ValeurPreference{2.0}},
                               {"c", ValeurPreference{Octets{"3"}}}}));
        EXPECT_TRUE(p->ecrire({}));
        EXPECT_TRUE(p->ecrire({{"a", std::nullopt},
                               {"b", ValeurPreference{std::string("deux")}},
                               {"d", ValeurPreference{4.0}},
                               {"d", std::nullopt},
                               {"e", std::nullopt},
                               {"e", ValeurPreference{5.0}}}));
    }
    auto p = PreferencesSqlite::ouvrir(f);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->lire("a"), std::nullopt);
    EXPECT_EQ(p->texte("b"), "deux");
    EXPECT_EQ(p->octets("c"), "3");
    EXPECT_EQ(p->lire("d"), std::nullopt);
    EXPECT_EQ(p->nombre("e"), 5.0);
}

TEST(PreferencesSqlite, UnLotQuiEchoueNeLaisseRienEtLeSuivantPasse) {
    DossierTemporaire d;
    const fs::path f = d.chemin() / "p.sqlite";
    auto p = PreferencesSqlite::ouvrir(f);
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->ecrireTexte("a", "avant"));
    // Another connection makes one key refuse writing, so that a batch fails in its middle.
    ASSERT_TRUE(executerSql(f, "CREATE TRIGGER refus BEFORE INSERT ON preferences "
                               "WHEN NEW.cle = 'refusee' BEGIN SELECT RAISE(ABORT, 'non'); END"));
    EXPECT_FALSE(p->ecrire({{"a", ValeurPreference{std::string("apres")}},
                            {"b", ValeurPreference{1.0}},
                            {"refusee", ValeurPreference{2.0}},
                            {"c", ValeurPreference{3.0}}}));
    EXPECT_EQ(p->texte("a"), "avant");
    EXPECT_EQ(p->lire("b"), std::nullopt);
    EXPECT_EQ(p->lire("c"), std::nullopt);
    // No transaction was left open: the next batch goes through and is seen by others.
    EXPECT_TRUE(p->ecrire({{"a", ValeurPreference{std::string("apres")}}}));
    auto autre = PreferencesSqlite::ouvrir(f);
    ASSERT_TRUE(autre);
    EXPECT_EQ(autre->texte("a"), "apres");
    EXPECT_EQ(autre->lire("b"), std::nullopt);
}

TEST(PreferencesSqlite, DossierEt0700FichierEt0600QuelQueSoitLUmask) {
    DossierTemporaire d;
    UmaskTemporaire umask(0);  // the widest: nothing may rely on the umask
    const fs::path dossier = d.chemin() / "config" / "ovrel-studio";
    const fs::path f = dossier / "preferences.sqlite";
    {
        auto p = PreferencesSqlite::ouvrir(f);
        ASSERT_TRUE(p);
        EXPECT_EQ(modeDe(d.chemin() / "config"), 0700u);
        EXPECT_EQ(modeDe(dossier), 0700u);
        EXPECT_EQ(modeDe(f), 0600u);
        ASSERT_TRUE(p->ecrireTexte("jeton_local", "secret"));
        // The write-ahead log and its index, created while the store is open, take the
        // file's mode.
        for (const char* suffixe : {"-wal", "-shm"}) {
            EXPECT_TRUE(fs::exists(f.string() + suffixe)) << suffixe;
            EXPECT_EQ(modeDe(f.string() + suffixe), 0600u) << suffixe;
        }
    }
    // An existing file too open is brought back to 0600; an existing folder keeps its mode.
    ASSERT_EQ(::chmod(f.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(dossier.c_str(), 0755), 0);
    auto p = PreferencesSqlite::ouvrir(f);
    ASSERT_TRUE(p);
    EXPECT_EQ(modeDe(f), 0600u);
    EXPECT_EQ(modeDe(dossier), 0755u);
    EXPECT_EQ(p->texte("jeton_local"), "secret");
}

TEST(PreferencesSqlite, UnFichierIllisibleEstMisDeCoteEtLeMagasinRepartVide) {
    DossierTemporaire d;
    const fs::path f = d.chemin() / "preferences.sqlite";
    std::string dechets(8192, '\0');
    std::mt19937 alea(7);
    for (char& c : dechets) c = static_cast<char>(alea());
    ecrireFichier(f, dechets);
    HorlogeManuelle horloge(instantDepuis1970(1709633472));  // 2024-03-05 10:11:12 UTC
    {
        auto p = PreferencesSqlite::ouvrir(f, horloge);
        ASSERT_TRUE(p);
        const fs::path attendu = d.chemin() / "preferences.sqlite.illisible-20240305-101112";
        EXPECT_EQ(p->fichierEcarte(), attendu);
        EXPECT_EQ(lireFichier(attendu), dechets);
        EXPECT_EQ(p->lire("x"), std::nullopt);
        EXPECT_TRUE(p->ecrireTexte("x", "neuf"));
        EXPECT_EQ(modeDe(f), 0600u);
    }
    {
        auto p = PreferencesSqlite::ouvrir(f, horloge);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->fichierEcarte(), std::nullopt);
        EXPECT_EQ(p->texte("x"), "neuf");
    }
    EXPECT_EQ(integrite(f), "ok");

    // A second bad file in the same second does not overwrite the first one set aside; a
    // short text file is as unreadable as random bytes.
    ecrireFichier(f, "bonjour\n");
    auto p = PreferencesSqlite::ouvrir(f, horloge);
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->fichierEcarte());
    EXPECT_NE(*p->fichierEcarte(), d.chemin() / "preferences.sqlite.illisible-20240305-101112");
    EXPECT_EQ(lireFichier(*p->fichierEcarte()), "bonjour\n");
    EXPECT_EQ(lireFichier(d.chemin() / "preferences.sqlite.illisible-20240305-101112"), dechets);
    EXPECT_EQ(p->lire("x"), std::nullopt);
}

TEST(PreferencesSqlite, UneBaseDUneAutreFormeEstMiseDeCote) {
    DossierTemporaire d;
    const fs::path f = d.chemin() / "p.sqlite";
    ASSERT_TRUE(executerSql(f, "CREATE TABLE preferences (nom TEXT, x INTEGER);"
                               "INSERT INTO preferences VALUES ('a', 1)"));
    auto p = PreferencesSqlite::ouvrir(f);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->fichierEcarte());
    EXPECT_TRUE(p->ecrireNombre("a", 1.0));
    EXPECT_EQ(p->nombre("a"), 1.0);
}

TEST(PreferencesSqlite, UnEmplacementOuLOnNePeutEcrireDonneAbsent) {
    DossierTemporaire d;
    const fs::path fichierOrdinaire = d.chemin() / "ordinaire";
    ecrireFichier(fichierOrdinaire, "x");
    // Tests run as root, where modes do not stop writes: a regular file in the path does.
    EXPECT_EQ(PreferencesSqlite::ouvrir(fichierOrdinaire / "preferences.sqlite"), nullptr);
    EXPECT_EQ(PreferencesSqlite::ouvrir(fichierOrdinaire / "sous" / "preferences.sqlite"), nullptr);
    EXPECT_EQ(lireFichier(fichierOrdinaire), "x");
    // A folder where the file should be is neither a store nor something to move aside.
    fs::create_directory(d.chemin() / "dossier");
    EXPECT_EQ(PreferencesSqlite::ouvrir(d.chemin() / "dossier"), nullptr);
    EXPECT_TRUE(fs::is_directory(d.chemin() / "dossier"));
    EXPECT_EQ(PreferencesSqlite::ouvrir(""), nullptr);
}

TEST(PreferencesSqlite, LeCheminParDefautSuitXdgConfigHome) {
    ASSERT_EQ(::setenv("XDG_CONFIG_HOME", "/tmp/conf-ovrel-essai", 1), 0);
    EXPECT_EQ(PreferencesSqlite::cheminParDefaut(),
              fs::path("/tmp/conf-ovrel-essai/ovrel-studio/preferences.sqlite"));
}

TEST(PreferencesSqlite, UnEcrivainAttendLeVerrouDUneAutreInstance) {
    DossierTemporaire d;
    const fs::path f = d.chemin() / "p.sqlite";
    { ASSERT_TRUE(PreferencesSqlite::ouvrir(f)); }
    int tube[2];
    ASSERT_EQ(::pipe2(tube, O_CLOEXEC), 0);
    const pid_t enfant = ::fork();
    ASSERT_GE(enfant, 0);
    if (enfant == 0) {
        // The other instance: holds the write lock for a moment, then writes and commits.
        ::close(tube[0]);
        sqlite3* base = nullptr;
        if (sqlite3_open(f.c_str(), &base) != SQLITE_OK ||
            sqlite3_exec(base, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            ::_exit(2);
        const char pret = 'p';
        if (::write(tube[1], &pret, 1) != 1) ::_exit(3);
        ::usleep(500 * 1000);
        const int code = sqlite3_exec(
            base, "INSERT INTO preferences VALUES ('de_l_autre', 'texte', 'oui'); COMMIT",
            nullptr, nullptr, nullptr);
        sqlite3_close(base);
        ::_exit(code == SQLITE_OK ? 0 : 4);
    }
    ::close(tube[1]);
    char pret = 0;
    const bool verrouille = lireAvecAttente(tube[0], &pret, 1, std::chrono::seconds(5));
    ::close(tube[0]);
    auto p = PreferencesSqlite::ouvrir(f);
    ASSERT_TRUE(p);
    const auto debut = std::chrono::steady_clock::now();
    const bool ecrit = p->ecrireTexte("de_moi", "oui");
    const auto attente = std::chrono::steady_clock::now() - debut;
    int etat = 0;
    ASSERT_EQ(::waitpid(enfant, &etat, 0), enfant);
    ASSERT_TRUE(verrouille);
    ASSERT_TRUE(WIFEXITED(etat));
    EXPECT_EQ(WEXITSTATUS(etat), 0);
    EXPECT_TRUE(ecrit);
    EXPECT_GE(attente, std::chrono::milliseconds(100));  // it did wait for the other
    EXPECT_EQ(p->texte("de_moi"), "oui");
    EXPECT_EQ(p->texte("de_l_autre"), "oui");
}

namespace {

constexpr std::size_t TAILLE_GROS = 192 * 1024;

// A large value that can only match the counter it was written with.
std::string grosOctets(std::int64_t n) {
    std::string s(TAILLE_GROS, static_cast<char>((n * 37) % 251));
    std::memcpy(s.data(), &n, sizeof n);
    std::memcpy(s.data() + s.size() - sizeof n, &n, sizeof n);
    return s;
}

// The child: rewrites the same counter in three keys of three types, plus a key present only
// for even counters, batch after batch, and reports each committed counter on `fd`.
[[noreturn]] void ecrivainSansFin(const fs::path& f, int fd) {
    auto p = PreferencesSqlite::ouvrir(f);
    if (!p) ::_exit(2);
    auto n = static_cast<std::int64_t>(p->nombre("compteur_a").value_or(0));
    const std::int64_t ouvert = -1;
    if (::write(fd, &ouvert, sizeof ouvert) != sizeof ouvert) ::_exit(3);
    for (;;) {
        ++n;
        const bool ecrit = p->ecrire({
            {"compteur_a", ValeurPreference{static_cast<double>(n)}},
            {"compteur_b", ValeurPreference{std::to_string(n)}},
            {"compteur_c", ValeurPreference{Octets{grosOctets(n)}}},
            {"pair", n % 2 == 0 ? std::optional<ValeurPreference>(std::string("oui")) : std::nullopt},
        });
        if (!ecrit) ::_exit(4);
        if (::write(fd, &n, sizeof n) != sizeof n) ::_exit(5);
    }
}

// How many kills must land after the child reported a batch written. The default run asks for a
// few; OVREL_TUERIES asks for more (the long run of the "long" label asks for several hundred).
int tueriesDemandees() {
    const char* valeur = std::getenv("OVREL_TUERIES");
    const int n = valeur ? std::atoi(valeur) : 0;
    return n > 0 ? n : 12;
}

}  // namespace

// The test goes on until enough kills landed after writes, however slow the machine, within a
// generous bound; it never measures the machine's speed.
TEST(PreferencesSqlite, UnProcessusTueEnPleineEcritureNAbimeRien) {
    DossierTemporaire d;
    const fs::path f = d.chemin() / "preferences.sqlite";
    const std::string octetsStables(50000, '\x5a');
    {
        auto p = PreferencesSqlite::ouvrir(f);
        ASSERT_TRUE(p);
        ASSERT_TRUE(p->ecrire({{"stable_t", ValeurPreference{std::string("intact")}},
                               {"stable_n", ValeurPreference{-7.25}},
                               {"stable_o", ValeurPreference{Octets{octetsStables}}}}));
    }
    const int demandees = tueriesDemandees();
    const unsigned graine = std::random_device{}();
    SCOPED_TRACE("graine " + std::to_string(graine));
    std::mt19937 alea(graine);
    std::int64_t precedent = 0;
    int tours = 0;
    int tuesApresEcriture = 0;    // at least one batch was reported written before the kill
    int lotsValidesNonAnnonces = 0;  // the kill fell between a commit and its report
    const auto debut = std::chrono::steady_clock::now();
    const auto limite = debut + std::max(std::chrono::seconds(180), std::chrono::seconds(2) * demandees);
    while (tuesApresEcriture < demandees && tours < 4 * demandees + 40 &&
           std::chrono::steady_clock::now() < limite) {
        const int i = tours++;
        SCOPED_TRACE("tour " + std::to_string(i));
        int tube[2];
        ASSERT_EQ(::pipe2(tube, O_CLOEXEC), 0);
        const pid_t enfant = ::fork();
        ASSERT_GE(enfant, 0);
        if (enfant == 0) {
            ::close(tube[0]);
            ecrivainSansFin(f, tube[1]);
        }
        ::close(tube[1]);
        std::int64_t annonce = precedent;  // the last counter the child saw committed
        // One round in four strikes while the child is still opening the store; the others
        // wait until it reported a first batch, then strike at a random moment of the next ones.
        if (i % 4 != 0) {
            std::int64_t message = 0;
            const bool ouvert =
                lireAvecAttente(tube[0], &message, sizeof message, std::chrono::seconds(30));
            if (!ouvert) ::kill(enfant, SIGKILL);
            ASSERT_TRUE(ouvert);
            ASSERT_EQ(message, -1);
            if (lireAvecAttente(tube[0], &message, sizeof message, std::chrono::seconds(30)))
                annonce = std::max(annonce, message);
        }
        const bool ecritAvantLaTuerie = annonce > precedent;
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 15000)(alea)));
        ASSERT_EQ(::kill(enfant, SIGKILL), 0);
        int etat = 0;
        ASSERT_EQ(::waitpid(enfant, &etat, 0), enfant);
        ASSERT_TRUE(WIFSIGNALED(etat)) << "the child stopped by itself: " << WEXITSTATUS(etat);
        ASSERT_EQ(WTERMSIG(etat), SIGKILL);

        std::int64_t message = 0;
        while (::read(tube[0], &message, sizeof message) == sizeof message)
            if (message > annonce) annonce = message;
        ::close(tube[0]);

        ASSERT_EQ(integrite(f), "ok");
        auto p = PreferencesSqlite::ouvrir(f);
        ASSERT_TRUE(p);
        ASSERT_EQ(p->fichierEcarte(), std::nullopt);
        EXPECT_EQ(p->texte("stable_t"), "intact");
        EXPECT_EQ(p->nombre("stable_n"), -7.25);
        EXPECT_EQ(p->octets("stable_o"), octetsStables);

        const auto a = p->nombre("compteur_a");
        const std::int64_t n = a ? static_cast<std::int64_t>(*a) : 0;
        if (n == 0) {
            EXPECT_EQ(p->lire("compteur_b"), std::nullopt);
            EXPECT_EQ(p->lire("compteur_c"), std::nullopt);
        } else {
            EXPECT_EQ(p->texte("compteur_b"), std::to_string(n));
            const auto c = p->octets("compteur_c");
            EXPECT_TRUE(c && *c == grosOctets(n)) << "compteur " << n;
        }
        EXPECT_EQ(p->texte("pair").has_value(), n != 0 && n % 2 == 0);
        // Every batch reported committed survived; at most one more was committed unreported.
        EXPECT_GE(n, annonce);
        EXPECT_LE(n, annonce + 1);
        if (ecritAvantLaTuerie) ++tuesApresEcriture;
        if (n == annonce + 1) ++lotsValidesNonAnnonces;
        precedent = n;
        if (::testing::Test::HasFailure()) break;
    }
    const auto secondes =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - debut);
    std::printf("Tueries : %d, dont %d après au moins une écriture annoncée, %d entre une validation "
                "et son annonce ; %lld s\n",
                tours, tuesApresEcriture, lotsValidesNonAnnonces, static_cast<long long>(secondes.count()));
    EXPECT_GE(tuesApresEcriture, demandees)
        << "in " << tours << " rounds and " << secondes.count()
        << " s the children hardly wrote: the test proved little";
}
