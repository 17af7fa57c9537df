// What pages and flows ask of the application beyond navigation: its plain alert.
#include "app/delegue.h"

namespace ovrel {

void Delegue::alerte(const std::string& titre, const std::string& message) {
    ports.dialogues.alerte(titre, message);
}

}  // namespace ovrel
