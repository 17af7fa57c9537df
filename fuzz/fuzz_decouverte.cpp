// A box's identity answer applied to a discovered box, then handed to the fleet page.
#include "plateforme/json.h"
#include "reseau/box_trouvee.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    const std::string_view texte(reinterpret_cast<const char*>(donnees), taille);
    const auto resolue = ovrel::boxResolue("box-bureau.local.", 8000);
    if (!resolue) __builtin_trap();
    if (auto box = ovrel::boxMiseAJour(*resolue, texte)) {
        if (box->cle() != resolue->cle() || box->nom.empty()) __builtin_trap();
        const std::string appel = ovrel::appelReseau({*box, *resolue});
        // The call always carries a JSON array the page can parse.
        const auto debut = appel.find('(');
        const auto fin = appel.rfind(')');
        if (debut == std::string::npos || fin == std::string::npos || fin <= debut) __builtin_trap();
        if (!ovrel::json::Document::analyser(std::string_view(appel).substr(debut + 1, fin - debut - 1)))
            __builtin_trap();
    }
    return 0;
}
