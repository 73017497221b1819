// The word a user most likely meant among the known ones (a tree name, a configuration
// key): for the "did you mean" of a message.
#pragma once

#include <string>
#include <vector>

// A known word a few letters away from word, or one that begins with it or that it begins
// with (three letters at least); empty when none is close. Letter case aside.
std::string ClosestWord(const std::string& word, const std::vector<std::string>& known);

// "unknown key \"url\"; did you mean \"uri\"?", the question only when a key is close.
std::string UnknownKeyText(const std::string& key, const std::vector<std::string>& known);
