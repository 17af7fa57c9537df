// The native fleet screen at 10,000 boxes, on a real display: the time from handing it a new list
// to the first frame drawn with it (the model swap and the layout of the rows on view), and the
// memory the screen holds for that list above the empty screen. Prints one line per measure.
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

// Runs the main loop until the window has painted a frame after `depuis`.
void attendreImage(Gtk::Window& fenetre) {
    bool peinte = false;
    auto horloge = fenetre.get_frame_clock();
    const gulong id = g_signal_connect(horloge->gobj(), "after-paint",
                                       G_CALLBACK(+[](GdkFrameClock*, gpointer p) { *static_cast<bool*>(p) = true; }),
                                       &peinte);
    fenetre.queue_draw();
    while (!peinte) g_main_context_iteration(nullptr, true);
    g_signal_handler_disconnect(horloge->gobj(), id);
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

    // A fleet of another size (the first list, a box added or gone), then fresh lists of the same
    // size, as the heartbeat brings them.
    const auto mesurer = [&](bool autreTaille) {
        std::vector<double> durees;
        for (int tour = 0; tour < 7; ++tour) {
            auto copie = modele;
            if (autreTaille && tour % 2 == 0) {
                copie.lignes.pop_back();
            }
            const auto t0 = Horloge::now();
            vue->afficherListe(std::move(copie));
            attendreImage(fenetre);
            durees.push_back(std::chrono::duration<double, std::milli>(Horloge::now() - t0).count());
        }
        std::sort(durees.begin(), durees.end());
        std::printf("liste de %d Ovrels, %s : nouvelle liste → première image %.1f ms (médiane de 7, min %.1f, max %.1f)\n",
                    nombre, autreTaille ? "d'une autre taille" : "de même taille", durees[durees.size() / 2],
                    durees.front(), durees.back());
    };
    mesurer(true);
    mesurer(false);
    const long apres = memoireAnonyme();
    std::printf("mémoire anonyme : écran vide + modèle %ld Mo, avec la liste à l'écran %ld Mo (+%ld Mo)\n", avant / 1024,
                apres / 1024, (apres - avant) / 1024);
    return 0;
}
