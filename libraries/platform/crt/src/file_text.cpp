#include "platform/file_text.h"

namespace {

bool Between(unsigned char c, unsigned char low, unsigned char high) {
    return c >= low && c <= high;
}

// The length of the well-formed UTF-8 character at text[at], 0 when the byte there starts none.
size_t CharLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0; };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    const bool tail1 = Between(byte(1), 0x80, 0xBF), tail2 = Between(byte(2), 0x80, 0xBF),
               tail3 = Between(byte(3), 0x80, 0xBF);
    if (Between(lead, 0xC2, 0xDF))
        return tail1 ? 2 : 0;
    if (lead == 0xE0)
        return Between(byte(1), 0xA0, 0xBF) && tail2 ? 3 : 0;
    if (lead == 0xED)  // no surrogates
        return Between(byte(1), 0x80, 0x9F) && tail2 ? 3 : 0;
    if (Between(lead, 0xE1, 0xEF))
        return tail1 && tail2 ? 3 : 0;
    if (lead == 0xF0)
        return Between(byte(1), 0x90, 0xBF) && tail2 && tail3 ? 4 : 0;
    if (Between(lead, 0xF1, 0xF3))
        return tail1 && tail2 && tail3 ? 4 : 0;
    if (lead == 0xF4)  // up to U+10FFFF
        return Between(byte(1), 0x80, 0x8F) && tail2 && tail3 ? 4 : 0;
    return 0;
}

bool IsControl(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character[0]);
    if (character.size() == 1)
        return lead < 0x20 || lead == 0x7F;
    return character.size() == 2 && lead == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
}

// Escapes the characters of `text` that start before `maxBytes` and end within it.
std::string Escape(std::string_view text, size_t maxBytes, bool& cut) {
    std::string out;
    out.reserve(text.size() < maxBytes ? text.size() : maxBytes);
    size_t at = 0;
    while (at < text.size()) {
        const size_t length = CharLength(text, at);
        const std::string_view character = text.substr(at, length ? length : 1);
        if (at + character.size() > maxBytes)
            break;
        if (length == 0 || IsControl(character))
            AppendEscaped(out, character);
        else
            out.append(character);
        at += character.size();
    }
    cut = at < text.size();
    return out;
}

}  // namespace

std::string EscapeFileText(std::string_view text) {
    bool cut = false;
    return Escape(text, text.size(), cut);
}

std::string QuoteFileText(std::string_view text, size_t maxBytes) {
    bool cut = false;
    std::string out = Escape(text, maxBytes, cut);
    if (cut)
        out += "...";
    return out;
}
