#include "plateforme/decodeur_utf8.h"

namespace ovrel {

namespace {

constexpr std::string_view REMPLACEMENT = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::string DecodeurUtf8::decoder(std::string_view octets) {
    std::string texte;
    texte.reserve(octets.size() + enAttente_.size());
    for (std::size_t i = 0; i < octets.size();) {
        const auto octet = static_cast<std::uint8_t>(octets[i]);
        if (restants_ > 0) {
            if (octet < minimum_ || octet > maximum_) {
                // The sequence breaks here: what came so far is one invalid run, and this byte
                // starts afresh (it may be the lead of the next character).
                texte += REMPLACEMENT;
                enAttente_.clear();
                restants_ = 0;
                minimum_ = 0x80;
                maximum_ = 0xBF;
                continue;
            }
            enAttente_ += static_cast<char>(octet);
            minimum_ = 0x80;
            maximum_ = 0xBF;
            if (--restants_ == 0) {
                texte += enAttente_;
                enAttente_.clear();
            }
            ++i;
            continue;
        }
        ++i;
        if (octet < 0x80) {
            texte += static_cast<char>(octet);
            continue;
        }
        // The lead byte sets how many bytes follow, and for some leads a narrower range of the
        // first of them.
        if (octet >= 0xC2 && octet <= 0xDF) {
            restants_ = 1;
        } else if (octet >= 0xE0 && octet <= 0xEF) {
            restants_ = 2;
            if (octet == 0xE0) minimum_ = 0xA0;
            if (octet == 0xED) maximum_ = 0x9F;
        } else if (octet >= 0xF0 && octet <= 0xF4) {
            restants_ = 3;
            if (octet == 0xF0) minimum_ = 0x90;
            if (octet == 0xF4) maximum_ = 0x8F;
        } else {
            // A continuation byte without a lead, or a byte that never appears in UTF-8.
            texte += REMPLACEMENT;
            continue;
        }
        enAttente_ += static_cast<char>(octet);
    }
    return texte;
}

std::string DecodeurUtf8::terminer() {
    const bool incomplet = restants_ > 0;
    enAttente_.clear();
    restants_ = 0;
    minimum_ = 0x80;
    maximum_ = 0xBF;
    return incomplet ? std::string(REMPLACEMENT) : std::string();
}

}  // namespace ovrel
