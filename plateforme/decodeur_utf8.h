// Text out of a stream of bytes that claims to be UTF-8 but arrives in pieces of any size and
// may hold invalid bytes: a child's output read from a pipe. Nothing is ever dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ovrel {

// Decodes one stream, piece by piece. A character split between two pieces is held back until
// its last byte comes; every invalid byte (or the longest invalid start of a sequence) becomes
// one U+FFFD, as Unicode recommends and web browsers do; a sequence left incomplete
// when the stream ends becomes one U+FFFD too. The result is always valid UTF-8, and for valid
// input the concatenation of the results is the input itself.
class DecodeurUtf8 {
public:
    // The text completed by these bytes, possibly empty (everything may be held back).
    std::string decoder(std::string_view octets);
    // The end of the stream: what is held back, as U+FFFD, or nothing. The decoder is then ready
    // for a new stream.
    std::string terminer();

private:
    std::string enAttente_;       // bytes of the started sequence, valid so far
    int restants_ = 0;            // continuation bytes still expected
    std::uint8_t minimum_ = 0x80; // range of the next continuation byte (narrower after some
    std::uint8_t maximum_ = 0xBF; // lead bytes, to refuse long forms, surrogates and > U+10FFFF)
};

}  // namespace ovrel
