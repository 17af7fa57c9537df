#include "app/gtk/lancement.h"

#include "app/constantes.h"
#include "app/gtk/menu_ovrel.h"
#include "app/gtk/rendu.h"
#include "atelier/rattachement.h"
#include "plateforme/adresse.h"
#include "plateforme/avahi/decouverte_avahi.h"
#include "plateforme/preferences_memoire.h"
#include "plateforme/preferences_sqlite.h"
#include "web/adresses.h"

#include <glib-unix.h>
#include <webkit/webkit.h>

#include <csignal>
#include <utility>

namespace ovrel {

LancementOvrelStudio::LancementOvrelStudio() = default;

LancementOvrelStudio::~LancementOvrelStudio() { arreter(); }

int LancementOvrelStudio::executer(int argc, char** argv) {
    // Before GTK opens the display: a machine without a graphics device draws without OpenGL.
    choisirLeRendu();
    // Single instance: a later launch activates this one (and hands it its addresses) over
    // the session bus, then ends.
    application_ = Gtk::Application::create(ID_APPLICATION, Gio::Application::Flags::HANDLES_OPEN);
    Glib::set_application_name("Ovrel Studio");
    application_->signal_startup().connect([this] { demarrer(); });
    application_->signal_activate().connect([this] { activer(); });
    application_->signal_open().connect(
        [this](const Gio::Application::type_vec_files& fichiers, const Glib::ustring& indice) {
            ouvrir(fichiers, indice);
        });
    application_->signal_shutdown().connect([this] { arreter(); });
    return application_->run(argc, argv);
}

namespace {
// The two variables the application is configured by, read once here and passed in.
Configuration lireConfiguration() {
    Configuration configuration;
    if (const char* url = g_getenv("OVREL_STUDIO_URL")) configuration.urlStudio = url;
    if (const char* projet = g_getenv("OVREL_PROJET")) configuration.projet = projet;
    configuration.ressources = std::filesystem::path(OVREL_DOSSIER_RESSOURCES);
    return configuration;
}
}  // namespace

void LancementOvrelStudio::demarrer() {
    const Configuration configuration = lireConfiguration();
    // Before anything computes a cloud address.
    etablirConfiguration(configuration);
    systeme_ = std::make_unique<SystemeLinux>();
    ouvrirPreferences();
    http_ = std::make_unique<HttpSoup>(HttpSoup::cheminCookiesParDefaut(), "OvrelStudio/" + std::string(VERSION_APP));
    if (http_->fichierEcarte())
        systeme_->journal("OVREL COOKIES: fichier illisible mis de côté: " + http_->fichierEcarte()->string());
    minuteries_ = std::make_unique<MinuteriesGlib>();
    navigateur_ = std::make_unique<NavigateurGio>();
    decouverte_ = std::make_unique<DecouverteAvahi>();
    processus_ = std::make_unique<ProcessusGio>();

    // The identity is dark: the menu bar and the dialogs follow it.
    if (auto reglages = Gtk::Settings::get_default()) reglages->property_gtk_application_prefer_dark_theme() = true;
    Gtk::Window::set_default_icon_name(ID_APPLICATION);

    delegue_ = std::make_unique<Delegue>(
        PortsDelegue{*http_, *preferences_, horloge_, *minuteries_, dialogues_, ecrans_, *systeme_, *navigateur_,
                     ecranParc_, *decouverte_, ecranBox_, ecranAtelier_, journalAtelier_, *processus_},
        configuration);

    construireMenu();
    construireFenetre();
    // The sign-in screen first; the saved cookies reach the web view once it exists, before any
    // page loads in it (the application object holds loads until then).
    delegue_->applicationDidFinishLaunching();
    validerMenu();
    fenetre_->apresPremiereImage([this] { creerVueWeb(); });
    delaiVueWeb_ = g_timeout_add_seconds(
        3,
        +[](gpointer moi) -> gboolean {
            auto* lancement = static_cast<LancementOvrelStudio*>(moi);
            lancement->delaiVueWeb_ = 0;
            lancement->creerVueWeb();
            return G_SOURCE_REMOVE;
        },
        this);

    // The session ending, or Ctrl+C in a terminal: the same guarded quit as the menu's, so
    // that the cookies and the window's size are saved.
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        signaux_.push_back(g_unix_signal_add(
            signal,
            +[](gpointer moi) -> gboolean {
                static_cast<LancementOvrelStudio*>(moi)->demanderFin(false);
                return G_SOURCE_CONTINUE;
            },
            this));
}

void LancementOvrelStudio::ouvrirPreferences() {
    const auto chemin = PreferencesSqlite::cheminParDefaut();
    auto fichier = PreferencesSqlite::ouvrir(chemin, horloge_);
    if (!fichier) {
        systeme_->journal("OVREL PRÉFÉRENCES: fichier impossible à ouvrir: " + chemin.string() +
                          " — réglages gardés en mémoire pour cette session");
        preferences_ = std::make_unique<PreferencesMemoire>();
        return;
    }
    if (fichier->fichierEcarte())
        systeme_->journal("OVREL PRÉFÉRENCES: fichier illisible mis de côté: " + fichier->fichierEcarte()->string());
    preferences_ = std::move(fichier);
}

void LancementOvrelStudio::activer() {
    if (fenetre_) fenetre_->present();
}

void LancementOvrelStudio::ouvrir(const Gio::Application::type_vec_files& fichiers, const Glib::ustring&) {
    // The window comes to the front first: after the browser's sign-in page, the user goes on
    // in the window (the browser sign-in's presentation anchor).
    activer();
    std::vector<std::string> adresses;
    for (const auto& fichier : fichiers)
        if (fichier) adresses.push_back(fichier->get_uri());
    recevoirAdresses(adresses);
}

void LancementOvrelStudio::recevoirAdresses(const std::vector<std::string>& adresses) {
    if (!delegue_) return;
    for (const auto& adresse : adresses) delegue_->lienDeLApp(adresse, OrigineLien::bureau);
}

void LancementOvrelStudio::creerVueWeb() {
    if (delaiVueWeb_ != 0) g_source_remove(std::exchange(delaiVueWeb_, 0));
    if (web_ || !fenetre_ || !delegue_) return;
    // The web view keeps its own cookie file beside the HTTP jar's: the application copies
    // cookies between the two, it never shares a file between two engines.
    web_ = std::make_unique<VueWebWebKit>(VueWebWebKit::dossiersParDefaut(), std::string(AGENT_UTILISATEUR));
    fenetre_->conteneurWeb().placerVueWeb(*Glib::wrap(web_->widget()));
    web_->surChangementAdresse([this] { validerMenu(); });
    web_->surChargementTermine([this] { validerMenu(); });
    delegue_->attacherVueWeb(web_.get());
    validerMenu();
}

void LancementOvrelStudio::arreter() {
    for (guint source : signaux_) g_source_remove(source);
    signaux_.clear();
    if (delaiVueWeb_ != 0) g_source_remove(std::exchange(delaiVueWeb_, 0));
    // The application object first: it holds the ports and cancels its timers on the way out.
    delegue_.reset();
    // Its children stop with it: nobody would read what they write.
    processus_.reset();
    navigateur_.reset();
    ecrans_.detacher();
    dialogues_.definirFenetre(nullptr);
    aPropos_.reset();
    journalAtelier_.detruire();
    journalAtelier_.definirParent(nullptr);
    fenetre_.reset();
    web_.reset();
    http_.reset();
    minuteries_.reset();
    preferences_.reset();
    systeme_.reset();
}

void LancementOvrelStudio::ajouterAction(const std::string& nom, std::function<void()> faire) {
    auto action = Gio::SimpleAction::create(nom);
    action->signal_activate().connect([faire = std::move(faire)](const Glib::VariantBase&) { faire(); });
    application_->add_action(action);
}

void LancementOvrelStudio::ajouterActionDelegue(const std::string& nom, std::function<void()> faire) {
    auto action = Gio::SimpleAction::create(nom);
    action->signal_activate().connect([this, faire = std::move(faire)](const Glib::VariantBase&) {
        if (delegue_) faire();
    });
    application_->add_action(action);
    actionsDelegue_[nom] = action;
}

void LancementOvrelStudio::ajouterActionDelegueTexte(const std::string& nom,
                                                     std::function<void(const std::string&)> faire) {
    auto action = Gio::SimpleAction::create(nom, Glib::VARIANT_TYPE_STRING);
    action->signal_activate().connect([this, faire = std::move(faire)](const Glib::VariantBase& parametre) {
        if (!delegue_ || !parametre.is_of_type(Glib::VARIANT_TYPE_STRING)) return;
        faire(Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(parametre).get());
    });
    application_->add_action(action);
    actionsDelegue_[nom] = action;
}

void LancementOvrelStudio::construireMenu() {
    application_->set_menubar(ovrel::construireMenu());
    installerRaccourcis(*application_);

    // "Ovrel Studio"
    ajouterAction("aPropos", [this] { aPropos(); });
    ajouterActionDelegue("verifierMiseAJourManuelle", [this] { delegue_->verifierMiseAJourManuelle(); });
    ajouterActionDelegue("deconnexion", [this] { delegue_->deconnexion(); });
    ajouterAction("masquer", [this] { miniaturiser(); });
    ajouterAction("quitter", [this] { demanderFin(false); });

    // "Fichier"
    ajouterActionDelegue("imprimerPage", [this] { delegue_->imprimerPage(); });

    // "Édition": GTK's own commands of the focused widget, or the web view's editing commands.
    ajouterAction("annuler", [this] { edition("text.undo", WEBKIT_EDITING_COMMAND_UNDO); });
    ajouterAction("retablir", [this] { edition("text.redo", WEBKIT_EDITING_COMMAND_REDO); });
    ajouterAction("couper", [this] { edition("clipboard.cut", WEBKIT_EDITING_COMMAND_CUT); });
    ajouterAction("copier", [this] { edition("clipboard.copy", WEBKIT_EDITING_COMMAND_COPY); });
    ajouterAction("coller", [this] { edition("clipboard.paste", WEBKIT_EDITING_COMMAND_PASTE); });
    ajouterAction("toutSelectionner", [this] { edition("selection.select-all", WEBKIT_EDITING_COMMAND_SELECT_ALL); });

    // "Navigation": the workshop comes with the workshop list; until then the application object
    // keeps it disabled.
    ajouterActionDelegue("actionParc", [this] { delegue_->actionParc(); });
    ajouterActionDelegue("actionParcHorsLigne", [this] { delegue_->actionParcHorsLigne(); });
    ajouterActionDelegue("ouvrirStudioWeb", [this] { delegue_->ouvrirStudioWeb(); });
    ajouterActionDelegue("actionActualiserParc", [this] { delegue_->actionActualiserParc(); });
    ajouterActionDelegue("recharger", [this] { delegue_->recharger(); });
    ajouterActionDelegue("montrerBoxLocales", [this] { delegue_->montrerBoxLocales(); });
    ajouterActionDelegue("ouvrirConsole", [this] { delegue_->ouvrirConsole(); });
    ajouterActionDelegue("actionActualiser", [this] { delegue_->actionActualiser(); });
    ajouterActionDelegue("montrerAtelier", [this] { delegue_->montrerAtelier(); });
    // The workshop rows' buttons, with their box's table key; the attach of a legacy box.
    ajouterActionDelegueTexte("fabriquerBoxAction", [this](const std::string& cle) { delegue_->fabriquerBoxAction(cle); });
    ajouterActionDelegueTexte("refaireEtiquetteAction",
                              [this](const std::string& cle) { delegue_->refaireEtiquetteAction(cle); });
    ajouterActionDelegue("rattacherAncienAction", [this] { delegue_->rattacherAncienAction(); });

    // "Fenêtre"
    ajouterAction("reduire", [this] { miniaturiser(); });

    // Buttons of the screens.
    ajouterActionDelegue("actionRetour", [this] { delegue_->actionRetour(); });
    // The sign-in button (Return on its screen).
    ajouterActionDelegue("actionConnexionOvrel", [this] { delegue_->actionConnexionOvrel(); });
}

void LancementOvrelStudio::construireFenetre() {
    fenetre_ = std::make_unique<FenetreOvrel>(application_, lireGeometrieFenetre(*preferences_));

    fenetre_->vueConnexion().boutonConnexion().set_action_name("app.actionConnexionOvrel");
    fenetre_->vueConnexion().boutonHorsLigne().set_action_name("app.montrerBoxLocales");
    fenetre_->conteneurWeb().boutonRetour().set_action_name("app.actionRetour");
    VueParc& parc = fenetre_->vueParc();
    parc.boutonActualiser().set_action_name("app.actionActualiserParc");
    parc.boutonAjouter().set_action_name("app.ouvrirStudioWeb");
    parc.boutonReseau().set_action_name("app.montrerBoxLocales");
    parc.surConfigurer = [this](std::size_t indice) {
        if (delegue_) delegue_->configurerOvrel(indice);
    };
    parc.surBasculer = [this](const std::string& id) {
        if (delegue_) delegue_->basculerAnomalies(id);
    };
    parc.surAgir = [this](std::size_t action) {
        if (delegue_) delegue_->agirAnomalie(action);
    };
    parc.surNouvellesLignes = [this] {
        if (delegue_) delegue_->rafraichirVu();
    };
    ecranParc_.attacher(&parc);
    VueBox& box = fenetre_->vueBox();
    box.boutonParc().set_action_name("app.actionParc");
    box.boutonActualiser().set_action_name("app.actionActualiser");
    box.surOuvrir = [this](std::size_t indice) {
        if (delegue_) delegue_->ouvrirBoxDetectee(indice);
    };
    box.surOuvrirAdresse = [this] {
        if (delegue_) delegue_->actionOuvrirAdresse();
    };
    ecranBox_.attacher(&box);
    VueAtelier& atelier = fenetre_->vueAtelier();
    atelier.boutonActualiser().set_action_name("app.actionActualiser");
    atelier.boutonConsole().set_action_name("app.ouvrirConsole");
    atelier.surRattacher = [this] {
        if (delegue_) delegue_->rattacherAncienAction();
    };
    // The last address attached, as the user left it.
    atelier.ecrireAdresseAncien(preferences_->texte(CLE_ADRESSE_ANCIEN).value_or(""));
    ecranAtelier_.attacher(&atelier);
    journalAtelier_.definirParent(fenetre_.get());

    ecrans_.attacher(*fenetre_, fenetre_->pile(), &fenetre_->etiquetteHabilitation());
    ecrans_.surChangement([this](Ecran ecran) {
        // The screen each flow leads to, in the journal: what support (and the end-to-end tests)
        // read to know where the user was taken.
        systeme_->journal("OVREL ÉCRAN → " + std::string(EcransGtk::nom(ecran)));
        validerMenu();
    });
    dialogues_.definirFenetre(fenetre_.get());

    fenetre_->signal_close_request().connect([this] { return fermetureDemandee(); }, false);
    fenetre_->surMiniaturisation([this] {
        if (delegue_) delegue_->windowDidMiniaturize();
    });
    fenetre_->surRestauration([this] {
        if (delegue_) delegue_->windowDidDeminiaturize();
    });
    // Hidden ("Masquer Ovrel Studio") or shown again: the heartbeat follows what can be seen.
    fenetre_->signal_hide().connect([this] {
        if (delegue_) delegue_->windowDidChangeOcclusionState(false);
    });
    fenetre_->signal_show().connect([this] {
        if (delegue_) delegue_->windowDidChangeOcclusionState(true);
    });
    fenetre_->present();
}

void LancementOvrelStudio::validerMenu() {
    if (!delegue_) return;
    for (auto& [nom, action] : actionsDelegue_) action->set_enabled(delegue_->validerElementMenu(nom));
}

void LancementOvrelStudio::edition(const char* actionGtk, const char* commandeWeb) {
    if (!fenetre_) return;
    Gtk::Widget* focus = fenetre_->get_focus();
    if (!focus) return;
    GtkWidget* cible = focus->gobj();
    if (web_ && (cible == web_->widget() || gtk_widget_is_ancestor(cible, web_->widget()))) {
        webkit_web_view_execute_editing_command(web_->vue(), commandeWeb);
        return;
    }
    // Looked up on the widget and its ancestors; a widget without the command ignores it.
    gtk_widget_activate_action(cible, actionGtk, nullptr);
}

void LancementOvrelStudio::aPropos() {
    if (!aPropos_) {
        aPropos_ = std::make_unique<Gtk::AboutDialog>();
        aPropos_->set_program_name("Ovrel Studio");
        aPropos_->set_version(std::string(VERSION_APP));
        aPropos_->set_logo_icon_name(ID_APPLICATION);
        aPropos_->set_comments("Mise en service et suivi des Ovrels, pour les intégrateurs et les concepteurs.");
        aPropos_->set_modal(true);
        aPropos_->set_hide_on_close(true);
    }
    if (fenetre_) aPropos_->set_transient_for(*fenetre_);
    aPropos_->present();
}

void LancementOvrelStudio::miniaturiser() {
    if (fenetre_) fenetre_->minimize();
}

bool LancementOvrelStudio::fermetureDemandee() {
    if (delegue_ && !delegue_->windowShouldClose()) return true;
    enregistrerGeometrie();
    if (delegue_) delegue_->windowWillClose();
    // Closing the one window quits the application, through the same guarded request as the
    // menu's "Quitter".
    if (!delegue_ || delegue_->applicationShouldTerminateAfterLastWindowClosed()) demanderFin(true);
    return true;
}

void LancementOvrelStudio::demanderFin(bool depuisFermeture) {
    if (!delegue_) {
        terminer();
        return;
    }
    const auto reponse = delegue_->applicationShouldTerminate([this] { terminer(); });
    if (reponse == ReponseTerminaison::annuler) {
        // Kept: a closed window comes back rather than leaving an application without one.
        if (depuisFermeture) activer();
        return;
    }
    // The answer comes once the cookies are saved; a closed window goes away meanwhile.
    if (depuisFermeture && fenetre_) fenetre_->set_visible(false);
}

void LancementOvrelStudio::terminer() {
    enregistrerGeometrie();
    if (application_) application_->quit();
}

void LancementOvrelStudio::enregistrerGeometrie() {
    if (!fenetre_ || !preferences_) return;
    if (!enregistrerGeometrieFenetre(*preferences_, fenetre_->geometrie()))
        if (systeme_) systeme_->journal("OVREL FENÊTRE: taille non enregistrée");
}

}  // namespace ovrel

int main(int argc, char** argv) {
    ovrel::LancementOvrelStudio lancement;
    return lancement.executer(argc, argv);
}
