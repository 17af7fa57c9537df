// Answers the GTK print dialog the way a user would, for the tests that print through the
// real dialog.
#pragma once

#include "plateforme/objets_g.h"

#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>

#include <chrono>
#include <filesystem>
#include <optional>

namespace ovrel::essais {

// Answers the platform's print dialog as a user would, from the main loop the dialog runs, and
// writes down how the dialog came. With a file, it chooses the print-to-file printer and that
// file and prints; without, it cancels once the dialog has selected the print-to-file printer.
// It gives up after 20 seconds rather than leave a test inside the dialog.
class RepondeurImpression {
public:
    // `aussitot`: without a file, cancel as soon as the dialog shows, without waiting for its
    // printers.
    explicit RepondeurImpression(std::optional<std::filesystem::path> fichier, bool aussitot = false)
        : fichier_(std::move(fichier)), aussitot_(aussitot && !fichier_),
          limite_(std::chrono::steady_clock::now() + std::chrono::seconds(20)) {
        source_ = g_timeout_add(20, &RepondeurImpression::regarder, this);
    }
    ~RepondeurImpression() {
        if (source_ != 0) g_source_remove(source_);
    }
    // Without a file, closes the dialog the way its Escape key does rather than answering Cancel.
    bool fermer = false;
    int dialogues = 0;
    bool modal = false;
    GtkWindow* parent = nullptr;
    // The file the dialog proposed when it was answered.
    std::optional<std::filesystem::path> fichierPropose;

private:
    static GtkPrintUnixDialog* dialogueOuvert() {
        GListModel* fenetres = gtk_window_get_toplevels();
        for (guint i = 0; i < g_list_model_get_n_items(fenetres); ++i) {
            RefG<GObject> fenetre = RefG<GObject>::adopter(static_cast<GObject*>(g_list_model_get_item(fenetres, i)));
            if (GTK_IS_PRINT_UNIX_DIALOG(fenetre.get()) && gtk_widget_get_visible(GTK_WIDGET(fenetre.get())))
                return GTK_PRINT_UNIX_DIALOG(fenetre.get());
        }
        return nullptr;
    }

    static gboolean regarder(gpointer moi) {
        auto* r = static_cast<RepondeurImpression*>(moi);
        GtkPrintUnixDialog* dialogue = dialogueOuvert();
        if (!dialogue) return G_SOURCE_CONTINUE;
        // The print-to-file printer, under the name its backend gives it in this locale.
        const char* versFichier = g_dgettext("gtk40", "Print to File");
        if (r->vu_ != dialogue) {
            r->vu_ = dialogue;
            ++r->dialogues;
            r->modal = gtk_window_get_modal(GTK_WINDOW(dialogue));
            r->parent = gtk_window_get_transient_for(GTK_WINDOW(dialogue));
        }
        RefG<GtkPrintSettings> reglages = RefG<GtkPrintSettings>::adopter(gtk_print_unix_dialog_get_settings(dialogue));
        GtkPrinter* choisie = gtk_print_unix_dialog_get_selected_printer(dialogue);
        const bool pret = choisie && g_strcmp0(gtk_printer_get_name(choisie), versFichier) == 0;
        const bool abandon = r->aussitot_ || std::chrono::steady_clock::now() > r->limite_;
        if (!pret && !abandon) {
            // The printers are listed as their backends report them: ask for the file one. Its
            // file is read from the settings when the printer gets selected, not after.
            if (r->fichier_ && g_strcmp0(gtk_print_settings_get_printer(reglages.get()), versFichier) != 0) {
                TexteG uri(g_filename_to_uri(r->fichier_->c_str(), nullptr, nullptr));
                gtk_print_settings_set_printer(reglages.get(), versFichier);
                gtk_print_settings_set(reglages.get(), GTK_PRINT_SETTINGS_OUTPUT_URI, uri.get());
                gtk_print_settings_set(reglages.get(), GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
                gtk_print_unix_dialog_set_settings(dialogue, reglages.get());
            }
            return G_SOURCE_CONTINUE;
        }
        if (const char* uri = gtk_print_settings_get(reglages.get(), GTK_PRINT_SETTINGS_OUTPUT_URI)) {
            TexteG chemin(g_filename_from_uri(uri, nullptr, nullptr));
            if (chemin) r->fichierPropose = std::filesystem::path(chemin.get());
        }
        const bool imprimer = r->fichier_ && pret && r->fichierPropose == r->fichier_ && !abandon;
        if (r->fermer && !r->fichier_)
            g_signal_emit_by_name(dialogue, "close");  // the signal the dialog binds to Escape
        else
            gtk_dialog_response(GTK_DIALOG(dialogue), imprimer ? GTK_RESPONSE_OK : GTK_RESPONSE_CANCEL);
        r->vu_ = nullptr;
        return G_SOURCE_CONTINUE;
    }

    std::optional<std::filesystem::path> fichier_;
    bool aussitot_ = false;
    std::chrono::steady_clock::time_point limite_;
    GtkPrintUnixDialog* vu_ = nullptr;
    guint source_ = 0;
};

}  // namespace ovrel::essais
