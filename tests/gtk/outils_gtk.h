// Helpers shared by the tests that run a real GTK main loop.
#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace ovrel::essais {

// Runs the main loop until `condition` holds or `delai` has passed; answers the condition.
inline bool attendre(const std::function<bool()>& condition,
                     std::chrono::milliseconds delai = std::chrono::seconds(20)) {
    const auto fin = std::chrono::steady_clock::now() + delai;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= fin) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
    }
    return true;
}

// Runs the main loop for `duree`, whatever happens.
inline void laisserTourner(std::chrono::milliseconds duree) {
    attendre([] { return false; }, duree);
}

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class DossierTemporaire {
public:
    DossierTemporaire() {
        GError* erreur = nullptr;
        char* chemin = g_dir_make_tmp("ovrel-gtk-XXXXXX", &erreur);
        if (chemin) {
            chemin_ = chemin;
            g_free(chemin);
        }
        if (erreur) g_error_free(erreur);
    }
    ~DossierTemporaire() {
        std::error_code ignoree;
        if (!chemin_.empty()) std::filesystem::remove_all(chemin_, ignoree);
    }
    DossierTemporaire(const DossierTemporaire&) = delete;
    DossierTemporaire& operator=(const DossierTemporaire&) = delete;
    const std::filesystem::path& chemin() const { return chemin_; }

private:
    std::filesystem::path chemin_;
};

}  // namespace ovrel::essais
