// An LDIF file read in pieces that end where a record ends, so each piece can be read and
// checked on its own, by any thread, and the file never has to fit in memory.
#pragma once

#include <cstdint>
#include <string>

struct LdifChunk {
    std::string text;             // whole records
    std::uint64_t firstLine = 1;  // the line number of its first byte
    // A record longer than the reader keeps: its first line, the rest passed over.
    bool oversized = false;
};

class LdifChunkReader {
  public:
    // fd stays the caller's. Pieces hold about chunkBytes; a record longer than maxRecord
    // comes as an oversized piece of its own.
    explicit LdifChunkReader(int fd, std::size_t chunkBytes = std::size_t{1} << 20,
                             std::size_t maxRecord = std::size_t{16} << 20)
        : fd_(fd), chunkBytes_(chunkBytes), maxRecord_(maxRecord) {}
    // The next piece; false at the end of the input. A read that fails sets error().
    bool next(LdifChunk& chunk);
    std::uint64_t bytesRead() const { return bytesRead_; }
    const std::string& error() const { return error_; }

  private:
    bool fill(std::size_t want);
    int fd_;
    std::size_t chunkBytes_;
    std::size_t maxRecord_;
    std::string pending_;
    std::uint64_t line_ = 1;
    std::uint64_t bytesRead_ = 0;
    bool eof_ = false;
    std::string error_;
};

// Where the last blank line of text ends (the byte after it); 0 when it has none.
std::size_t LastRecordBoundary(const std::string& text);
// Where the first one ends; the text's size when it has none.
std::size_t FirstRecordBoundary(const std::string& text);
