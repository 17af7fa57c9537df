// Helpers shared by the tests that run a real GTK main loop.
#pragma once

#include "tests/faux/dossier_temporaire.h"

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

}  // namespace ovrel::essais
