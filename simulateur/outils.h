// Small helpers of the simulator: random tokens, dates, HTML escaping, serials.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace ovrel::simulateur {

using Instant = std::chrono::system_clock::time_point;

// The 64 characters of the cloud's tokens: letters, digits, "-" and "_".
inline constexpr std::string_view ALPHABET_JETON =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// `longueur` characters drawn from `alphabet` with the system's random source.
std::string tirage(std::string_view alphabet, std::size_t longueur);
std::string nouveauJeton(std::size_t longueur = 64);
// A label code: two groups of four unambiguous capitals and digits ("K7QM-2XHP").
std::string nouveauCode();

std::int64_t secondesDepuis1970(Instant t);
// RFC 3339 in UTC without fractional seconds: 2024-05-12T08:03:00Z.
std::string dateIso(Instant t);

std::string echapperHtml(std::string_view texte);
std::string minuscules(std::string_view texte);
// Upper-cased (ASCII), every "-" and every space removed: how serials are compared.
std::string serieComparable(std::string_view serie);
// Percent-encodes everything but unreserved characters, for values put in a query.
std::string encoderRequete(std::string_view texte);

}  // namespace ovrel::simulateur
