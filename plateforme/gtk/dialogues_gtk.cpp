#include "plateforme/gtk/dialogues_gtk.h"

#include "plateforme/objets_g.h"

#include <gtkmm.h>

#include <memory>

namespace ovrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* ANNULER = "Annuler";

std::unique_ptr<Gtk::MessageDialog> dialogueMessage(Gtk::Window* principale, const std::string& titre,
                                                    const std::string& message, Gtk::MessageType genre) {
    auto dialogue = std::make_unique<Gtk::MessageDialog>(titre, false, genre, Gtk::ButtonsType::NONE, true);
    if (principale) dialogue->set_transient_for(*principale);
    // The title names the window too: the desktop's window list and screen readers show it.
    dialogue->set_title(titre);
    if (!message.empty()) dialogue->set_secondary_text(message);
    return dialogue;
}

// File chooser dialogs are made by GTK itself and only wrapped: GTK 4.8 cannot dispose of a
// chooser dialog of a derived type (which a gtkmm-constructed one is) without complaining.
struct DetruireChoix {
    void operator()(Gtk::FileChooserDialog* dialogue) const { gtk_window_destroy(GTK_WINDOW(dialogue->gobj())); }
};
using ChoixFichier = std::unique_ptr<Gtk::FileChooserDialog, DetruireChoix>;

ChoixFichier choixFichier(Gtk::Window* principale, const std::string& titre, GtkFileChooserAction action,
                          const std::string& valider) {
    // The accepting button comes first in our lists, but GTK lays the cancelling one on the left.
    GtkWidget* dialogue = gtk_file_chooser_dialog_new(titre.c_str(), principale ? principale->gobj() : nullptr, action,
                                                      ANNULER, GTK_RESPONSE_CANCEL, valider.c_str(),
                                                      GTK_RESPONSE_ACCEPT, nullptr);
    return ChoixFichier(Glib::wrap(GTK_FILE_CHOOSER_DIALOG(dialogue)));
}

// The chooser's answer once accepted: every selected file, in the chooser's order. Read with
// the C API: gtkmm cannot wrap the private GFile classes that a list model hands out.
std::vector<fs::path> fichiersChoisis(Gtk::FileChooser& choix) {
    std::vector<fs::path> chemins;
    const auto liste = RefG<GListModel>::adopter(gtk_file_chooser_get_files(choix.gobj()));
    if (!liste) return chemins;
    for (guint i = 0; i < g_list_model_get_n_items(liste.get()); ++i) {
        const auto fichier = RefG<GFile>::adopter(static_cast<GFile*>(g_list_model_get_item(liste.get(), i)));
        if (!fichier) continue;
        if (TexteG chemin{g_file_get_path(fichier.get())}) chemins.emplace_back(chemin.get());
    }
    return chemins;
}

}  // namespace

int DialoguesGtk::executer(Gtk::Dialog& dialogue, Affiche affiche, const std::vector<int>& reponses) {
    auto boucle = Glib::MainLoop::create();
    // The first answer wins; a late or repeated response signal is ignored.
    std::optional<int> reponse;
    auto connexion = dialogue.signal_response().connect([&](int id) {
        if (reponse) return;
        reponse = id;
        boucle->quit();
    });

    dialogue.set_modal(true);
    dialogue.set_hide_on_close(true);
    if (!reponses.empty()) dialogue.set_default_response(reponses.front());
    dialogue.present();
    // Return answers the default button even when GTK would have focused another one.
    if (affiche.genre == Genre::alerte || affiche.genre == Genre::question) {
        if (auto* defaut = dialogue.get_widget_for_response(reponses.front())) defaut->grab_focus();
    }

    // The gestures given to the hook act only while this dialog waits for its answer.
    auto enAttente = std::make_shared<bool>(true);
    Gtk::Dialog* d = &dialogue;
    affiche.fenetre = d;
    affiche.choisir = [enAttente, d, reponses](int index) {
        if (!*enAttente || index < 0 || index >= static_cast<int>(reponses.size())) return;
        if (auto* bouton = d->get_widget_for_response(reponses[static_cast<std::size_t>(index)]))
            bouton->activate();
    };
    affiche.entrer = [enAttente, d] {
        if (*enAttente) g_signal_emit_by_name(d->gobj(), "activate-default");
    };
    affiche.echapper = [enAttente, d] {
        // What the Escape key binding of a dialog emits.
        if (*enAttente) g_signal_emit_by_name(d->gobj(), "close");
    };
    if (affiche.ecrire) {
        affiche.ecrire = [enAttente, ecrire = affiche.ecrire](const std::string& texte) {
            if (*enAttente) ecrire(texte);
        };
        affiche.texteSaisi = [enAttente, lire = affiche.texteSaisi]() {
            return *enAttente ? lire() : std::string();
        };
    }
    if (affiche.designer) {
        affiche.designer = [enAttente, designer = affiche.designer](const fs::path& chemin) {
            return *enAttente && designer(chemin);
        };
    }

    sigc::connection annonce;
    if (crochet_) {
        annonce = Glib::signal_idle().connect([this, affiche]() {
            if (crochet_) crochet_(affiche);
            return false;
        });
    }

    ++ouverts_;
    boucle->run();
    --ouverts_;

    *enAttente = false;
    annonce.disconnect();
    connexion.disconnect();
    dialogue.hide();

    for (std::size_t i = 0; i < reponses.size(); ++i)
        if (reponses[i] == *reponse) return static_cast<int>(i);
    // Escape or the window's close button: no button was chosen.
    return -1;
}

void DialoguesGtk::alerte(const std::string& titre, const std::string& message) {
    question(titre, message, {"OK"});
}

int DialoguesGtk::question(const std::string& titre, const std::string& message,
                           const std::vector<std::string>& boutons) {
    // A dialog always has a way out: without buttons it is an alert.
    const std::vector<std::string> textes = boutons.empty() ? std::vector<std::string>{"OK"} : boutons;
    auto dialogue = dialogueMessage(principale_, titre, message,
                                    textes.size() == 1 ? Gtk::MessageType::INFO : Gtk::MessageType::QUESTION);
    std::vector<int> reponses;
    for (std::size_t i = 0; i < textes.size(); ++i) {
        dialogue->add_button(textes[i], static_cast<int>(i));
        reponses.push_back(static_cast<int>(i));
    }
    Affiche affiche;
    affiche.genre = textes.size() == 1 && boutons.size() <= 1 ? Genre::alerte : Genre::question;
    affiche.titre = titre;
    affiche.message = message;
    affiche.boutons = textes;
    return executer(*dialogue, std::move(affiche), reponses);
}

std::optional<std::string> DialoguesGtk::saisie(const std::string& titre, const std::string& message,
                                                const std::string& texteInitial) {
    auto dialogue = dialogueMessage(principale_, titre, message, Gtk::MessageType::QUESTION);
    dialogue->add_button("OK", 0);
    dialogue->add_button(ANNULER, 1);
    Gtk::Entry champ;
    champ.set_text(texteInitial);
    champ.set_size_request(320, 24);
    champ.set_activates_default(true);
    dialogue->get_message_area()->append(champ);
    champ.grab_focus();

    Affiche affiche;
    affiche.genre = Genre::saisie;
    affiche.titre = titre;
    affiche.message = message;
    affiche.boutons = {"OK", ANNULER};
    affiche.ecrire = [&champ](const std::string& texte) { champ.set_text(texte); };
    affiche.texteSaisi = [&champ] { return std::string(champ.get_text()); };
    if (executer(*dialogue, std::move(affiche), {0, 1}) != 0) return std::nullopt;
    return std::string(champ.get_text());
}

std::optional<fs::path> DialoguesGtk::enregistrer(const std::string& titre, const std::string& nomPropose) {
    auto dialogue = choixFichier(principale_, titre, GTK_FILE_CHOOSER_ACTION_SAVE, "Enregistrer");
    // Saved files start in the user's Downloads folder, when the desktop names one.
    if (const char* telechargements = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD))
        dialogue->set_current_folder(Gio::File::create_for_path(telechargements));
    if (!nomPropose.empty()) dialogue->set_current_name(nomPropose);
    Gtk::FileChooserDialog* choix = dialogue.get();

    Affiche affiche;
    affiche.genre = Genre::enregistrer;
    affiche.titre = titre;
    affiche.boutons = {"Enregistrer", ANNULER};
    affiche.designer = [choix](const fs::path& chemin) {
        if (!choix->set_current_folder(Gio::File::create_for_path(chemin.parent_path().string()))) return false;
        choix->set_current_name(chemin.filename().string());
        return true;
    };
    if (executer(*dialogue, std::move(affiche), {GTK_RESPONSE_ACCEPT, GTK_RESPONSE_CANCEL}) != 0) return std::nullopt;
    auto fichier = dialogue->get_file();
    if (!fichier || fichier->get_path().empty()) return std::nullopt;
    return fs::path(fichier->get_path());
}

std::vector<fs::path> DialoguesGtk::choisirDesFichiers(Genre genre, const std::string& titre,
                                                       const std::string& message, const std::string& bouton,
                                                       bool plusieurs) {
    const GtkFileChooserAction action =
        genre == Genre::dossier ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_OPEN;
    auto dialogue = choixFichier(principale_, titre, action, bouton);
    dialogue->set_select_multiple(plusieurs);
    Gtk::Label texte(message);
    texte.set_wrap(true);
    texte.set_margin(8);
    if (!message.empty()) dialogue->get_content_area()->prepend(texte);
    Gtk::FileChooserDialog* choix = dialogue.get();

    Affiche affiche;
    affiche.genre = genre;
    affiche.titre = titre;
    affiche.message = message;
    affiche.boutons = {bouton, ANNULER};
    affiche.designer = [choix](const fs::path& chemin) {
        return choix->set_file(Gio::File::create_for_path(chemin.string()));
    };
    if (executer(*dialogue, std::move(affiche), {GTK_RESPONSE_ACCEPT, GTK_RESPONSE_CANCEL}) != 0) return {};
    return fichiersChoisis(*dialogue);
}

std::vector<fs::path> DialoguesGtk::ouvrir(const std::string& titre, const std::string& message,
                                           const std::string& bouton, bool plusieurs) {
    return choisirDesFichiers(Genre::ouvrir, titre, message, bouton, plusieurs);
}

std::optional<fs::path> DialoguesGtk::dossier(const std::string& titre, const std::string& message) {
    auto choisis = choisirDesFichiers(Genre::dossier, titre, message, "Choisir", false);
    if (choisis.empty()) return std::nullopt;
    return choisis.front();
}

void DialoguesGtk::bip() {
    if (auto ecran = Gdk::Display::get_default()) ecran->beep();
}

}  // namespace ovrel
