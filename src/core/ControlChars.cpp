#include "core/ControlChars.h"

#include <cstdio>

namespace {

// One character of text as a UTF-8 terminal reads it: a well-formed UTF-8 sequence or a
// single byte.
struct Unit {
    std::size_t length = 1;
    bool control = false;
    bool sequence = false;  // UTF-8; else one byte
    char32_t value = 0;     // the code point, or the byte
};

// The length (2 to 4) of the well-formed UTF-8 sequence at text[i], else 0.
std::size_t Utf8Length(std::string_view text, std::size_t i, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the second byte's range; overlong forms and surrogates out
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    return length;
}

Unit UnitAt(std::string_view text, std::size_t i) {
    Unit unit;
    const auto byte = static_cast<unsigned char>(text[i]);
    unit.value = byte;
    if (byte >= 0x80) {
        char32_t cp = 0;
        if (const std::size_t length = Utf8Length(text, i, cp); length != 0) {
            unit.length = length;
            unit.sequence = true;
            unit.value = cp;
            unit.control = cp <= 0x9F;
            return unit;
        }
    }
    unit.control = byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F);
    return unit;
}

}  // namespace

bool HoldsControlChar(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const Unit unit = UnitAt(text, i);
        if (unit.control) return true;
        i += unit.length;
    }
    return false;
}

std::string EscapeControlChars(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        // Printable ASCII, nearly every byte of a line, goes out a run at a time.
        std::size_t plain = i;
        while (plain < text.size() && static_cast<unsigned char>(text[plain]) - 0x20U < 0x5FU)
            ++plain;
        if (plain != i) {
            out.append(text, i, plain - i);
            i = plain;
            continue;
        }
        const Unit unit = UnitAt(text, i);
        if (unit.control) {
            char escape[8];
            std::snprintf(escape, sizeof escape, unit.sequence ? "\\u%04X" : "\\x%02X",
                          static_cast<unsigned>(unit.value));
            out += escape;
        } else {
            out.append(text, i, unit.length);
        }
        i += unit.length;
    }
    return out;
}
