// Ownership of GLib's objects and allocations, shared by every adapter: one reference per
// holder, released when the holder goes, and one conversion of a GError into the error the
// application shows.
#pragma once

#include "plateforme/http.h"

#include <glib-object.h>

#include <memory>
#include <utility>

namespace ovrel {

// Holds one reference to a GObject and drops it when destroyed. `adopter` takes a reference
// the caller already owns (a "transfer full" result); `partager` adds one.
template <class T>
class RefG {
public:
    RefG() = default;
    static RefG adopter(T* objet) { return RefG(objet); }
    static RefG partager(T* objet) { return RefG(objet ? static_cast<T*>(g_object_ref(objet)) : nullptr); }
    RefG(const RefG& autre) : objet_(autre.objet_ ? static_cast<T*>(g_object_ref(autre.objet_)) : nullptr) {}
    RefG(RefG&& autre) noexcept : objet_(autre.objet_) { autre.objet_ = nullptr; }
    RefG& operator=(RefG autre) noexcept {
        std::swap(objet_, autre.objet_);
        return *this;
    }
    ~RefG() {
        if (objet_) g_object_unref(objet_);
    }
    T* get() const { return objet_; }
    explicit operator bool() const { return objet_ != nullptr; }

private:
    explicit RefG(T* objet) : objet_(objet) {}
    T* objet_ = nullptr;
};

namespace detail {
// The deleter that calls GLib's own release function `liberer`.
template <auto liberer>
struct Liberer {
    template <class T>
    void operator()(T* p) const {
        liberer(p);
    }
};
}  // namespace detail

// Memory of g_malloc (a "gchar*" to free with g_free, for instance).
template <class T>
using LibreG = std::unique_ptr<T, detail::Liberer<g_free>>;
using TexteG = LibreG<char>;
using ErreurG = std::unique_ptr<GError, detail::Liberer<g_error_free>>;
using DateG = std::unique_ptr<GDateTime, detail::Liberer<g_date_time_unref>>;
using FuseauG = std::unique_ptr<GTimeZone, detail::Liberer<g_time_zone_unref>>;
using UriG = std::unique_ptr<GUri, detail::Liberer<g_uri_unref>>;
using OctetsG = std::unique_ptr<GBytes, detail::Liberer<g_bytes_unref>>;
using VariantG = std::unique_ptr<GVariant, detail::Liberer<g_variant_unref>>;
using TextesG = std::unique_ptr<char*, detail::Liberer<g_strfreev>>;

// Receives a GError from a call that reports one ("GError** erreur") and owns it:
//     ErreurRecue erreur;
//     faire(…, erreur.adresse());
//     if (erreur) …
class ErreurRecue {
public:
    ErreurRecue() = default;
    ~ErreurRecue() { liberer(); }
    ErreurRecue(const ErreurRecue&) = delete;
    ErreurRecue& operator=(const ErreurRecue&) = delete;

    GError** adresse() {
        liberer();
        return &erreur_;
    }
    GError* get() const { return erreur_; }
    const GError* operator->() const { return erreur_; }
    explicit operator bool() const { return erreur_ != nullptr; }

private:
    void liberer() {
        if (erreur_) g_error_free(erreur_);
        erreur_ = nullptr;
    }
    GError* erreur_ = nullptr;
};

// An error of GLib or of a library on it, as the alerts show it: "(domain code)".
inline ErreurTransport erreurDepuisG(const GError* erreur) {
    if (!erreur) return {};
    return ErreurTransport{g_quark_to_string(erreur->domain), erreur->code, erreur->message ? erreur->message : ""};
}

}  // namespace ovrel
