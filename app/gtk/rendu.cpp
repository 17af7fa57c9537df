#include "app/gtk/rendu.h"

#include <glib.h>

#include <string_view>
#include <system_error>

namespace ovrel {

bool noeudDeRenduPresent(const std::filesystem::path& dossierDri) {
    std::error_code erreur;
    for (std::filesystem::directory_iterator entree(dossierDri, erreur), fin; !erreur && entree != fin;
         entree.increment(erreur)) {
        if (entree->path().filename().string().starts_with("renderD")) return true;
    }
    return false;
}

std::optional<std::string> debogageGdkPourLeRendu(bool noeudDeRendu, const char* gdkDebug, const char* gskRenderer) {
    if (noeudDeRendu) return std::nullopt;
    // Someone debugging GDK, or asking for a renderer of their own, gets exactly what they set.
    if (gdkDebug != nullptr && *gdkDebug != '\0') return std::nullopt;
    if (gskRenderer != nullptr && *gskRenderer != '\0' && std::string_view(gskRenderer) != "cairo") return std::nullopt;
    return std::string("gl-disable");
}

bool choisirLeRendu() {
    const auto valeur = debogageGdkPourLeRendu(noeudDeRenduPresent(), g_getenv("GDK_DEBUG"), g_getenv("GSK_RENDERER"));
    if (!valeur) return false;
    // GTK 4.8 reads it when it opens the display. Programs started from here (the browser of the
    // sign-in) inherit it, on the same machine without a graphics device.
    g_setenv("GDK_DEBUG", valeur->c_str(), TRUE);
    // Without OpenGL GTK would first try its OpenGL renderer for each window, fail and say so.
    g_setenv("GSK_RENDERER", "cairo", FALSE);
    return true;
}

}  // namespace ovrel
