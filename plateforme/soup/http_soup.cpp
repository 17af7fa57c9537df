#include "plateforme/soup/http_soup.h"

#include "plateforme/adresse.h"
#include "plateforme/fichier_ecarte.h"
#include "plateforme/objets_g.h"
#include "plateforme/soup/cookie_soup.h"

#include <gio/gio.h>
#include <libsoup/soup.h>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace ovrel {

namespace fs = std::filesystem;

namespace {

// Creates the missing folders of `dossier` with mode 0700: the jar holds the console's login.
// Folders that already exist keep their mode.
bool preparerDossier(const fs::path& dossier) {
    if (dossier.empty()) return true;
    struct stat etat {};
    if (::stat(dossier.c_str(), &etat) == 0) return S_ISDIR(etat.st_mode);
    if (errno != ENOENT) return false;
    const fs::path parent = dossier.parent_path();
    if (parent != dossier && !preparerDossier(parent)) return false;
    if (::mkdir(dossier.c_str(), 0700) != 0) {
        if (errno != EEXIST) return false;
        return ::stat(dossier.c_str(), &etat) == 0 && S_ISDIR(etat.st_mode);
    }
    // mkdir applies the umask; the mode must not depend on it.
    return ::chmod(dossier.c_str(), 0700) == 0;
}

// SQLite would create the file with the umask's mode; creating it first keeps it private.
void preparerFichier(const fs::path& fichier) {
    const int fd = ::open(fichier.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return;  // already there (its mode is left alone), or not creatable: the jar says
    ::fchmod(fd, 0600);
    ::close(fd);
}

bool existe(const fs::path& chemin) {
    struct stat etat {};
    return ::lstat(chemin.c_str(), &etat) == 0;
}

// A file that is not a database would leave the jar in memory only, warning at every change,
// and the login would never persist again: it is moved aside (kept for whoever wants to look at
// it, with its journal) and a new jar starts in its place.
std::optional<fs::path> ecarterSiIllisible(const fs::path& fichier) {
    sqlite3* base = nullptr;
    int code = sqlite3_open_v2(fichier.c_str(), &base, SQLITE_OPEN_READONLY, nullptr);
    if (code == SQLITE_OK) code = sqlite3_exec(base, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    sqlite3_close(base);
    const int primaire = code & 0xff;
    if (primaire != SQLITE_NOTADB && primaire != SQLITE_CORRUPT) return std::nullopt;

    return ecarterFichierIllisible(fichier, std::chrono::system_clock::now());
}

// RFC 9110 token: method names and header field names.
bool estJeton(std::string_view texte) {
    if (texte.empty()) return false;
    constexpr std::string_view autorises = "!#$%&'*+-.^_`|~";
    return std::all_of(texte.begin(), texte.end(), [&](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
               autorises.find(c) != std::string_view::npos;
    });
}

// A value that would split the header or end the request early.
bool estValeurEntete(std::string_view texte) {
    return texte.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

ErreurTransport erreurArgument(std::string message) {
    return {g_quark_to_string(G_IO_ERROR), G_IO_ERROR_INVALID_ARGUMENT, std::move(message)};
}

const std::string* premiereValeur(const Entetes& entetes, std::string_view nom) {
    const std::string cherche = minuscules(nom);
    for (const auto& [cle, valeur] : entetes)
        if (minuscules(cle) == cherche) return &valeur;
    return nullptr;
}

guint millisecondesGlib(std::chrono::milliseconds duree) {
    const auto n = duree.count();
    if (n < 1) return 1;
    if (static_cast<unsigned long long>(n) > std::numeric_limits<guint>::max())
        return std::numeric_limits<guint>::max();
    return static_cast<guint>(n);
}

// The list of cookies a jar hands out, each a copy of its own.
struct LibererCookies {
    void operator()(GSList* liste) const { g_slist_free_full(liste, reinterpret_cast<GDestroyNotify>(soup_cookie_free)); }
};
using CookiesSoup = std::unique_ptr<GSList, LibererCookies>;

void ajouterEntete(const char* nom, const char* valeur, gpointer donnees) {
    static_cast<Entetes*>(donnees)->emplace_back(nom, valeur);
}

}  // namespace

// A request still finishing keeps the session (and its jar) alive until its callback.
struct HttpSoup::Session {
    RefG<SoupCookieJar> jar;
    RefG<SoupSession> session;  // goes first
};

// Owned by whoever finishes it: the libsoup callback once the exchange has started, the idle
// source before that. `adaptateur` is cleared when the adapter goes away first; the callback
// then only frees the record.
struct HttpSoup::Envoi {
    HttpSoup* adaptateur = nullptr;
    Completion completion;
    RefG<SoupSession> sessionPropre;  // the session of an independent request
    RefG<SoupMessage> message;
    RefG<GCancellable> annulation;  // set once the exchange has started
    GSource* minuterie = nullptr;        // the time-out, or the idle that reports an early error
    bool delaiEcoule = false;
    std::chrono::milliseconds delai{0};
    std::optional<ErreurTransport> erreurImmediate;

    Envoi() = default;
    Envoi(const Envoi&) = delete;
    Envoi& operator=(const Envoi&) = delete;
    ~Envoi() { arreterMinuterie(); }

    // Safe from inside the source's own dispatch.
    void arreterMinuterie() {
        if (!minuterie) return;
        g_source_destroy(minuterie);
        g_source_unref(minuterie);
        minuterie = nullptr;
    }

    // May run the libsoup callback at once, which frees this record: nothing may touch it after.
    void annuler() {
        const RefG<GCancellable> a = annulation;
        g_cancellable_cancel(a.get());
    }

    void attacher(GSource* source, GSourceFunc fonction) {
        minuterie = source;
        g_source_set_callback(source, fonction, this, nullptr);
        GMainContext* contexte = g_main_context_ref_thread_default();
        g_source_attach(source, contexte);
        g_main_context_unref(contexte);
    }

    static gboolean signalerErreur(gpointer donnees) {
        auto* envoi = static_cast<Envoi*>(donnees);
        ReponseHttp reponse;
        reponse.erreur = std::move(envoi->erreurImmediate);
        envoi->adaptateur->terminer(envoi, std::move(reponse));
        return G_SOURCE_REMOVE;
    }

    static gboolean delaiDepasse(gpointer donnees) {
        auto* envoi = static_cast<Envoi*>(donnees);
        envoi->arreterMinuterie();
        envoi->delaiEcoule = true;
        envoi->annuler();
        return G_SOURCE_REMOVE;
    }

    static void recu(GObject* source, GAsyncResult* resultat, gpointer donnees) {
        auto* envoi = static_cast<Envoi*>(donnees);
        ErreurRecue erreur;
        OctetsG corps(soup_session_send_and_read_finish(SOUP_SESSION(source), resultat, erreur.adresse()));
        if (!envoi->adaptateur) {
            delete envoi;
            return;
        }
        ReponseHttp reponse;
        if (corps) {
            reponse.statut = static_cast<int>(soup_message_get_status(envoi->message.get()));
            soup_message_headers_foreach(soup_message_get_response_headers(envoi->message.get()),
                                         ajouterEntete, &reponse.entetes);
            gsize taille = 0;
            const auto* octets = static_cast<const char*>(g_bytes_get_data(corps.get(), &taille));
            reponse.corps = taille ? std::string(octets, taille) : std::string();
        } else if (envoi->delaiEcoule && g_error_matches(erreur.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
            reponse.erreur = ErreurTransport{g_quark_to_string(G_IO_ERROR), G_IO_ERROR_TIMED_OUT,
                                             "Délai de " + std::to_string(envoi->delai.count()) +
                                                 " ms dépassé"};
        } else if (erreur) {
            reponse.erreur = erreurDepuisG(erreur.get());
        } else {
            reponse.erreur = ErreurTransport{g_quark_to_string(G_IO_ERROR), G_IO_ERROR_FAILED,
                                             "Échange interrompu"};
        }
        envoi->adaptateur->terminer(envoi, std::move(reponse));
    }
};

HttpSoup::HttpSoup(const fs::path& fichierCookies, const std::string& agentUtilisateur) : session_(std::make_unique<Session>()) {
    if (preparerDossier(fichierCookies.parent_path())) {
        if (existe(fichierCookies)) fichierEcarte_ = ecarterSiIllisible(fichierCookies);
        preparerFichier(fichierCookies);
    }
    session_->jar = RefG<SoupCookieJar>::adopter(soup_cookie_jar_db_new(fichierCookies.c_str(), FALSE));
    soup_cookie_jar_set_accept_policy(session_->jar.get(), SOUP_COOKIE_JAR_ACCEPT_ALWAYS);
    session_->session = RefG<SoupSession>::adopter(soup_session_new());
    if (!agentUtilisateur.empty()) soup_session_set_user_agent(session_->session.get(), agentUtilisateur.c_str());
    soup_session_add_feature(session_->session.get(), SOUP_SESSION_FEATURE(session_->jar.get()));
}

HttpSoup::~HttpSoup() {
    const auto envois = std::move(enCours_);
    enCours_.clear();
    for (Envoi* envoi : envois) {
        envoi->adaptateur = nullptr;
        // What the completion holds goes now, with its owner, rather than whenever the
        // cancelled exchange comes back.
        Completion abandonnee = std::move(envoi->completion);
        if (!envoi->annulation) {
            delete envoi;  // its idle source goes with it
            continue;
        }
        envoi->arreterMinuterie();
        envoi->annuler();
    }
}

fs::path HttpSoup::cheminCookiesParDefaut() {
    const fs::path dossier = fs::path(g_get_user_data_dir()) / "ovrel-studio";
    preparerDossier(dossier);
    return dossier / "cookies.sqlite";
}

void HttpSoup::envoyer(RequeteHttp requete, Completion completion) {
    auto* envoi = new Envoi;
    envoi->adaptateur = this;
    envoi->completion = std::move(completion);
    envoi->delai = requete.delai;
    enCours_.insert(envoi);
    lancer(envoi, std::move(requete));
}

void HttpSoup::lancer(Envoi* envoi, RequeteHttp requete) {
    auto echouer = [&](ErreurTransport erreur) {
        envoi->erreurImmediate = std::move(erreur);
        envoi->attacher(g_idle_source_new(), Envoi::signalerErreur);
    };

    ErreurRecue erreur;
    const UriG uri(g_uri_parse(requete.url.c_str(), static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS), erreur.adresse()));
    if (!uri) {
        echouer(erreurDepuisG(erreur.get()));
        return;
    }
    const std::string schema = minuscules(g_uri_get_scheme(uri.get()));
    const char* hote = g_uri_get_host(uri.get());
    if ((schema != "http" && schema != "https") || !hote || !*hote) {
        echouer(erreurArgument("Adresse non prise en charge"));
        return;
    }
    if (!estJeton(requete.methode)) {
        echouer(erreurArgument("Méthode invalide"));
        return;
    }
    for (const auto& [nom, valeur] : requete.entetes) {
        if (!estJeton(nom) || !estValeurEntete(valeur)) {
            echouer(erreurArgument("En-tête invalide"));
            return;
        }
    }

    envoi->message = RefG<SoupMessage>::adopter(soup_message_new_from_uri(requete.methode.c_str(), uri.get()));
    if (!envoi->message) {
        echouer(erreurArgument("Adresse non prise en charge"));
        return;
    }
    SoupMessageHeaders* entetes = soup_message_get_request_headers(envoi->message.get());
    for (const auto& [nom, valeur] : requete.entetes) {
        // With a body, its type travels with it (set below), not as a second header.
        if (requete.corps && minuscules(nom) == "content-type") continue;
        soup_message_headers_append(entetes, nom.c_str(), valeur.c_str());
    }
    if (requete.corps) {
        const std::string* type = premiereValeur(requete.entetes, "Content-Type");
        const OctetsG octets(g_bytes_new(requete.corps->data(), requete.corps->size()));
        soup_message_set_request_body_from_bytes(envoi->message.get(), type ? type->c_str() : nullptr, octets.get());
    }
    if (requete.ignorerCache && !premiereValeur(requete.entetes, "Cache-Control"))
        soup_message_headers_append(entetes, "Cache-Control", "no-cache");
    if (requete.sansRedirection) soup_message_add_flags(envoi->message.get(), SOUP_MESSAGE_NO_REDIRECT);

    // libsoup's own timeout starts after name resolution; this one covers the whole exchange.
    envoi->annulation = RefG<GCancellable>::adopter(g_cancellable_new());
    envoi->attacher(g_timeout_source_new(millisecondesGlib(requete.delai)), Envoi::delaiDepasse);
    SoupSession* session = session_->session.get();
    if (requete.independante) {
        envoi->sessionPropre = RefG<SoupSession>::adopter(soup_session_new());
        soup_session_set_user_agent(envoi->sessionPropre.get(), soup_session_get_user_agent(session));
        session = envoi->sessionPropre.get();
    }
    soup_session_send_and_read_async(session, envoi->message.get(), G_PRIORITY_DEFAULT, envoi->annulation.get(),
                                     Envoi::recu, envoi);
}

void HttpSoup::terminer(Envoi* envoi, ReponseHttp reponse) {
    enCours_.erase(envoi);
    Completion completion = std::move(envoi->completion);
    delete envoi;
    // Last: the completion may send again or destroy this adapter.
    if (completion) completion(std::move(reponse));
}

std::vector<Cookie> HttpSoup::cookies() const {
    std::vector<Cookie> resultat;
    const DateG maintenant(g_date_time_new_now_utc());
    const CookiesSoup liste(soup_cookie_jar_all_cookies(session_->jar.get()));
    for (GSList* l = liste.get(); l; l = l->next) {
        auto* c = static_cast<SoupCookie*>(l->data);
        GDateTime* expire = soup_cookie_get_expires(c);
        if (expire && g_date_time_compare(expire, maintenant.get()) <= 0) continue;
        resultat.push_back(cookieDepuisSoup(c));
    }
    return resultat;
}

void HttpSoup::ajouterCookie(const Cookie& cookie) {
    if (cookie.domaine.empty()) return;
    // The jar replaces a cookie with the same name, domain and path, and takes the new one.
    soup_cookie_jar_add_cookie(session_->jar.get(), cookieVersSoup(cookie));
}

void HttpSoup::supprimerCookies() {
    const CookiesSoup liste(soup_cookie_jar_all_cookies(session_->jar.get()));
    for (GSList* l = liste.get(); l; l = l->next)
        soup_cookie_jar_delete_cookie(session_->jar.get(), static_cast<SoupCookie*>(l->data));
}

}  // namespace ovrel
