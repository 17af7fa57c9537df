// The update channel's manifest and the version comparison.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ovrel {

struct ManifesteMaj {
    std::string version;
    std::string url;
};

// A JSON object whose "version" and "url" are both texts; absent otherwise.
std::optional<ManifesteMaj> lireManifeste(std::string_view corps);

// True when version `a` is strictly newer than `b`: numeric components separated by ".",
// components that are not whole numbers dropped, missing ones counting as 0.
bool plusRecente(std::string_view a, std::string_view que);

}  // namespace ovrel
