// Drives the thread's default GLib main context from a test, the way the application's loop
// would, until a condition holds or a limit passes.
#pragma once

#include <glib.h>

#include <chrono>
#include <functional>

namespace ovrel::essai {

// Iterates the default context until `condition` holds; false when `limite` passed first.
inline bool tournerJusqua(const std::function<bool()>& condition, std::chrono::milliseconds limite) {
    bool expire = false;
    GSource* garde = g_timeout_source_new(static_cast<guint>(limite.count()));
    g_source_set_callback(
        garde, [](gpointer d) -> gboolean { *static_cast<bool*>(d) = true; return G_SOURCE_REMOVE; },
        &expire, nullptr);
    g_source_attach(garde, nullptr);
    while (!condition() && !expire) g_main_context_iteration(nullptr, TRUE);
    g_source_destroy(garde);
    g_source_unref(garde);
    return condition();
}

// Lets the loop run for `duree`, whatever happens in it.
inline void tournerPendant(std::chrono::milliseconds duree) {
    tournerJusqua([] { return false; }, duree);
}

}  // namespace ovrel::essai
