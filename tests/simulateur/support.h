// What the simulator's contract tests share: the real ovrel-simulateur process started once per
// test program (ports chosen by the system, no Avahi), an HTTP client that sees answers as the
// application would (redirects not followed, any certificate of the TLS port accepted and
// recorded), and the control endpoint.
#pragma once

#include <boost/json.hpp>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ovrel::essais {

struct Reponse {
    int statut = 0;                  // 0: no HTTP answer (see erreur)
    std::string corps;
    std::map<std::string, std::string> entetes;  // lower-case names; the last value of a name
    std::vector<std::string> cookiesPoses;       // every Set-Cookie value
    std::optional<std::string> sujetCertificat;  // TLS: the peer certificate's subject, when not trusted
    std::string certificatPem;       // TLS: the peer certificate, PEM
    std::string domaineErreur;       // transport error, empty when an answer came
    int codeErreur = 0;
    double secondes = 0;             // how long the exchange took

    std::optional<std::string> entete(const std::string& nom) const;
    std::optional<boost::json::object> json() const;
};

struct Requete {
    std::string methode = "GET";
    std::string url;
    std::string corps;
    std::string type;                // Content-Type of the body
    std::map<std::string, std::string> entetes;
    std::optional<std::string> cookie;  // "nom=valeur"
    double delaiS = 5;
};

Reponse envoyer(const Requete& requete);
Reponse obtenir(const std::string& url, const std::optional<std::string>& cookie = std::nullopt, double delaiS = 5);
Reponse poster(const std::string& url, const std::string& corps, const std::string& type,
               const std::optional<std::string>& cookie = std::nullopt);

// The simulator of this test program.
class Simulateur {
public:
    static Simulateur& instance();

    int portCloud = 0;
    int portTls = 0;
    int portHttps = 0;               // the cloud over HTTPS, signed by the simulator's authority
    int portControle = 0;
    std::string adresseAncien;       // host:port of the legacy box
    std::vector<int> portsBoxes;     // announced boxes
    std::string domaine;

    std::string base() const;        // http://studio.<domain>:<port>
    std::string urlHote(const std::string& prefixeHote, const std::string& chemin) const;  // cloud port
    std::string urlHttps(const std::string& prefixeHote, const std::string& chemin) const;  // HTTPS port
    std::string urlControle(const std::string& chemin) const;

    // Control endpoint.
    Reponse controle(const std::string& methode, const std::string& chemin, const std::string& corps = "");
    // Applies scenario settings; fails the current test when refused.
    void scenario(const std::string& reglages);
    void reinitialiser();
    // A web login of that account: "ovrel_session=…".
    std::string cookie(const std::string& compte);
    // The box of that role, as the control endpoint lists it.
    boost::json::object box(const std::string& role);
    // The site id of the cloud box with this serial (the fleet's and the label sheets' id), and
    // its id in the cloud's registry (the console's).
    std::string idDeSerie(const std::string& serie);
    std::string idRegistreDeSerie(const std::string& serie);
    // Journal entries numbered from `depuis`, and the number the next entry will take.
    boost::json::array journal(std::uint64_t depuis = 0);
    std::uint64_t suivantDuJournal();

    // Ends the process with SIGTERM and answers its exit status (-1 when it had to be killed).
    int arreter();
    const std::string& sortie() const { return fichierSortie_; }

    // Starts another simulator with these extra arguments (for tests of the command line).
    static std::optional<Simulateur> lancer(const std::vector<std::string>& arguments, std::string& erreur);

private:
    Simulateur() = default;
    void* processus_ = nullptr;  // GSubprocess
    std::string fichierSortie_;
};

// Where the simulator's sample designer project lies.
std::string projetExemple();

// Runs a command; its standard output and error together.
struct Execution {
    int statut = -1;
    std::string sortie;
};
Execution executer(const std::vector<std::string>& arguments);

}  // namespace ovrel::essais
