// The embedded web view. The WebKitGTK adapter presents the application's user agent, keeps
// its data in a persistent store and reports its events to the application object.
#pragma once

#include "plateforme/cookie.h"
#include "plateforme/http.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class VueWeb {
public:
    virtual ~VueWeb() = default;

    virtual void charger(const std::string& url, std::chrono::milliseconds delai = std::chrono::seconds(60)) = 0;
    virtual void recharger() = 0;
    virtual std::optional<std::string> urlCourante() const = 0;

    // Result as text (the adapter converts the script's value to a string), or the error with
    // its domain and code (a throwing script, a Promise result…).
    using ResultatScript = std::function<void(std::optional<std::string> resultat, std::optional<ErreurTransport> erreur)>;
    virtual void evaluer(const std::string& script, ResultatScript completion) = 0;

    // The web view's own cookie store. Completions run on the main context.
    virtual void cookies(std::function<void(std::vector<Cookie>)> completion) = 0;
    virtual void ajouterCookie(const Cookie& cookie, std::function<void()> completion) = 0;
    // Removes cookies, local storage and session storage, whatever their date.
    virtual void effacerDonnees(std::function<void()> completion) = 0;
};

}  // namespace ovrel
