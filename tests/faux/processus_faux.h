// The child-process port for tests: records what was started; the test then plays the child of
// the latest start (pieces of output, its end, or a start that failed). Reports go through the
// main queue, never from inside `lancer` nor from inside the test's call, and stop when the fake
// is destroyed, as the real adapter's do.
#pragma once

#include "plateforme/minuteries.h"
#include "plateforme/processus.h"
#include "plateforme/vivant.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class ProcessusFaux final : public Processus {
public:
    explicit ProcessusFaux(Minuteries& filePrincipale) : file_(filePrincipale) {}

    void lancer(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                const std::filesystem::path& dossier, SurDonnees surDonnees, SurFin surFin,
                SurEchecLancement surEchecLancement) override;

    struct Lancement {
        std::filesystem::path executable;
        std::vector<std::string> arguments;
        std::filesystem::path dossier;
    };
    // Every start asked for, in order.
    std::vector<Lancement> lancements;

    // The latest child writes `octets` (not empty).
    void ecrire(std::string octets);
    // The latest child exits, its output drained; absent status: ended by a signal.
    void finir(std::optional<int> statut);
    // The latest start fails, with the system's description; only before it wrote or ended.
    void echouerLancement(std::string description);

    // Children started that have neither ended nor failed.
    std::size_t enCours() const;

private:
    struct Enfant {
        SurDonnees surDonnees;
        SurFin surFin;
        SurEchecLancement surEchec;
        bool aEcrit = false;
        bool termine = false;
    };

    // The latest child, which must not have ended; a test that breaks the port's contract
    // throws rather than checking a flow against reports the real adapter never gives.
    Enfant& dernier();

    Minuteries& file_;
    std::vector<Enfant> enfants_;
    Vivant vivant_;
};

}  // namespace ovrel
