// Text from files as errors, warnings and logs show it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The most bytes of a text from a file that a message quotes.
constexpr size_t kMaxQuotedBytes = 64;

// `text` safe to print: every control character (U+0000..U+001F, U+007F, U+0080..U+009F) and
// every byte that is not part of a well-formed UTF-8 character becomes \xNN (two lowercase hex
// digits per byte), so that no file can start a line of a log or send a terminal a command.
// All else is kept, the backslash too: escaping an escaped text changes nothing.
std::string EscapeFileText(std::string_view text);

// The first `maxBytes` of `text`, cut before the first character that does not fit whole,
// escaped as EscapeFileText does, with "..." after it when anything was cut.
std::string QuoteFileText(std::string_view text, size_t maxBytes = kMaxQuotedBytes);
