// The embedded web view. The WebKitGTK adapter presents the application's user agent, keeps
// its data in a persistent store and reports its events to one listener, the application
// object: the adapter only translates what the engine says, every decision is the listener's.
#pragma once

#include "plateforme/cookie.h"
#include "plateforme/http.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

// A download, as the web view's adapter numbers them (from 1, never reused).
using IdTelechargement = std::uint64_t;

// How a navigation came about.
enum class GenreNavigation { lien, formulaire, formulaireRenvoye, historique, rechargement, autre };

// A navigation the view is about to make.
struct ActionNavigation {
    std::optional<std::string> url;  // absent when the request has none
    std::string methode = "GET";     // upper-cased
    GenreNavigation genre = GenreNavigation::autre;
    bool redirection = false;
    // Whether it targets the main frame. WebKitGTK does not say: the adapter knows it for the
    // loads the application asks for (main frame) and for the links and forms a user follows (a
    // script of its own, in every frame, tells which frame the click or the form targets); for
    // everything else (an iframe's own load, a script's navigation, a redirect) it is absent,
    // and the response to the navigation, which does say, is where main-frame rules apply.
    std::optional<bool> cadrePrincipal;
    // A link with a target: the page asks for a new window.
    bool nouvelleFenetre = false;
};

// A response the view received for a navigation.
struct ReponseNavigation {
    std::optional<std::string> url;
    int statut = 0;                                   // 0 when the response is not HTTP
    std::string typeMime;
    std::optional<std::string> dispositionContenu;    // the "Content-Disposition" header
    std::string methode = "GET";                      // of the request, upper-cased
    bool cadrePrincipal = true;
    bool typeAffichable = true;                       // the engine can show this type
};

enum class DecisionNavigation { autoriser, annuler, telecharger };

// A page whose certificate the engine refused.
struct EchecCertificat {
    std::string url;
    std::string hote;
    std::string sujet;        // the certificate's subject, as the engine reads it
    unsigned drapeaux = 0;    // GTlsCertificateFlags
};

// A message a page posted to one of the handlers the view listens to.
struct MessageScript {
    std::string nom;                       // the handler's name
    std::string corps;                     // the message's value, as JSON text
    std::optional<std::string> origine;    // the posting page's origin ("https://h:p"), when known
    std::optional<bool> cadrePrincipal;    // whether the main frame posted it, when known
};

// A page asks for the camera, the microphone or both.
struct DemandeMedia {
    bool camera = false;
    bool micro = false;
    // The address of the page that asks (the main frame's: the engine does not say which frame
    // asked, and a sub-frame may only ask with its parent's leave).
    std::optional<std::string> url;
};

// What a page's script asks the user (window.alert, confirm, prompt).
enum class GenreDialogueScript { alerte, confirmation, saisie };
struct DialogueScript {
    GenreDialogueScript genre = GenreDialogueScript::alerte;
    std::string message;
    std::string texteInitial;  // a prompt's default text
};
// The page receives `ok` for a confirmation, and `texte` (null when absent) for a prompt.
struct ReponseDialogueScript {
    bool ok = false;
    std::optional<std::string> texte;
};

// What the view reports, on the main context. Every event is of the main frame unless it says
// otherwise.
class EvenementsVueWeb {
public:
    virtual ~EvenementsVueWeb() = default;

    // The view committed to a new page; its address is the view's `urlCourante()`.
    virtual void adresseEngagee() = 0;
    // The page finished loading.
    virtual void chargementTermine() = 0;
    // The load failed, before its page was committed (`avantEngagement`) or after.
    virtual void chargementEchoue(const std::optional<std::string>& url, const ErreurTransport& erreur,
                                  bool avantEngagement) = 0;
    // Any frame. Answered at once (a question to the user runs a nested main loop meanwhile).
    virtual DecisionNavigation deciderNavigation(const ActionNavigation& action) = 0;
    // Any frame, as `cadrePrincipal` says.
    virtual DecisionNavigation deciderReponse(const ReponseNavigation& reponse) = 0;
    // A link with a target or a script asked for a window; the view never makes a second one.
    virtual void nouvelleFenetreDemandee(const std::optional<std::string>& url) = 0;
    // A page's certificate was refused by the system's trust rules. True: the view accepts this
    // certificate for this host from now on and loads the address again; false: the load fails
    // with its TLS error.
    virtual bool certificatRefuse(const EchecCertificat& echec) = 0;
    // A message on one of the handlers of `ecouterMessages`.
    virtual void messageScript(const MessageScript& message) = 0;
    // A page's own dialog, answered at once (a modal dialog runs a nested main loop meanwhile).
    virtual ReponseDialogueScript dialogueScript(const DialogueScript& dialogue) = 0;
    // A page's file input asks for files (several when `plusieurs`): the chosen files, none
    // when the user cancelled.
    virtual std::vector<std::filesystem::path> fichiersDemandes(bool plusieurs) = 0;
    // True grants the request, false denies it.
    virtual bool mediaDemande(const DemandeMedia& demande) = 0;

    // A download started, from a navigation decision or on its own.
    virtual void telechargementCommence(IdTelechargement id, const std::optional<std::string>& url) = 0;
    // Where to save it; `repondre` runs once, now or later, with the file, or with nothing to
    // cancel the download.
    virtual void destinationTelechargement(IdTelechargement id, const std::string& nomPropose,
                                           std::function<void(std::optional<std::filesystem::path>)> repondre) = 0;
    virtual void telechargementTermine(IdTelechargement id) = 0;
    // A failed download reports no end afterwards. `annule`: it was cancelled (its destination
    // refused, or stopped), not a failure of its own.
    virtual void telechargementEchoue(IdTelechargement id, const ErreurTransport& erreur, bool annule) = 0;
};

class VueWeb {
public:
    virtual ~VueWeb() = default;

    // The one listener of the view's events (nullptr: none; events are then dropped and every
    // decision is the engine's own).
    virtual void definirEcouteur(EvenementsVueWeb* ecouteur) = 0;
    // Pages may post messages to a handler of this name (window.webkit.messageHandlers.NOM
    // .postMessage in the main frame); they reach the listener with the posting frame and its
    // origin. A sub-frame has no such handler; what it posts anyway is reported as not of the
    // main frame.
    virtual void ecouterMessages(const std::string& nom) = 0;
    // A script of the application run in the main frame of every page, before the page's own
    // scripts (document start), in the page's world.
    virtual void ajouterScript(const std::string& source) = 0;

    // Starts the engine's page process ahead of the view's first page, which then does not wait
    // for it: nothing is loaded, the listener hears nothing, the current address stays absent. A
    // view that has loaded, or been prepared, already does nothing.
    virtual void preparer() = 0;
    virtual void charger(const std::string& url, std::chrono::milliseconds delai = std::chrono::seconds(60)) = 0;
    virtual void recharger() = 0;
    virtual std::optional<std::string> urlCourante() const = 0;
    // The page's title, empty when it has none.
    virtual std::string titre() const = 0;

    // Prints the page shown through the platform's print dialog, modal on the window; the
    // user's printer, paper and margins are kept from one print to the next, pages are centred
    // horizontally only. `fin` runs once, later, with true when the user printed (to a printer
    // or to a file) and false when the dialog was cancelled or the print failed.
    virtual void imprimer(const std::string& titreTravail, std::function<void(bool reussie)> fin) = 0;

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
