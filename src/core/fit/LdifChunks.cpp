#include "core/fit/LdifChunks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

std::size_t FirstRecordBoundary(const std::string& text) {
    for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', lf + 1)) {
        if (lf + 1 < text.size() && text[lf + 1] == '\n') return lf + 2;
        if (lf + 2 < text.size() && text[lf + 1] == '\r' && text[lf + 2] == '\n') return lf + 3;
    }
    return text.size();
}

std::size_t LastRecordBoundary(const std::string& text) {
    // A blank line is "\n\n" or "\n\r\n"; the boundary is after its own line end.
    std::size_t end = text.size();
    while (end >= 2) {
        const std::size_t lf = text.rfind('\n', end - 1);
        if (lf == std::string::npos || lf == 0) return 0;
        if (text[lf - 1] == '\n') return lf + 1;
        if (text[lf - 1] == '\r' && lf >= 2 && text[lf - 2] == '\n') return lf + 1;
        end = lf;
    }
    return 0;
}

bool LdifChunkReader::fill(std::size_t want) {
    const std::size_t old = pending_.size();
    pending_.resize(old + want);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd_, pending_.data() + old + got, want - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error_ = std::strerror(errno);
            eof_ = true;
            break;
        }
        if (n == 0) {
            eof_ = true;
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    pending_.resize(old + got);
    bytesRead_ += got;
    return got > 0;
}

bool LdifChunkReader::next(LdifChunk& chunk) {
    chunk.oversized = false;
    for (;;) {
        std::size_t boundary = 0;
        if (pending_.size() >= chunkBytes_ || eof_) boundary = LastRecordBoundary(pending_);
        if (boundary == 0 && eof_) boundary = pending_.size();
        // A piece grown past the bound holds one record longer than it.
        if (boundary > maxRecord_ && FirstRecordBoundary(pending_) > maxRecord_) break;
        if (boundary > 0) {
            chunk.firstLine = line_;
            if (boundary == pending_.size()) {
                chunk.text.swap(pending_);
                pending_.clear();
            } else {
                chunk.text.assign(pending_, 0, boundary);
                pending_.erase(0, boundary);
            }
            line_ +=
                static_cast<std::uint64_t>(std::count(chunk.text.begin(), chunk.text.end(), '\n'));
            return true;
        }
        if (eof_) return false;
        if (pending_.size() > maxRecord_) break;
        fill(std::max(chunkBytes_, pending_.size() / 2));
    }
    // A record that will not fit: its start is kept for the message, the rest read and
    // dropped up to the next blank line.
    chunk.firstLine = line_;
    chunk.oversized = true;
    const std::size_t firstLf = pending_.find('\n');
    chunk.text.assign(pending_, 0, std::min<std::size_t>(firstLf, 200));
    bool lastWasLf = false;
    for (;;) {
        if (lastWasLf) {
            // A blank line right after the previous piece.
            const bool blank =
                !pending_.empty() &&
                (pending_[0] == '\n' ||
                 (pending_.size() > 1 && pending_[0] == '\r' && pending_[1] == '\n'));
            if (blank) {
                const std::size_t cut = pending_.find('\n') + 1;
                line_ += 1;
                pending_.erase(0, cut);
                return true;
            }
        }
        const std::size_t boundary = LastRecordBoundary(pending_);
        if (boundary > 0) {
            // The first boundary, not the last: the records after it are read as usual.
            const std::size_t first = FirstRecordBoundary(pending_);
            line_ += static_cast<std::uint64_t>(std::count(
                pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(first), '\n'));
            pending_.erase(0, first);
            return true;
        }
        line_ += static_cast<std::uint64_t>(std::count(pending_.begin(), pending_.end(), '\n'));
        lastWasLf = !pending_.empty() && pending_.back() == '\n';
        pending_.clear();
        if (eof_) return true;
        fill(chunkBytes_);
        if (pending_.empty()) return true;
    }
}
