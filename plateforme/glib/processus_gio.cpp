#include "plateforme/glib/processus_gio.h"

#include "plateforme/objets_g.h"

#include <gio/gio.h>

#include <csignal>
#include <utility>

namespace ovrel {

namespace {

// Enough for a burst of a tool's output in one read, small enough to show it as it comes.
constexpr gsize TAILLE_LECTURE = 64 * 1024;

}  // namespace

// Held by each pending GIO operation (a read, the wait, a queued failure), so that it outlives
// the adapter until they all came back; `abandonnee` silences it from then on.
class ProcessusGio::Execution final : public std::enable_shared_from_this<Execution> {
public:
    Execution(SurDonnees surDonnees, SurFin surFin)
        : surDonnees_(std::move(surDonnees)), surFin_(std::move(surFin)),
          annulation_(RefG<GCancellable>::adopter(g_cancellable_new())) {}

    void demarrer(RefG<GSubprocess> sousProcessus) {
        sousProcessus_ = std::move(sousProcessus);
        flux_ = RefG<GInputStream>::partager(g_subprocess_get_stdout_pipe(sousProcessus_.get()));
        g_subprocess_wait_async(sousProcessus_.get(), annulation_.get(), surSortie, garder());
        lire();
    }

    // Reports the failure later, never from inside `lancer`.
    static void echouer(std::shared_ptr<Execution> soi, SurEchecLancement surEchec, std::string description) {
        struct Livraison {
            std::shared_ptr<Execution> execution;
            SurEchecLancement surEchec;
            std::string description;
        };
        g_idle_add_full(
            G_PRIORITY_DEFAULT,
            +[](gpointer donnees) -> gboolean {
                auto* livraison = static_cast<Livraison*>(donnees);
                if (!livraison->execution->abandonnee_ && livraison->surEchec)
                    livraison->surEchec(std::move(livraison->description));
                return G_SOURCE_REMOVE;
            },
            new Livraison{std::move(soi), std::move(surEchec), std::move(description)},
            +[](gpointer donnees) { delete static_cast<Livraison*>(donnees); });
    }

    // The adapter goes: no report any more, the reads stop, and the child is asked to end.
    void abandonner() {
        if (abandonnee_) return;
        abandonnee_ = true;
        g_cancellable_cancel(annulation_.get());
        if (sousProcessus_ && !sortie_) g_subprocess_send_signal(sousProcessus_.get(), SIGTERM);
        // The callbacks stay until this object goes, when the cancelled operations came back:
        // the adapter may be destroyed from inside `surDonnees`, which must not be freed while
        // it runs.
    }

private:
    gpointer garder() { return new std::shared_ptr<Execution>(shared_from_this()); }
    static std::shared_ptr<Execution> reprendre(gpointer donnees) {
        const std::unique_ptr<std::shared_ptr<Execution>> tenue(static_cast<std::shared_ptr<Execution>*>(donnees));
        return *tenue;
    }

    void lire() {
        g_input_stream_read_bytes_async(flux_.get(), TAILLE_LECTURE, G_PRIORITY_DEFAULT, annulation_.get(), surLecture,
                                        garder());
    }

    static void surLecture(GObject* source, GAsyncResult* resultat, gpointer donnees) {
        const auto soi = reprendre(donnees);
        ErreurRecue erreur;
        OctetsG octets(g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), resultat, erreur.adresse()));
        if (soi->abandonnee_) return;
        gsize taille = 0;
        const void* contenu = octets ? g_bytes_get_data(octets.get(), &taille) : nullptr;
        if (taille == 0) {
            soi->finDuFlux_ = true;
            soi->conclure();
            return;
        }
        // The callback may destroy the adapter: `soi` keeps this object alive through it.
        if (soi->surDonnees_) soi->surDonnees_(std::string(static_cast<const char*>(contenu), taille));
        if (!soi->abandonnee_) soi->lire();
    }

    static void surSortie(GObject* source, GAsyncResult* resultat, gpointer donnees) {
        const auto soi = reprendre(donnees);
        ErreurRecue erreur;
        auto* sousProcessus = G_SUBPROCESS(source);
        const bool attendu = g_subprocess_wait_finish(sousProcessus, resultat, erreur.adresse());
        if (!attendu) return;  // cancelled: the adapter went
        soi->sortie_ = true;
        if (soi->abandonnee_) return;
        if (g_subprocess_get_if_exited(sousProcessus)) soi->statut_ = g_subprocess_get_exit_status(sousProcessus);
        soi->conclure();
    }

    // The end is reported once both the pipe and the child are done with, whichever comes last:
    // output still in the pipe after the exit is delivered before it.
    void conclure() {
        if (!finDuFlux_ || !sortie_ || abandonnee_) return;
        abandonnee_ = true;  // nothing more from this child
        auto surFin = std::move(surFin_);
        surFin_ = nullptr;
        surDonnees_ = nullptr;
        if (surFin) surFin(statut_);
    }

    SurDonnees surDonnees_;
    SurFin surFin_;
    RefG<GCancellable> annulation_;
    RefG<GSubprocess> sousProcessus_;
    RefG<GInputStream> flux_;
    bool finDuFlux_ = false;
    bool sortie_ = false;
    bool abandonnee_ = false;
    std::optional<int> statut_;
};

ProcessusGio::~ProcessusGio() {
    for (const auto& faible : executions_)
        if (const auto execution = faible.lock()) execution->abandonner();
}

void ProcessusGio::lancer(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                          const std::filesystem::path& dossier, SurDonnees surDonnees, SurFin surFin,
                          SurEchecLancement surEchecLancement) {
    auto execution = std::make_shared<Execution>(std::move(surDonnees), std::move(surFin));
    std::erase_if(executions_, [](const auto& faible) { return faible.expired(); });
    executions_.push_back(execution);

    std::vector<const gchar*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(executable.c_str());
    for (const auto& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);

    const auto lanceur = RefG<GSubprocessLauncher>::adopter(
        g_subprocess_launcher_new(static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE |
                                                                G_SUBPROCESS_FLAGS_STDERR_MERGE)));
    g_subprocess_launcher_set_cwd(lanceur.get(), dossier.c_str());
    ErreurRecue erreur;
    auto sousProcessus =
        RefG<GSubprocess>::adopter(g_subprocess_launcher_spawnv(lanceur.get(), argv.data(), erreur.adresse()));
    if (!sousProcessus) {
        Execution::echouer(std::move(execution), std::move(surEchecLancement),
                           erreur && erreur->message ? erreur->message : "échec inconnu");
        return;
    }
    execution->demarrer(std::move(sousProcessus));
}

}  // namespace ovrel
