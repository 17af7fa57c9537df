// The one conversion between libsoup's SoupCookie and the application's Cookie, shared by the
// HTTP jar and the web view: both engines keep their cookies as SoupCookies, and a cookie copied
// from one to the other must arrive as it left.
//
// Expiry: whole seconds, as libsoup keeps them. SoupCookieJarDB writes an expiry into its file
// as a C int, so a date after 2038-01-19T03:14:07Z wraps there: depending on the date, the
// cookie comes back from the file as "now + 68 years" or as already expired (a cookie valid
// until 2262 is written as 1990 and vanishes at the next launch). Every expiry is therefore
// clamped, in both directions, to `expirationLaPlusLointaine`, the last date the file holds
// faithfully; it is also far inside what an Instant (nanoseconds, until 2262) and a GDateTime
// hold. A cookie "valid until 9999" thus reads as that date, and copies stay equal.
//
// SameSite: "None", "Lax" and "Strict" map to libsoup's three policies and back. libsoup has no
// "unspecified" policy: it gives NONE to a cookie set without SameSite (by a Set-Cookie header or
// soup_cookie_new), and sends it as such. An unspecified (or unknown) SameSite therefore becomes
// NONE, what the engine itself would have made of it, and reads back as "None".
#pragma once

#include "plateforme/cookie.h"

#include <libsoup/soup.h>

#include <chrono>

namespace ovrel {

inline constexpr Instant expirationLaPlusLointaine{std::chrono::seconds(2147483647)};

// An absent expiry is a session cookie; an absent path reads as "/".
Cookie cookieDepuisSoup(SoupCookie* cookie);
// A new SoupCookie: the caller frees it (soup_cookie_free) or hands it to a jar, which takes it.
// An empty path becomes "/"; a fraction of a second in the expiry is dropped.
SoupCookie* cookieVersSoup(const Cookie& cookie);

}  // namespace ovrel
