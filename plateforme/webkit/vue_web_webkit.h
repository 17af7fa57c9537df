// The web view port over WebKitGTK 6.0: one web view on its own persistent network session
// (website data, cache and an SQLite cookie file in the user's XDG folders), presenting the
// application's user agent.
#pragma once

#include "plateforme/vue_web.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <webkit/webkit.h>

namespace ovrel {

// Holds one reference to a GObject and drops it when destroyed. `adopter` takes a reference
// the caller already owns (a "transfer full" result); `partager` adds one.
template <class T>
class RefG {
public:
    RefG() = default;
    static RefG adopter(T* objet) { return RefG(objet); }
    static RefG partager(T* objet) { return RefG(objet ? static_cast<T*>(g_object_ref(objet)) : nullptr); }
    RefG(const RefG& autre) : objet_(autre.objet_ ? static_cast<T*>(g_object_ref(autre.objet_)) : nullptr) {}
    RefG(RefG&& autre) noexcept : objet_(autre.objet_) { autre.objet_ = nullptr; }
    RefG& operator=(RefG autre) noexcept {
        std::swap(objet_, autre.objet_);
        return *this;
    }
    ~RefG() {
        if (objet_) g_object_unref(objet_);
    }
    T* get() const { return objet_; }
    explicit operator bool() const { return objet_ != nullptr; }

private:
    explicit RefG(T* objet) : objet_(objet) {}
    T* objet_ = nullptr;
};

// An error of the web engine or of GLib, as the alerts show it: "(domain code)".
ErreurTransport erreurDepuisG(const GError* erreur);

class VueWebWebKit final : public VueWeb {
public:
    // Where the persistent session keeps its data and its cache.
    struct Dossiers {
        std::filesystem::path donnees;
        std::filesystem::path cache;
    };
    // "$XDG_DATA_HOME/ovrel-studio" and "$XDG_CACHE_HOME/ovrel-studio" (GLib's defaults,
    // ~/.local/share and ~/.cache, when the variables are unset).
    static Dossiers dossiersParDefaut();
    // The SQLite cookie file inside the data folder, "cookies-vue-web.sqlite": the application's
    // own HTTP jar has its own file in the same folder, and the two engines never share one.
    static std::filesystem::path fichierCookies(const Dossiers& dossiers);

    // Needs GTK initialised. The folders are created (0700) when missing.
    explicit VueWebWebKit(const Dossiers& dossiers = dossiersParDefaut());
    ~VueWebWebKit() override;
    VueWebWebKit(const VueWebWebKit&) = delete;
    VueWebWebKit& operator=(const VueWebWebKit&) = delete;

    // Loads `url`. When the load has not started or is still under way after `delai`, it is
    // stopped (a GLib timeout): the view then reports a failed load with WebKitNetworkError 302
    // (as any stopped load), and `delaiDepasse()` tells that the time-out stopped it. The timer
    // ends with the first load that finishes once this one has started (a link followed
    // meanwhile included); the end of a load this call replaced does not count.
    void definirEcouteur(EvenementsVueWeb* ecouteur) override { ecouteur_ = ecouteur; }
    void ecouterMessages(const std::string&) override {}

    void charger(const std::string& url, std::chrono::milliseconds delai = std::chrono::seconds(60)) override;
    void recharger() override;
    // The view's current address ("about:blank" included), absent when it has none.
    std::optional<std::string> urlCourante() const override;
    // The script runs in the page's own world. A result is converted with jsc_value_to_string
    // ("undefined", "null", numbers as JavaScript writes them). Completions never run once this
    // object is destroyed.
    void evaluer(const std::string& script, ResultatScript completion) override;
    void cookies(std::function<void(std::vector<Cookie>)> completion) override;
    // The completion runs whether or not the store accepted the cookie (a refusal is logged).
    void ajouterCookie(const Cookie& cookie, std::function<void()> completion) override;
    void effacerDonnees(std::function<void()> completion) override;

    // True when the time-out of the last `charger` stopped its load.
    bool delaiDepasse() const { return delaiDepasse_; }

    // Runs after every finished load (successful or failed), main frame.
    void surChargementTermine(std::function<void()> action) { chargementTermine_ = std::move(action); }
    // Runs whenever the current address changes (commits, same-document navigations).
    void surChangementAdresse(std::function<void()> action) { changementAdresse_ = std::move(action); }

    // For the window, which parents the view, and for the later delegate work.
    GtkWidget* widget() const { return GTK_WIDGET(vue_.get()); }
    WebKitWebView* vue() const { return vue_.get(); }
    WebKitNetworkSession* session() const { return session_.get(); }

private:
    static void quandChargement(WebKitWebView* vue, WebKitLoadEvent evenement, gpointer moi);
    static void quandAdresse(GObject* vue, GParamSpec* propriete, gpointer moi);
    void arreterMinuteur();

    RefG<WebKitNetworkSession> session_;
    RefG<WebKitWebView> vue_;
    RefG<GCancellable> annulation_;
    // Completions of asynchronous calls check it before touching this object.
    std::shared_ptr<char> vivant_ = std::make_shared<char>(0);
    guint minuteur_ = 0;
    // Loads asked for by `charger` whose start has not been reported yet.
    int demarragesAttendus_ = 0;
    bool delaiDepasse_ = false;
    EvenementsVueWeb* ecouteur_ = nullptr;
    std::function<void()> chargementTermine_;
    std::function<void()> changementAdresse_;
};

}  // namespace ovrel
