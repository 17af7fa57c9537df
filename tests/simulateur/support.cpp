#include "support.h"

#include "app/constantes.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace ovrel::essais {

namespace json = boost::json;

// --- Names of the cloud domain resolve to loopback ---
//
// The simulated cloud answers under the build's cloud domain. GLib sends ".localhost" names to
// loopback by itself; for any other domain this resolver does the same for the names under it
// and hands every other name to the system's resolver.

namespace {

GResolver* resolveurSysteme = nullptr;
std::string domaineBoucle;

bool sousDomaine(const char* nom) {
    const std::string n = nom ? nom : "";
    return n == domaineBoucle ||
           (n.size() > domaineBoucle.size() && n.compare(n.size() - domaineBoucle.size(), domaineBoucle.size(), domaineBoucle) == 0 &&
            n[n.size() - domaineBoucle.size() - 1] == '.');
}

GList* boucle(GResolverNameLookupFlags options, GError** erreur) {
    if (options & G_RESOLVER_NAME_LOOKUP_FLAGS_IPV6_ONLY) {
        g_set_error(erreur, G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, "IPv4 seulement");
        return nullptr;
    }
    return g_list_append(nullptr, g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4));
}

GList* parNomOptions(GResolver*, const gchar* nom, GResolverNameLookupFlags options, GCancellable* annulation,
                     GError** erreur) {
    if (sousDomaine(nom)) return boucle(options, erreur);
    return g_resolver_lookup_by_name_with_flags(resolveurSysteme, nom, options, annulation, erreur);
}

GList* parNom(GResolver* r, const gchar* nom, GCancellable* annulation, GError** erreur) {
    return parNomOptions(r, nom, G_RESOLVER_NAME_LOOKUP_FLAGS_DEFAULT, annulation, erreur);
}

void parNomOptionsAsync(GResolver* r, const gchar* nom, GResolverNameLookupFlags options, GCancellable* annulation,
                        GAsyncReadyCallback rappel, gpointer donnees) {
    GTask* tache = g_task_new(r, annulation, rappel, donnees);
    if (sousDomaine(nom)) {
        GError* e = nullptr;
        GList* adresses = boucle(options, &e);
        if (e) g_task_return_error(tache, e);
        else g_task_return_pointer(tache, adresses, reinterpret_cast<GDestroyNotify>(g_resolver_free_addresses));
        g_object_unref(tache);
        return;
    }
    g_resolver_lookup_by_name_with_flags_async(
        resolveurSysteme, nom, options, annulation,
        [](GObject* source, GAsyncResult* resultat, gpointer t) {
            GTask* tache = G_TASK(t);
            GError* e = nullptr;
            GList* adresses = g_resolver_lookup_by_name_with_flags_finish(G_RESOLVER(source), resultat, &e);
            if (e) g_task_return_error(tache, e);
            else g_task_return_pointer(tache, adresses, reinterpret_cast<GDestroyNotify>(g_resolver_free_addresses));
            g_object_unref(tache);
        },
        tache);
}

void parNomAsync(GResolver* r, const gchar* nom, GCancellable* annulation, GAsyncReadyCallback rappel, gpointer donnees) {
    parNomOptionsAsync(r, nom, G_RESOLVER_NAME_LOOKUP_FLAGS_DEFAULT, annulation, rappel, donnees);
}

GList* parNomFin(GResolver*, GAsyncResult* resultat, GError** erreur) {
    return static_cast<GList*>(g_task_propagate_pointer(G_TASK(resultat), erreur));
}

void initClasse(gpointer classe, gpointer) {
    auto* c = static_cast<GResolverClass*>(classe);
    c->lookup_by_name = parNom;
    c->lookup_by_name_async = parNomAsync;
    c->lookup_by_name_finish = parNomFin;
    c->lookup_by_name_with_flags = parNomOptions;
    c->lookup_by_name_with_flags_async = parNomOptionsAsync;
    c->lookup_by_name_with_flags_finish = parNomFin;
}

void installerResolveur(const std::string& domaine) {
    if (resolveurSysteme) return;
    domaineBoucle = domaine;
    resolveurSysteme = g_resolver_get_default();
    const GType type = g_type_register_static_simple(G_TYPE_RESOLVER, "OvrelResolveurBoucle", sizeof(GResolverClass),
                                                     initClasse, sizeof(GResolver), nullptr, GTypeFlags(0));
    GResolver* r = G_RESOLVER(g_object_new(type, nullptr));
    g_resolver_set_default(r);
    g_object_unref(r);
}

// --- The HTTP client ---

gboolean accepterCertificat(SoupMessage*, GTlsCertificate* certificat, GTlsCertificateFlags, gpointer donnees) {
    auto* r = static_cast<Reponse*>(donnees);
    gchar* sujet = g_tls_certificate_get_subject_name(certificat);
    r->sujetCertificat = sujet ? sujet : "";
    g_free(sujet);
    return TRUE;
}

void noterEntete(const char* nom, const char* valeur, gpointer donnees) {
    auto* r = static_cast<Reponse*>(donnees);
    gchar* bas = g_ascii_strdown(nom, -1);
    r->entetes[bas] = valeur;
    if (std::string(bas) == "set-cookie") r->cookiesPoses.emplace_back(valeur);
    g_free(bas);
}

std::string lireFichier(const std::string& chemin) {
    std::ifstream f(chemin);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace

std::optional<std::string> Reponse::entete(const std::string& nom) const {
    const auto i = entetes.find(nom);
    if (i == entetes.end()) return std::nullopt;
    return i->second;
}

std::optional<json::object> Reponse::json() const {
    boost::system::error_code e;
    json::value v = json::parse(corps, e);
    if (e || !v.is_object()) return std::nullopt;
    return v.get_object();
}

Reponse envoyer(const Requete& requete) {
    Reponse r;
    SoupSession* session = soup_session_new_with_options("timeout", static_cast<guint>(requete.delaiS + 0.999), nullptr);
    SoupMessage* message = soup_message_new(requete.methode.c_str(), requete.url.c_str());
    if (!message) {
        r.domaineErreur = "url";
        g_object_unref(session);
        return r;
    }
    soup_message_add_flags(message, SOUP_MESSAGE_NO_REDIRECT);
    g_signal_connect(message, "accept-certificate", G_CALLBACK(accepterCertificat), &r);
    SoupMessageHeaders* entetes = soup_message_get_request_headers(message);
    for (const auto& [nom, valeur] : requete.entetes) soup_message_headers_replace(entetes, nom.c_str(), valeur.c_str());
    if (requete.cookie) soup_message_headers_replace(entetes, "Cookie", requete.cookie->c_str());
    if (!requete.corps.empty() || requete.methode == "POST") {
        GBytes* corps = g_bytes_new(requete.corps.data(), requete.corps.size());
        soup_message_set_request_body_from_bytes(message, requete.type.empty() ? nullptr : requete.type.c_str(), corps);
        g_bytes_unref(corps);
    }
    const auto debut = std::chrono::steady_clock::now();
    GError* erreur = nullptr;
    GBytes* corps = soup_session_send_and_read(session, message, nullptr, &erreur);
    r.secondes = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
    if (erreur) {
        r.domaineErreur = g_quark_to_string(erreur->domain);
        r.codeErreur = erreur->code;
        g_error_free(erreur);
    } else {
        r.statut = static_cast<int>(soup_message_get_status(message));
        soup_message_headers_foreach(soup_message_get_response_headers(message), noterEntete, &r);
        if (GTlsCertificate* pair = soup_message_get_tls_peer_certificate(message)) {
            gchar* pem = nullptr;
            g_object_get(pair, "certificate-pem", &pem, nullptr);
            r.certificatPem = pem ? pem : "";
            g_free(pem);
        }
    }
    if (corps) {
        gsize taille = 0;
        const auto* d = static_cast<const char*>(g_bytes_get_data(corps, &taille));
        r.corps.assign(d ? d : "", taille);
        g_bytes_unref(corps);
    }
    g_object_unref(message);
    g_object_unref(session);
    return r;
}

Reponse obtenir(const std::string& url, const std::optional<std::string>& cookie, double delaiS) {
    Requete q;
    q.url = url;
    q.cookie = cookie;
    q.delaiS = delaiS;
    return envoyer(q);
}

Reponse poster(const std::string& url, const std::string& corps, const std::string& type,
               const std::optional<std::string>& cookie) {
    Requete q;
    q.methode = "POST";
    q.url = url;
    q.corps = corps;
    q.type = type;
    q.cookie = cookie;
    return envoyer(q);
}

// --- The simulator process ---

std::optional<Simulateur> Simulateur::lancer(const std::vector<std::string>& arguments, std::string& erreur) {
    Simulateur s;
    s.domaine = std::string(DOMAINE_CLOUD);
    installerResolveur(s.domaine);

    gchar* chemin = nullptr;
    const gint fd = g_file_open_tmp("ovrel-simulateur-XXXXXX.log", &chemin, nullptr);
    if (fd < 0) {
        erreur = "fichier temporaire";
        return std::nullopt;
    }
    close(fd);
    s.fichierSortie_ = chemin;
    g_free(chemin);

    std::vector<const gchar*> argv{OVREL_SIMULATEUR_EXE};
    for (const auto& a : arguments) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    GSubprocessLauncher* lanceur = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDERR_MERGE);
    g_subprocess_launcher_set_stdout_file_path(lanceur, s.fichierSortie_.c_str());
    GError* e = nullptr;
    GSubprocess* processus = g_subprocess_launcher_spawnv(lanceur, argv.data(), &e);
    g_object_unref(lanceur);
    if (!processus) {
        erreur = e ? e->message : "?";
        g_clear_error(&e);
        return std::nullopt;
    }
    s.processus_ = processus;

    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string ligne;
    while (std::chrono::steady_clock::now() < limite) {
        const std::string sortie = lireFichier(s.fichierSortie_);
        const auto pret = sortie.find("PRET ");
        if (pret != std::string::npos && sortie.find('\n', pret) != std::string::npos) {
            ligne = sortie.substr(pret, sortie.find('\n', pret) - pret);
            break;
        }
        if (!g_subprocess_get_identifier(processus)) break;  // ended before being ready
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ligne.empty()) {
        erreur = "pas de ligne PRET ; sortie : " + lireFichier(s.fichierSortie_);
        s.arreter();
        return std::nullopt;
    }
    std::istringstream champs(ligne);
    std::string champ;
    while (champs >> champ) {
        const auto egal = champ.find('=');
        if (egal == std::string::npos) continue;
        const std::string cle = champ.substr(0, egal);
        const std::string valeur = champ.substr(egal + 1);
        if (cle == "cloud") s.portCloud = std::stoi(valeur);
        else if (cle == "tls") s.portTls = std::stoi(valeur);
        else if (cle == "controle") s.portControle = std::stoi(valeur);
        else if (cle == "https") s.portHttps = std::stoi(valeur);
        else if (cle == "ancien") s.adresseAncien = valeur;
        else if (cle == "boxes") {
            std::istringstream ports(valeur);
            std::string p;
            while (std::getline(ports, p, ',')) s.portsBoxes.push_back(std::stoi(p));
        }
    }
    return s;
}

namespace {
Simulateur* partage = nullptr;

class ArretDuSimulateur : public ::testing::Environment {
public:
    void TearDown() override {
        if (partage) partage->arreter();
    }
};
[[maybe_unused]] ::testing::Environment* const arret = ::testing::AddGlobalTestEnvironment(new ArretDuSimulateur);
}  // namespace

Simulateur& Simulateur::instance() {
    if (!partage) {
        std::string erreur;
        auto s = lancer({"--port-cloud", "0", "--port-tls", "0", "--port-controle", "0", "--port-ancien", "0",
                         "--port-https", "0", "--sans-avahi", "--domaine", std::string(DOMAINE_CLOUD)},
                        erreur);
        if (!s) {
            ADD_FAILURE() << "le simulateur ne démarre pas : " << erreur;
            std::abort();
        }
        partage = new Simulateur(std::move(*s));
        // The application's own cloud addresses lead to this simulator, as the launch
        // configuration would make them.
        Configuration configuration;
        configuration.urlStudio = partage->base() + "/studio";
        if (!etablirConfiguration(configuration)) {
            ADD_FAILURE() << "une adresse du cloud a servi avant le démarrage du simulateur";
            std::abort();
        }
    }
    return *partage;
}

int Simulateur::arreter() {
    auto* p = static_cast<GSubprocess*>(processus_);
    if (!p) return -1;
    g_subprocess_send_signal(p, SIGTERM);
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (g_subprocess_get_identifier(p) && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int statut = -1;
    if (g_subprocess_get_identifier(p)) {
        g_subprocess_force_exit(p);
        g_subprocess_wait(p, nullptr, nullptr);
    } else if (g_subprocess_get_if_exited(p)) {
        statut = g_subprocess_get_exit_status(p);
    }
    g_object_unref(p);
    processus_ = nullptr;
    return statut;
}

std::string Simulateur::base() const { return "http://studio." + domaine + ":" + std::to_string(portCloud); }

std::string Simulateur::urlHote(const std::string& prefixeHote, const std::string& chemin) const {
    return "http://" + prefixeHote + domaine + ":" + std::to_string(portCloud) + chemin;
}

std::string Simulateur::urlHttps(const std::string& prefixeHote, const std::string& chemin) const {
    return "https://" + prefixeHote + domaine + ":" + std::to_string(portHttps) + chemin;
}

std::string Simulateur::urlControle(const std::string& chemin) const {
    return "http://127.0.0.1:" + std::to_string(portControle) + chemin;
}

Reponse Simulateur::controle(const std::string& methode, const std::string& chemin, const std::string& corps) {
    Requete q;
    q.methode = methode;
    q.url = urlControle(chemin);
    q.corps = corps;
    q.type = corps.empty() ? "" : "application/json";
    return envoyer(q);
}

void Simulateur::scenario(const std::string& reglages) {
    const Reponse r = controle("POST", "/scenario", reglages);
    ASSERT_EQ(r.statut, 200) << reglages << " → " << r.corps;
}

void Simulateur::reinitialiser() {
    const Reponse r = controle("POST", "/reinitialiser");
    ASSERT_EQ(r.statut, 200) << r.corps << r.domaineErreur;
}

std::string Simulateur::cookie(const std::string& compte) {
    const Reponse r = controle("POST", "/connexion", "{\"compte\":\"" + compte + "\"}");
    const auto o = r.json();
    if (!o || !o->contains("cookie")) {
        ADD_FAILURE() << "pas de connexion pour " << compte << " : " << r.corps;
        return "";
    }
    return std::string(o->at("cookie").as_string());
}

json::object Simulateur::box(const std::string& role) {
    const Reponse r = controle("GET", "/boxes");
    boost::system::error_code e;
    const json::value v = json::parse(r.corps, e);
    if (!e && v.is_array())
        for (const auto& b : v.get_array())
            if (b.is_object() && b.get_object().at("role") == role.c_str()) return b.get_object();
    ADD_FAILURE() << "box inconnue : " << role;
    return {};
}

namespace {

std::string membreDeSerie(Simulateur& sim, const std::string& serie, const char* membre) {
    const auto etat = sim.controle("GET", "/etat").json();
    if (etat)
        for (const auto& b : etat->at("scenario").at("cloud_boxes").as_array())
            if (b.at("serie") == serie.c_str()) return std::string(b.at(membre).as_string());
    ADD_FAILURE() << "série inconnue du cloud : " << serie;
    return "";
}

}  // namespace

std::string Simulateur::idDeSerie(const std::string& serie) { return membreDeSerie(*this, serie, "id"); }

std::string Simulateur::idRegistreDeSerie(const std::string& serie) {
    return membreDeSerie(*this, serie, "id_registre");
}

json::array Simulateur::journal(std::uint64_t depuis) {
    const auto o = controle("GET", "/journal?depuis=" + std::to_string(depuis)).json();
    if (!o) return {};
    return o->at("entrees").as_array();
}

std::uint64_t Simulateur::suivantDuJournal() {
    const auto o = controle("GET", "/journal").json();
    if (!o) {
        ADD_FAILURE() << "journal illisible";
        return 0;
    }
    return o->at("suivant").to_number<std::uint64_t>();
}

std::string projetExemple() { return OVREL_PROJET_EXEMPLE; }

Execution executer(const std::vector<std::string>& arguments) {
    Execution x;
    std::vector<const gchar*> argv;
    for (const auto& a : arguments) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    GError* e = nullptr;
    GSubprocess* p = g_subprocess_newv(argv.data(), GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_MERGE), &e);
    if (!p) {
        x.sortie = e ? e->message : "?";
        g_clear_error(&e);
        return x;
    }
    gchar* sortie = nullptr;
    if (g_subprocess_communicate_utf8(p, nullptr, nullptr, &sortie, nullptr, &e)) {
        x.sortie = sortie ? sortie : "";
        x.statut = g_subprocess_get_if_exited(p) ? g_subprocess_get_exit_status(p) : -1;
    } else {
        x.sortie = e ? e->message : "?";
        g_clear_error(&e);
    }
    g_free(sortie);
    g_object_unref(p);
    return x;
}

}  // namespace ovrel::essais
