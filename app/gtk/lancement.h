// The program entry: one Gtk::Application ("fr.ovrel.Studio", single instance) that builds the
// real adapters of every port, the menu and the window, and hands them to the application
// object `Delegue`.
#pragma once

#include "app/delegue.h"
#include "app/gtk/fenetre_journal.h"
#include "app/gtk/fenetre_ovrel.h"
#include "plateforme/glib/minuteries_glib.h"
#include "plateforme/glib/navigateur_gio.h"
#include "plateforme/glib/processus_gio.h"
#include "plateforme/glib/systeme_linux.h"
#include "plateforme/gtk/dialogues_gtk.h"
#include "plateforme/gtk/ecrans_gtk.h"
#include "plateforme/horloge.h"
#include "plateforme/preferences.h"
#include "plateforme/soup/http_soup.h"
#include "plateforme/webkit/vue_web_webkit.h"

#include <gtkmm.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ovrel {

inline constexpr const char* ID_APPLICATION = "fr.ovrel.Studio";

class LancementOvrelStudio {
public:
    LancementOvrelStudio();
    ~LancementOvrelStudio();
    LancementOvrelStudio(const LancementOvrelStudio&) = delete;
    LancementOvrelStudio& operator=(const LancementOvrelStudio&) = delete;

    // Runs the application until it quits; the exit status. A second launch hands its
    // addresses to the first instance and ends at once.
    int executer(int argc, char** argv);

    // The application object, absent before the application has started and after it ended.
    Delegue* delegue() const { return delegue_.get(); }

    // Addresses given to the program, by its command line or by a later launch: the
    // application's own "ovrelstudio://…" links, each handed to the application object.
    void recevoirAdresses(const std::vector<std::string>& adresses);

private:
    void demarrer();
    void activer();
    void ouvrir(const Gio::Application::type_vec_files& fichiers, const Glib::ustring& indice);
    void arreter();

    void ouvrirPreferences();
    void construireMenu();
    void construireFenetre();
    // The web view and its network session, made once the sign-in screen is on the screen: the
    // native screen does not wait for the web engine's start.
    void creerVueWeb();
    void ajouterAction(const std::string& nom, std::function<void()> faire);
    void ajouterActionDelegue(const std::string& nom, std::function<void()> faire);
    // An action of the application object that takes a text (a box's table key).
    void ajouterActionDelegueTexte(const std::string& nom, std::function<void(const std::string&)> faire);
    // Enables each action of the application object as it says (GTK has no hook before a menu
    // opens: this runs at each change of screen or of address).
    void validerMenu();
    void edition(const char* actionGtk, const char* commandeWeb);
    void aPropos();
    void miniaturiser();

    // Quit: the application object may keep the application (a label sheet to secure) or
    // answer later (cookies being saved).
    void demanderFin(bool depuisFermeture);
    bool fermetureDemandee();
    void terminer();
    void enregistrerGeometrie();

    Glib::RefPtr<Gtk::Application> application_;
    HorlogeSysteme horloge_;
    std::unique_ptr<Preferences> preferences_;
    std::unique_ptr<HttpSoup> http_;
    std::unique_ptr<MinuteriesGlib> minuteries_;
    std::unique_ptr<SystemeLinux> systeme_;
    std::unique_ptr<NavigateurGio> navigateur_;
    DialoguesGtk dialogues_;
    EcransGtk ecrans_;
    // The fleet screen, as the application object's port: the window comes after the object.
    EcranParcGtk ecranParc_;
    EcranBoxGtk ecranBox_;
    EcranAtelierGtk ecranAtelier_;
    JournalAtelierGtk journalAtelier_;
    std::unique_ptr<ProcessusGio> processus_;
    std::unique_ptr<Decouverte> decouverte_;
    std::unique_ptr<VueWebWebKit> web_;
    std::unique_ptr<FenetreOvrel> fenetre_;
    std::unique_ptr<Gtk::AboutDialog> aPropos_;
    std::unique_ptr<Delegue> delegue_;
    // The actions whose state the application object decides.
    std::map<std::string, Glib::RefPtr<Gio::SimpleAction>> actionsDelegue_;
    // Sources of the termination signals.
    std::vector<guint> signaux_;
    // The web view is made at the latest this long after the launch, should the window never be
    // drawn (started hidden, a display that does not paint it).
    guint delaiVueWeb_ = 0;
};

}  // namespace ovrel
