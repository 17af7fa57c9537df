// The cloud's timestamps: RFC 3339 date-times without fractional seconds.
//
// The cloud writes every timestamp as "YYYY-MM-DDTHH:MM:SS" followed by "Z" or by an offset
// written with a colon ("+01:00", "-05:30"). Anything else, including fractional seconds, a
// missing zone, a lower-case "t" or "z", "+0100" or surrounding spaces, is not a timestamp of
// ours and reads as absent. The parser is hand-written because the toolkit's ISO 8601 reader is
// more lenient than that, and because it runs once per box on large fleets: it never allocates.
#pragma once

#include "plateforme/horloge.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace ovrel {

// Whole seconds since 1970-01-01T00:00:00Z of a strict timestamp, over the full range of years
// 0000 to 9999 (wider than what an Instant can hold). Absent when the text is not a timestamp.
std::optional<std::int64_t> secondesIsoUtc(std::string_view texte) noexcept;

// The whole seconds since 1970 of an instant, rounded toward the past. Exact for every instant,
// Instant::min() included (where going through std::chrono::floor would overflow).
std::int64_t secondesPlancher(Instant instant) noexcept;

// The one shared timestamp parser. `ISO_UTC.analyser(texte)` and `ISO_UTC(texte)` give the
// instant, or absent when the text is not a strict timestamp or names an instant that an
// Instant cannot hold (before 1677 or after 2262). Stateless, so it may be used from any thread.
struct AnalyseurIsoUtc {
    std::optional<Instant> analyser(std::string_view texte) const noexcept;
    std::optional<Instant> operator()(std::string_view texte) const noexcept { return analyser(texte); }
};

inline constexpr AnalyseurIsoUtc ISO_UTC{};

}  // namespace ovrel
