// The content records of an LDIF file (RFC 2849) read from a piece of it that holds whole
// records: folded lines joined, comments and version: passed over, :: values decoded. A
// record that cannot be read is given with its line and why, and the next one is read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct LdifValue {
    std::string_view description;  // "cn;lang-de": the type and its options
    std::string_view value;
    std::uint64_t line = 0;
};

struct LdifRecord {
    std::uint64_t line = 0;  // where the record's first line (its dn:) is
    std::string_view text;   // the record's bytes as the file holds them
    std::string_view dn;
    std::vector<LdifValue> values;  // without dn:, changetype: add and comments
    std::string error;              // why the record cannot be read; empty when it can
    std::uint64_t errorLine = 0;

    // The views point into the piece and into this record's own bytes (folded or decoded
    // values): valid until the next record is read into it.
    std::string store;
};

class LdifRecordReader {
  public:
    // text holds whole records; firstLine is the line number of its first byte.
    LdifRecordReader(std::string_view text, std::uint64_t firstLine)
        : text_(text), line_(firstLine) {}
    // The next record into record (its storage reused); false when none is left.
    bool next(LdifRecord& record);

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::uint64_t line_;
    bool first_ = true;  // version: may open the first record
};

// Standard base64, padding optional; false for any other character or a bad length.
bool DecodeBase64(std::string_view in, std::string& out);
