// The native fleet screen at 10,000 boxes, on a real display: the time from handing it a new list
// to the end of the first frame painted with it (the model swap, the layout of the rows on view,
// the paint), and the memory the screen holds for
// that list above the empty screen. Between two lists the main loop finishes its idle work (stale
// rows out of view, the old list freed), as it does in the 30 s between two heartbeats. Prints one
// line per measure.
//
// Two times per measure: the work (handing the list over, then the frames from their first phase
// to the end of the paint), and the time on the wall, which adds the frame clock's wait for the
// display's next frame slot (up to one refresh interval, whatever the work).
#include "app/gtk/fenetre_ovrel.h"
#include "app/gtk/vue_parc.h"
#include "bench/generateur_parc.h"
#include "parc/modele_parc.h"
#include "sante/lecture_parc.h"

#include <gtkmm.h>
#include <gtkmm/init.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Horloge = std::chrono::steady_clock;

// Resident memory, anonymous part (kB): what the process itself allocated.
long memoireAnonyme() {
    std::ifstream statut("/proc/self/status");
    std::string ligne;
    while (std::getline(statut, ligne))
        if (ligne.rfind("RssAnon:", 0) == 0) return std::stol(ligne.substr(8));
    return -1;
}

// Runs the main loop until the window has painted a frame, and returns when that frame's first
// phase began. A resize asks for a layout without a paint, so the layout may come in a frame of
// its own before the one that paints: the first phase of any frame counts. Emission hooks see a
// phase before GTK's own handlers do their work.
Horloge::time_point attendreImage(Gtk::Window& fenetre) {
    struct Etat {
        bool peinte = false;
        Horloge::time_point debut{};
    } etat;
    static Etat* courant = nullptr;
    courant = &etat;
    auto horloge = fenetre.get_frame_clock();
    std::vector<std::pair<guint, gulong>> crochets;
    for (const char* phase : {"update", "layout", "before-paint", "paint"}) {
        const guint signal = g_signal_lookup(phase, GDK_TYPE_FRAME_CLOCK);
        crochets.emplace_back(signal, g_signal_add_emission_hook(
                                          signal, 0,
                                          +[](GSignalInvocationHint*, guint, const GValue*, gpointer) -> gboolean {
                                              if (courant && courant->debut == Horloge::time_point{})
                                                  courant->debut = Horloge::now();
                                              return TRUE;
                                          },
                                          nullptr, nullptr));
    }
    const gulong id = g_signal_connect(horloge->gobj(), "after-paint",
                                       G_CALLBACK(+[](GdkFrameClock*, gpointer p) { static_cast<Etat*>(p)->peinte = true; }),
                                       &etat);
    fenetre.queue_draw();
    while (!etat.peinte) g_main_context_iteration(nullptr, true);
    g_signal_handler_disconnect(horloge->gobj(), id);
    for (const auto& [signal, crochet] : crochets) g_signal_remove_emission_hook(signal, crochet);
    courant = nullptr;
    return etat.debut;
}

// Lets the main loop finish what it does when idle, for at most two seconds.
void laisserFinir() {
    const auto limite = Horloge::now() + std::chrono::seconds(2);
    while (g_main_context_pending(nullptr) && Horloge::now() < limite) g_main_context_iteration(nullptr, false);
}

}  // namespace

int main(int argc, char** argv) {
    const int nombre = argc > 1 ? std::atoi(argv[1]) : 10000;
    gtk_init();
    Gtk::init_gtkmm_internals();
    ovrel::installerStyleOvrel();
    Gtk::Window fenetre;
    fenetre.set_default_size(1440, 920);
    auto* vue = Gtk::make_managed<ovrel::VueParc>();
    fenetre.set_child(*vue);
    fenetre.present();
    attendreImage(fenetre);
    attendreImage(fenetre);

    const auto lecture = ovrel::lireParc(ovrel::bench::genererParc(nombre), true);
    if (!lecture) return 1;
    const auto modele = ovrel::modeleListe(lecture->ovrels, {}, nullptr);
    const long avant = memoireAnonyme();

    // A fleet of another size (the first list, a box added or gone), fresh lists of the same size
    // and content, as the heartbeat mostly brings them, and lists where every row changed.
    enum class Changement { taille, aucun, chaqueLigne };
    const auto mesurer = [&](Changement changement) {
        std::vector<double> durees;
        std::vector<double> travail;
        for (int tour = 0; tour < 7; ++tour) {
            auto copie = modele;
            if (changement == Changement::taille && tour % 2 == 0) copie.lignes.pop_back();
            if (changement == Changement::chaqueLigne)
                for (auto& ligne : copie.lignes) ligne.nom += std::string(static_cast<std::size_t>(tour % 2), ' ');
            const auto t0 = Horloge::now();
            vue->afficherListe(std::move(copie));
            const auto remise = Horloge::now();
            const auto debutImage = attendreImage(fenetre);
            const auto fin = Horloge::now();
            travail.push_back(std::chrono::duration<double, std::milli>((remise - t0) + (fin - debutImage)).count());
            durees.push_back(std::chrono::duration<double, std::milli>(Horloge::now() - t0).count());
            laisserFinir();
        }
        std::sort(durees.begin(), durees.end());
        std::sort(travail.begin(), travail.end());
        std::printf("liste de %d Ovrels, %s : nouvelle liste → première image peinte, travail %.1f ms (médiane de 7, "
                    "max %.1f), à l'horloge murale %.1f ms (médiane de 7, min %.1f, max %.1f)\n",
                    nombre,
                    changement == Changement::taille  ? "d'une autre taille"
                    : changement == Changement::aucun ? "de même taille et même contenu"
                                                      : "de même taille, chaque ligne changée",
                    travail[travail.size() / 2], travail.back(), durees[durees.size() / 2], durees.front(), durees.back());
    };
    mesurer(Changement::taille);
    mesurer(Changement::aucun);
    mesurer(Changement::chaqueLigne);
    const long apres = memoireAnonyme();
    std::printf("mémoire anonyme : écran vide + modèle %ld Mo, avec la liste à l'écran %ld Mo (+%ld Mo)\n", avant / 1024,
                apres / 1024, (apres - avant) / 1024);
    return 0;
}
