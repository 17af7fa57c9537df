#include "plateforme/preferences_sqlite.h"

#include "plateforme/fichier_ecarte.h"

#include <glib.h>
#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace ovrel {

namespace fs = std::filesystem;

namespace {

// A writer waits this long for another instance's transaction before giving up. Batches are
// small, so a lock held longer than this means the other side is stuck, and the main thread
// must not freeze for long.
constexpr int ATTENTE_VERROU_MS = 2000;

constexpr const char* GENRE_TEXTE = "texte";
constexpr const char* GENRE_NOMBRE = "nombre";
constexpr const char* GENRE_OCTETS = "octets";

// `valeur` has no declared type, so SQLite keeps each value exactly as bound (no conversion of
// "12" to a number); the type of a value is its own column so that NaN, which SQLite stores as
// NULL, still reads back as a number.
constexpr const char* SCHEMA =
    "CREATE TABLE IF NOT EXISTS preferences ("
    " cle TEXT PRIMARY KEY NOT NULL,"
    " genre TEXT NOT NULL,"
    " valeur)";

enum class Issue { ouverte, illisible, echec };

bool illisible(int code) {
    const int primaire = code & 0xff;
    return primaire == SQLITE_NOTADB || primaire == SQLITE_CORRUPT;
}

// Resets a statement and drops its bindings when leaving the scope, so that a statement never
// keeps pointers into the caller's strings nor a read lock between calls.
class Remise {
public:
    explicit Remise(sqlite3_stmt* requete) : requete_(requete) {}
    ~Remise() {
        sqlite3_reset(requete_);
        sqlite3_clear_bindings(requete_);
    }
    Remise(const Remise&) = delete;
    Remise& operator=(const Remise&) = delete;

private:
    sqlite3_stmt* requete_;
};

// Creates the missing folders of `dossier` with mode 0700 (the store holds the local token).
// Folders that already exist keep their mode.
bool preparerDossier(const fs::path& dossier) {
    if (dossier.empty()) return true;
    struct stat etat {};
    if (::stat(dossier.c_str(), &etat) == 0) return S_ISDIR(etat.st_mode);
    if (errno != ENOENT) return false;
    const fs::path parent = dossier.parent_path();
    if (parent == dossier || !preparerDossier(parent)) return false;
    if (::mkdir(dossier.c_str(), 0700) != 0) {
        if (errno != EEXIST) return false;
        return ::stat(dossier.c_str(), &etat) == 0 && S_ISDIR(etat.st_mode);
    }
    // mkdir applies the umask; the mode must not depend on it.
    return ::chmod(dossier.c_str(), 0700) == 0;
}

struct Identite {
    dev_t peripherique = 0;
    ino_t noeud = 0;
    bool operator==(const Identite&) const = default;
};

// Creates the file 0600 before SQLite sees it (SQLite would create it with the umask's mode)
// and brings an existing file back to 0600. SQLite gives its -wal and -shm companions the
// mode of the database file.
std::optional<Identite> preparerFichier(const fs::path& fichier) {
    // O_NONBLOCK: a FIFO at this place must not hang the opening; it is refused below.
    const int fd = ::open(fichier.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return std::nullopt;
    struct stat etat {};
    bool bon = ::fstat(fd, &etat) == 0 && S_ISREG(etat.st_mode);
    if (bon && (etat.st_mode & 07777) != 0600) bon = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    if (!bon) return std::nullopt;
    return Identite{etat.st_dev, etat.st_ino};
}


}  // namespace

struct PreferencesSqlite::Connexion {
    sqlite3* base = nullptr;
    sqlite3_stmt* lire = nullptr;
    sqlite3_stmt* ecrire = nullptr;
    sqlite3_stmt* supprimer = nullptr;
    sqlite3_stmt* debut = nullptr;
    sqlite3_stmt* valider = nullptr;
    sqlite3_stmt* annuler = nullptr;

    Connexion() = default;
    Connexion(const Connexion&) = delete;
    Connexion& operator=(const Connexion&) = delete;
    ~Connexion() {
        for (sqlite3_stmt* r : {lire, ecrire, supprimer, debut, valider, annuler})
            sqlite3_finalize(r);
        sqlite3_close_v2(base);
    }

    // Runs a statement that takes no parameter to its end; `premiere` receives the first
    // column of the first row.
    int executer(const char* sql, std::string* premiere = nullptr) {
        sqlite3_stmt* requete = nullptr;
        int code = sqlite3_prepare_v2(base, sql, -1, &requete, nullptr);
        if (code != SQLITE_OK) return code;
        bool premiereLigne = true;
        while ((code = sqlite3_step(requete)) == SQLITE_ROW) {
            if (premiere && premiereLigne) {
                const unsigned char* t = sqlite3_column_text(requete, 0);
                *premiere = t ? reinterpret_cast<const char*>(t) : "";
            }
            premiereLigne = false;
        }
        sqlite3_finalize(requete);
        return code == SQLITE_DONE ? SQLITE_OK : code;
    }

    int preparer(const char* sql, sqlite3_stmt** requete) {
        // Persistent: these statements live as long as the connection.
        return sqlite3_prepare_v3(base, sql, -1, SQLITE_PREPARE_PERSISTENT, requete, nullptr);
    }

    // Runs a prepared statement whose parameters are bound, then resets it.
    bool pas(sqlite3_stmt* requete) {
        Remise remise(requete);
        return sqlite3_step(requete) == SQLITE_DONE;
    }

    bool lier(sqlite3_stmt* requete, int indice, std::string_view texte) {
        return sqlite3_bind_text64(requete, indice, texte.data(), texte.size(), SQLITE_STATIC,
                                   SQLITE_UTF8) == SQLITE_OK;
    }

    bool appliquer(const Modification& m) {
        if (!m.valeur) {
            Remise remise(supprimer);
            return lier(supprimer, 1, m.cle) && sqlite3_step(supprimer) == SQLITE_DONE;
        }
        Remise remise(ecrire);
        if (!lier(ecrire, 1, m.cle)) return false;
        bool lie = false;
        if (const auto* t = std::get_if<std::string>(&*m.valeur)) {
            lie = lier(ecrire, 2, GENRE_TEXTE) && lier(ecrire, 3, *t);
        } else if (const auto* n = std::get_if<double>(&*m.valeur)) {
            lie = lier(ecrire, 2, GENRE_NOMBRE) && sqlite3_bind_double(ecrire, 3, *n) == SQLITE_OK;
        } else if (const auto* o = std::get_if<Octets>(&*m.valeur)) {
            // A non-null pointer even for no bytes: an empty value, not NULL.
            static const char rien = 0;
            const char* d = o->donnees.empty() ? &rien : o->donnees.data();
            lie = lier(ecrire, 2, GENRE_OCTETS) &&
                  sqlite3_bind_blob64(ecrire, 3, d, o->donnees.size(), SQLITE_STATIC) == SQLITE_OK;
        }
        return lie && sqlite3_step(ecrire) == SQLITE_DONE;
    }
};

namespace {

struct Tentative {
    Issue issue = Issue::echec;
    std::unique_ptr<PreferencesSqlite::Connexion> connexion;
    Identite identite;
};

Tentative essayer(const fs::path& fichier) {
    Tentative t;
    const auto identite = preparerFichier(fichier);
    if (!identite) return t;
    t.identite = *identite;

    auto c = std::make_unique<PreferencesSqlite::Connexion>();
    // The file exists now: SQLite must not create another one somewhere (it would with the
    // umask's mode) if it vanished in between.
    if (sqlite3_open_v2(fichier.c_str(), &c->base, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return t;
    sqlite3_extended_result_codes(c->base, 1);
    sqlite3_busy_timeout(c->base, ATTENTE_VERROU_MS);
    // A file edited by someone else must not be able to corrupt itself through us nor run
    // functions from its schema.
    sqlite3_db_config(c->base, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(c->base, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);

    // Write-ahead log with synchronous=FULL: a commit is one append and one fsync of the log,
    // durable when it returns, and a write cut short leaves a torn tail of the log that is
    // ignored, never a half-written database. Readers (the other instance, the main thread)
    // never wait for a writer. Where the file system cannot share the log's index, SQLite
    // keeps the rollback journal, which with FULL is just as safe; either mode will do.
    std::string mode;
    int code = c->executer("PRAGMA journal_mode=WAL", &mode);
    // Another instance holding a store still in rollback mode prevents the switch, not the use.
    if ((code & 0xff) == SQLITE_BUSY) code = SQLITE_OK;
    if (code == SQLITE_OK) code = c->executer("PRAGMA synchronous=FULL");
    std::string controle;
    if (code == SQLITE_OK) code = c->executer("PRAGMA quick_check(1)", &controle);
    if (code == SQLITE_OK && controle != "ok") {
        t.issue = Issue::illisible;
        return t;
    }
    if (code == SQLITE_OK) code = c->executer(SCHEMA);
    if (code != SQLITE_OK) {
        t.issue = illisible(code) ? Issue::illisible : Issue::echec;
        return t;
    }

    const struct {
        const char* sql;
        sqlite3_stmt** requete;
    } requetes[] = {
        {"SELECT genre, valeur FROM preferences WHERE cle = ?1", &c->lire},
        {"INSERT INTO preferences (cle, genre, valeur) VALUES (?1, ?2, ?3)"
         " ON CONFLICT (cle) DO UPDATE SET genre = excluded.genre, valeur = excluded.valeur",
         &c->ecrire},
        {"DELETE FROM preferences WHERE cle = ?1", &c->supprimer},
        // IMMEDIATE takes the write lock at once, so that waiting for another instance happens
        // here, under the busy timeout, rather than as a failure in the middle of the batch.
        {"BEGIN IMMEDIATE", &c->debut},
        {"COMMIT", &c->valider},
        {"ROLLBACK", &c->annuler},
    };
    for (const auto& r : requetes) {
        code = c->preparer(r.sql, r.requete);
        if (code != SQLITE_OK) {
            // A table of the same name but another shape: a file that is not ours.
            const int primaire = code & 0xff;
            t.issue = (illisible(code) || primaire == SQLITE_ERROR) ? Issue::illisible : Issue::echec;
            return t;
        }
    }
    t.issue = Issue::ouverte;
    t.connexion = std::move(c);
    return t;
}

}  // namespace

PreferencesSqlite::PreferencesSqlite(std::unique_ptr<Connexion> connexion, fs::path fichier,
                                     std::optional<fs::path> fichierEcarte)
    : connexion_(std::move(connexion)),
      fichier_(std::move(fichier)),
      fichierEcarte_(std::move(fichierEcarte)) {}

PreferencesSqlite::~PreferencesSqlite() = default;

std::unique_ptr<PreferencesSqlite> PreferencesSqlite::ouvrir(const fs::path& fichier) {
    HorlogeSysteme horloge;
    return ouvrir(fichier, horloge);
}

std::unique_ptr<PreferencesSqlite> PreferencesSqlite::ouvrir(const fs::path& fichier,
                                                            const Horloge& horloge) {
    try {
        if (fichier.empty() || !fichier.has_filename()) return nullptr;
        if (!preparerDossier(fichier.parent_path())) return nullptr;
        std::optional<fs::path> ecarte;
        for (int essai = 0; essai < 3; ++essai) {
            Tentative t = essayer(fichier);
            if (t.issue == Issue::ouverte)
                return std::unique_ptr<PreferencesSqlite>(
                    new PreferencesSqlite(std::move(t.connexion), fichier, std::move(ecarte)));
            if (t.issue == Issue::echec) return nullptr;
            t.connexion.reset();  // close before moving the file
            // Another instance starting at the same moment may have moved it already and
            // created a fresh store: only move the very file found unreadable.
            struct stat etat {};
            if (::stat(fichier.c_str(), &etat) == 0 &&
                Identite{etat.st_dev, etat.st_ino} == t.identite) {
                ecarte = ecarterFichierIllisible(fichier, horloge.maintenant());
                if (!ecarte) return nullptr;
            }
        }
        return nullptr;
    } catch (...) {
        // Out of memory, or a path that cannot be converted: the caller falls back to memory.
        return nullptr;
    }
}

fs::path PreferencesSqlite::cheminParDefaut() {
    return fs::path(g_get_user_config_dir()) / "ovrel-studio" / "preferences.sqlite";
}

std::optional<ValeurPreference> PreferencesSqlite::lire(std::string_view cle) const {
    Connexion& c = *connexion_;
    Remise remise(c.lire);
    if (!c.lier(c.lire, 1, cle) || sqlite3_step(c.lire) != SQLITE_ROW) return std::nullopt;

    const auto* g = sqlite3_column_text(c.lire, 0);
    const std::string_view genre = g ? reinterpret_cast<const char*>(g) : "";
    const int type = sqlite3_column_type(c.lire, 1);
    if (genre == GENRE_NOMBRE) {
        if (type == SQLITE_FLOAT || type == SQLITE_INTEGER)
            return ValeurPreference{sqlite3_column_double(c.lire, 1)};
        if (type == SQLITE_NULL) return ValeurPreference{std::numeric_limits<double>::quiet_NaN()};
        return std::nullopt;
    }
    if (genre != GENRE_TEXTE && genre != GENRE_OCTETS) return std::nullopt;
    // Blob access gives the bytes as stored, without any text conversion.
    const void* d = sqlite3_column_blob(c.lire, 1);
    const int n = sqlite3_column_bytes(c.lire, 1);
    std::string donnees = d ? std::string(static_cast<const char*>(d), static_cast<std::size_t>(n))
                            : std::string();
    if (genre == GENRE_TEXTE) return ValeurPreference{std::move(donnees)};
    return ValeurPreference{Octets{std::move(donnees)}};
}

bool PreferencesSqlite::ecrire(const std::vector<Modification>& modifications) {
    if (modifications.empty()) return true;
    Connexion& c = *connexion_;
    if (!c.pas(c.debut)) return false;
    bool bon = true;
    for (const auto& m : modifications)
        if (!(bon = c.appliquer(m))) break;
    if (bon) bon = c.pas(c.valider);
    // Some failures end the transaction by themselves; otherwise undo the partial batch so
    // that the next batch does not find a transaction left open.
    if (!bon && !sqlite3_get_autocommit(c.base)) c.pas(c.annuler);
    return bon;
}

}  // namespace ovrel
