#include "plateforme/glib/minuteries_glib.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace ovrel {

namespace {

guint millisecondes(std::chrono::milliseconds duree, guint minimum) {
    const auto n = duree.count();
    if (n < static_cast<long long>(minimum)) return minimum;
    // g_timeout takes 32 bits: 50 days must not wrap around into a few milliseconds.
    if (static_cast<unsigned long long>(n) > std::numeric_limits<guint>::max())
        return std::numeric_limits<guint>::max();
    return static_cast<guint>(n);
}

}  // namespace

// The GSource's callback data holds the object strongly, so that it lives while its action runs
// (an action may drop its own handle); `annuler` destroys the GSource, which releases that hold
// (after the current run when called from inside the action).
class MinuteriesGlib::Source final : public Minuterie, public std::enable_shared_from_this<Source> {
public:
    Source(Action action, bool repete) : action_(std::move(action)), repete_(repete) {}
    ~Source() override {
        if (source_) g_source_unref(source_);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    void demarrer(GSource* source, GMainContext* contexte) {
        source_ = source;
        g_source_set_callback(source, declencher, new std::shared_ptr<Source>(shared_from_this()), liberer);
        g_source_attach(source, contexte);
    }

    void annuler() override {
        if (!source_) return;
        GSource* source = std::exchange(source_, nullptr);
        g_source_destroy(source);
        g_source_unref(source);
        // The action may be the one running (a timer cancelling itself): it goes after its run.
        if (!enCours_) action_ = nullptr;
    }

    bool active() const override { return source_ != nullptr; }

private:
    static gboolean declencher(gpointer donnees) {
        const std::shared_ptr<Source> soi = *static_cast<std::shared_ptr<Source>*>(donnees);
        return soi->executer();
    }
    static void liberer(gpointer donnees) { delete static_cast<std::shared_ptr<Source>*>(donnees); }

    gboolean executer() {
        if (!source_) return G_SOURCE_REMOVE;
        if (!repete_) {
            // Inactive from now on; returning REMOVE destroys the GSource.
            g_source_unref(std::exchange(source_, nullptr));
            Action action = std::move(action_);
            action_ = nullptr;
            if (action) action();
            return G_SOURCE_REMOVE;
        }
        enCours_ = true;
        if (action_) action_();
        enCours_ = false;
        if (source_) return G_SOURCE_CONTINUE;
        action_ = nullptr;  // cancelled during its run
        return G_SOURCE_REMOVE;
    }

    Action action_;
    const bool repete_;
    bool enCours_ = false;
    GSource* source_ = nullptr;
};

// What the caller holds: the timer lives as long as this handle.
class MinuteriesGlib::Poignee final : public Minuterie {
public:
    explicit Poignee(std::shared_ptr<Source> source) : source_(std::move(source)) {}
    ~Poignee() override { source_->annuler(); }
    Poignee(const Poignee&) = delete;
    Poignee& operator=(const Poignee&) = delete;
    void annuler() override { source_->annuler(); }
    bool active() const override { return source_->active(); }

private:
    std::shared_ptr<Source> source_;
};

MinuteriesGlib::MinuteriesGlib() : contexte_(g_main_context_ref_thread_default()) {}

MinuteriesGlib::~MinuteriesGlib() {
    for (const auto& faible : sources_)
        if (const auto source = faible.lock()) source->annuler();
    g_main_context_unref(contexte_);
}

void MinuteriesGlib::surLaFilePrincipale(Action action) {
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    programmer(source, false, std::move(action));
}

std::unique_ptr<Minuterie> MinuteriesGlib::apres(std::chrono::milliseconds delai, Action action) {
    return std::make_unique<Poignee>(programmer(g_timeout_source_new(millisecondes(delai, 0)), false, std::move(action)));
}

std::unique_ptr<Minuterie> MinuteriesGlib::repeter(std::chrono::milliseconds periode, Action action) {
    return std::make_unique<Poignee>(programmer(g_timeout_source_new(millisecondes(periode, 1)), true, std::move(action)));
}

std::shared_ptr<MinuteriesGlib::Source> MinuteriesGlib::programmer(GSource* source, bool repete, Action action) {
    auto s = std::make_shared<Source>(std::move(action), repete);
    std::erase_if(sources_, [](const auto& faible) { return faible.expired(); });
    sources_.push_back(s);
    s->demarrer(source, contexte_);
    return s;
}

}  // namespace ovrel
