#include "plateforme/glib/systeme_linux.h"

#include "plateforme/objets_g.h"

#include <gio/gio.h>
#include <syslog.h>

#include <algorithm>
#include <memory>
#include <system_error>

namespace ovrel {

namespace fs = std::filesystem;

namespace {

// What a reveal needs once the adapter has returned: the item and the folder to fall back on.
struct Revelation {
    std::string uriFichier;
    std::string uriDossier;
};

std::string uriDe(const fs::path& chemin) {
    TexteG uri(g_filename_to_uri(chemin.c_str(), nullptr, nullptr));
    if (!uri) return {};
    return std::string(uri.get());
}

void ouvrirLeDossier(const Revelation& revelation) {
    if (!revelation.uriDossier.empty())
        g_app_info_launch_default_for_uri(revelation.uriDossier.c_str(), nullptr, nullptr);
}

void surReponse(GObject* source, GAsyncResult* resultat, gpointer donnees) {
    const std::unique_ptr<Revelation> revelation(static_cast<Revelation*>(donnees));
    ErreurRecue erreur;
    if (VariantG(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), resultat, erreur.adresse()))) return;
    ouvrirLeDossier(*revelation);
}

void surBus(GObject*, GAsyncResult* resultat, gpointer donnees) {
    auto* revelation = static_cast<Revelation*>(donnees);
    ErreurRecue erreur;
    const auto bus = RefG<GDBusConnection>::adopter(g_bus_get_finish(resultat, erreur.adresse()));
    if (!bus) {
        ouvrirLeDossier(*revelation);
        delete revelation;
        return;
    }
    const gchar* uris[] = {revelation->uriFichier.c_str(), nullptr};
    // A file manager started on demand may take a few seconds to answer.
    g_dbus_connection_call(bus.get(), "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                           "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(^ass)", uris, ""),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, 10'000, nullptr, surReponse, revelation);
}

}  // namespace

SystemeLinux::SystemeLinux() {
    openlog("ovrel-studio", LOG_PID | LOG_PERROR, LOG_USER);
}

// The log stays open: it belongs to the process, and closing it would also drop the name
// under which any other instance logs.
SystemeLinux::~SystemeLinux() = default;

bool SystemeLinux::ouvrirDansLeNavigateur(const std::string& url) {
    ErreurRecue erreur;
    return g_app_info_launch_default_for_uri(url.c_str(), nullptr, erreur.adresse());
}

void SystemeLinux::reveler(const fs::path& fichier) {
    std::error_code e;
    const fs::path absolu = fichier.is_absolute() ? fichier : fs::absolute(fichier, e);
    if (absolu.empty()) return;
    auto* revelation = new Revelation{uriDe(absolu), uriDe(absolu.parent_path())};
    if (revelation->uriFichier.empty()) {
        ouvrirLeDossier(*revelation);
        delete revelation;
        return;
    }
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, surBus, revelation);
}

void SystemeLinux::journal(const std::string& ligne) {
    std::string une = ligne;
    std::replace_if(une.begin(), une.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    syslog(LOG_USER | LOG_INFO, "%s", une.c_str());
}

}  // namespace ovrel
