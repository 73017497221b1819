// Names and messages from files and servers are hostile: written raw to a terminal, an ESC
// starts a command and a line feed forges an output line. Text for people shows each control
// character by its number instead and keeps every other byte as it is.
#pragma once

#include <string>
#include <string_view>

// Control characters: C0 (0x00-0x1F), DEL (0x7F) and C1, which is U+0080-U+009F in a UTF-8
// sequence, or a byte 0x80-0x9F outside one (an 8-bit terminal takes 0x9B for CSI).
bool HoldsControlChar(std::string_view text);

// text with C0, DEL and a C1 byte outside UTF-8 as \xHH (\x1B), a C1 character as \u00HH
// (\u009B). A backslash stays a backslash: names hold them ("Effective\Container").
std::string EscapeControlChars(std::string_view text);
