// The user defaults kept in one SQLite file of the user's configuration folder.
//
// Each `ecrire` batch is one transaction, durable once it returns true, and a process killed
// in the middle of a write leaves the earlier keys intact. Two instances of the application
// may share the file: a writer waits a moment for the other instead of failing at once.
#pragma once

#include "plateforme/horloge.h"
#include "plateforme/preferences.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace ovrel {

class PreferencesSqlite final : public Preferences {
public:
    // Opens (creating when missing, folder 0700, file 0600) the store at `fichier`. A file that
    // is not a usable store is moved aside to "<name>.illisible-<UTC date>" and an empty store
    // starts in its place. Absent when the location cannot be written. Never throws.
    static std::unique_ptr<PreferencesSqlite> ouvrir(const std::filesystem::path& fichier);
    // The same; `horloge` dates the name of a file moved aside.
    static std::unique_ptr<PreferencesSqlite> ouvrir(const std::filesystem::path& fichier,
                                                     const Horloge& horloge);

    // "$XDG_CONFIG_HOME/ovrel-studio/preferences.sqlite" (~/.config when the variable is unset).
    static std::filesystem::path cheminParDefaut();

    ~PreferencesSqlite() override;
    PreferencesSqlite(const PreferencesSqlite&) = delete;
    PreferencesSqlite& operator=(const PreferencesSqlite&) = delete;

    // Absent when the key is missing or the store cannot be read.
    std::optional<ValeurPreference> lire(std::string_view cle) const override;
    // Applies the changes in order (the last change of a key wins) in one transaction.
    bool ecrire(const std::vector<Modification>& modifications) override;

    const std::filesystem::path& fichier() const { return fichier_; }
    // Where an unreadable file found at opening was moved, so that the caller can report it.
    const std::optional<std::filesystem::path>& fichierEcarte() const { return fichierEcarte_; }

    // The SQLite connection and its prepared statements; defined in the implementation.
    struct Connexion;

private:
    PreferencesSqlite(std::unique_ptr<Connexion> connexion, std::filesystem::path fichier,
                      std::optional<std::filesystem::path> fichierEcarte);

    std::unique_ptr<Connexion> connexion_;
    std::filesystem::path fichier_;
    std::optional<std::filesystem::path> fichierEcarte_;
};

}  // namespace ovrel
