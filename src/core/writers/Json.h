// The writer of every JSON document: keys in the order written (QJsonObject would sort
// them), indented by two spaces. Names are byte strings; they become JSON text as the window
// shows them: UTF-8 where valid, else one byte a character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Names.h"

class JsonWriter {
  public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view bytes);
    // Without it a literal would pick the bool overload.
    JsonWriter& value(const char* bytes) { return value(std::string_view(bytes)); }
    JsonWriter& value(int number);
    JsonWriter& value(bool flag);
    JsonWriter& value(const NameList& names);
    JsonWriter& null();

    // The document, ending in a line feed.
    std::string text() const { return out_ + "\n"; }

  private:
    void beforeValue();
    JsonWriter& close(char bracket);
    void newline();

    std::string out_;
    struct Level {
        bool array = false;
        bool empty = true;
    };
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

// A JSON string literal, quotes included.
std::string JsonString(std::string_view bytes);
