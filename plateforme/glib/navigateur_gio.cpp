#include "plateforme/glib/navigateur_gio.h"

#include "plateforme/objets_g.h"

#include <gio/gio.h>

#include <string_view>
#include <utility>

namespace ovrel {

namespace {

// What outlives the session's handle: GIO's launch callback and a queued delivery hold it.
struct EtatSession {
    std::string url;
    std::optional<std::string> schema;  // lower-cased; absent when nothing comes back
    NavigateurConnexion::Completion completion;
    bool demarree = false;
    bool annulee = false;
    bool terminee = false;
};

// The lower-cased scheme of an address, absent when it has none.
std::optional<std::string> schemaDe(const std::string& adresse) {
    TexteG schema(g_uri_parse_scheme(adresse.c_str()));
    if (!schema) return std::nullopt;
    TexteG bas(g_ascii_strdown(schema.get(), -1));
    return std::string(bas.get());
}

// Inside a sandbox GIO hands addresses to the desktop's portal, which sees the browsers that
// the sandbox does not.
bool parLePortail() {
    if (g_file_test("/.flatpak-info", G_FILE_TEST_EXISTS)) return true;
    const char* portails = g_getenv("GIO_USE_PORTALS");
    return portails != nullptr && std::string_view(portails) == "1";
}

bool unNavigateurRepond(const std::string& url) {
    const auto schema = schemaDe(url);
    if (!schema) return false;
    if (RefG<GAppInfo>::adopter(g_app_info_get_default_for_uri_scheme(schema->c_str()))) return true;
    return parLePortail();
}

struct Livraison {
    std::shared_ptr<EtatSession> etat;
    std::optional<std::string> url;
    std::optional<ErreurTransport> erreur;
};

// Completes the session once, later, on the main context; a session dropped meanwhile gets
// nothing.
void terminer(const std::shared_ptr<EtatSession>& etat, std::optional<std::string> url,
              std::optional<ErreurTransport> erreur) {
    if (etat->annulee || etat->terminee) return;
    etat->terminee = true;
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        +[](gpointer donnees) -> gboolean {
            auto* livraison = static_cast<Livraison*>(donnees);
            EtatSession& e = *livraison->etat;
            auto completion = std::move(e.completion);
            e.completion = nullptr;
            if (!e.annulee && completion) completion(std::move(livraison->url), std::move(livraison->erreur));
            return G_SOURCE_REMOVE;
        },
        new Livraison{etat, std::move(url), std::move(erreur)},
        +[](gpointer donnees) { delete static_cast<Livraison*>(donnees); });
}

void surLancement(GObject*, GAsyncResult* resultat, gpointer donnees) {
    const std::unique_ptr<std::shared_ptr<EtatSession>> etat(static_cast<std::shared_ptr<EtatSession>*>(donnees));
    ErreurRecue erreur;
    if (g_app_info_launch_default_for_uri_finish(resultat, erreur.adresse())) {
        // The sign-out page has nothing to send back: its session ends here.
        if (!(*etat)->schema) terminer(*etat, std::nullopt, std::nullopt);
        return;
    }
    // The desktop asked which application should open the page, and the user declined: as a
    // closed page, nothing to report.
    if (g_error_matches(erreur.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        terminer(*etat, std::nullopt, std::nullopt);
        return;
    }
    terminer(*etat, std::nullopt, erreurDepuisG(erreur.get()));
}

}  // namespace

struct NavigateurGio::Attente {
    std::weak_ptr<EtatSession> session;
};

class NavigateurGio::Session final : public SessionNavigateur {
public:
    Session(std::shared_ptr<EtatSession> etat, std::shared_ptr<Attente> attente)
        : etat_(std::move(etat)), attente_(std::move(attente)) {}
    // Nobody holds the session any more: nobody would take its completion.
    ~Session() override { annuler(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool demarrer() override {
        if (etat_->demarree || etat_->annulee) return false;
        if (!unNavigateurRepond(etat_->url)) return false;
        etat_->demarree = true;
        if (etat_->schema) {
            // One return at a time: the session that waited so far is dropped.
            if (auto precedente = attente_->session.lock(); precedente && precedente != etat_)
                precedente->annulee = true;
            attente_->session = etat_;
        }
        g_app_info_launch_default_for_uri_async(etat_->url.c_str(), nullptr, nullptr, surLancement,
                                                new std::shared_ptr<EtatSession>(etat_));
        return true;
    }

    void annuler() override {
        etat_->annulee = true;
        if (attente_->session.lock() == etat_) attente_->session.reset();
    }

private:
    std::shared_ptr<EtatSession> etat_;
    std::shared_ptr<Attente> attente_;
};

NavigateurGio::NavigateurGio() : attente_(std::make_shared<Attente>()) {}

NavigateurGio::~NavigateurGio() = default;

std::shared_ptr<SessionNavigateur> NavigateurGio::creer(const std::string& url,
                                                       const std::optional<std::string>& schemaRappel,
                                                       Completion completion) {
    auto etat = std::make_shared<EtatSession>();
    etat->url = url;
    if (schemaRappel) etat->schema = std::string(TexteG(g_ascii_strdown(schemaRappel->c_str(), -1)).get());
    etat->completion = std::move(completion);
    return std::make_shared<Session>(std::move(etat), attente_);
}

bool NavigateurGio::recevoirRetour(const std::string& adresse) {
    auto session = attente_->session.lock();
    if (!session || session->annulee || session->terminee) return false;
    if (schemaDe(adresse) != session->schema) return false;
    attente_->session.reset();
    terminer(session, adresse, std::nullopt);
    return true;
}

}  // namespace ovrel
