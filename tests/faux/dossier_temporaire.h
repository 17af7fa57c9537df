// A fresh folder under the system's temporary folder, removed with its contents at the end: for
// the tests that need real files (project folders, scripts, databases).
#pragma once

#include <glib.h>

#include <filesystem>
#include <system_error>

namespace ovrel::essais {

class DossierTemporaire {
public:
    DossierTemporaire() {
        if (char* chemin = g_dir_make_tmp("ovrel-essai-XXXXXX", nullptr)) {
            chemin_ = chemin;
            g_free(chemin);
        }
    }
    ~DossierTemporaire() {
        std::error_code ignoree;
        if (!chemin_.empty()) std::filesystem::remove_all(chemin_, ignoree);
    }
    DossierTemporaire(const DossierTemporaire&) = delete;
    DossierTemporaire& operator=(const DossierTemporaire&) = delete;
    // Empty when the folder could not be made.
    const std::filesystem::path& chemin() const { return chemin_; }

private:
    std::filesystem::path chemin_;
};

}  // namespace ovrel::essais
