// Text typed by the user (addresses in fields) and text read from files, cleaned at its edges.
#pragma once

#include <string_view>

namespace ovrel {

// The text without white space and line breaks at either end, in the Unicode sense: the
// space separators (U+0020, U+00A0, U+1680, U+2000 to U+200A, U+202F, U+205F, U+3000), the
// line and paragraph separators U+2028 and U+2029, the controls U+0009 to U+000D and U+0085.
// Bytes that are not UTF-8 are kept as they are and stop the trimming where they stand.
std::string_view sansBlancsAuxBords(std::string_view texte);

}  // namespace ovrel
