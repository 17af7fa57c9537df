// What the application puts into its pages: the names of the handlers pages post to, and the
// scripts it runs in them.
#pragma once

#include "connexion/session.h"  // MESSAGE_SESSION, the console's word that its session ran out

#include <string_view>

namespace ovrel {

// The page's print requests (window.print), body ignored.
inline constexpr std::string_view MESSAGE_IMPRIMER = "ovrelImprimer";

// Runs first in the main frame of every page: every print request of the page reaches the
// application, which prints through its own dialog and knows when a label sheet was printed.
// A failure to post is swallowed, as the page's own print would fail silently.
inline constexpr std::string_view SCRIPT_IMPRIMER =
    "(function () {\n"
    "  window.print = function () {\n"
    "    try { window.webkit.messageHandlers.ovrelImprimer.postMessage(null); } catch (e) {}\n"
    "  };\n"
    "})();";

// Shows the user where the box page's new-code button is: the first button of a form whose
// action ends with "/nouveau-code", scrolled to the middle of the view and outlined in the
// application's gold. Gives "absent" when the page has none, "ok" otherwise.
inline constexpr std::string_view SCRIPT_NOUVEAU_CODE =
    "(function () {\n"
    "  var bouton = null;\n"
    "  var formulaires = document.querySelectorAll('form');\n"
    "  for (var i = 0; i < formulaires.length && !bouton; i++) {\n"
    "    var action = formulaires[i].getAttribute('action') || '';\n"
    "    if (action.slice(-13) === '/nouveau-code') bouton = formulaires[i].querySelector('button');\n"
    "  }\n"
    "  if (!bouton) return 'absent';\n"
    "  bouton.scrollIntoView({block: 'center'});\n"
    "  bouton.style.outline = '2px solid #D8AB6A';\n"
    "  bouton.style.outlineOffset = '4px';\n"
    "  return 'ok';\n"
    "})();";

}  // namespace ovrel
