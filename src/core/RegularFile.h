// Opening files that may be hostile: a FIFO or a device where a file is expected must
// not block the program, and nothing but a regular file is ever read or replaced.
#pragma once

#include <cstddef>
#include <string>

// A descriptor opened for reading; open() never blocks (O_NONBLOCK until the file is known
// to be regular, then cleared). A symbolic link to a regular file is fine.
class RegularFile {
  public:
    RegularFile() = default;
    explicit RegularFile(const std::string& path) { open(path); }
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;

    bool open(const std::string& path);
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // The errno of a failed open; EISDIR for a folder, kNotRegular for a FIFO, device or
    // socket.
    int error() const { return error_; }
    // "No such file or directory", "is a folder", "not a regular file", ...
    std::string reason() const;
    // Reads what is left of the file; false and why on a read error, or when there are
    // more than limit bytes (bytes then holds limit + 1 of them).
    bool readAll(std::string& bytes, std::size_t limit, std::string& why);

    static constexpr int kNotRegular = -1;

  private:
    int fd_ = -1;
    int error_ = 0;
};

// Reads the whole regular file at path, at most limit bytes; false and why otherwise.
bool ReadRegularFile(const std::string& path, std::string& bytes, std::size_t limit,
                     std::string& why);

// Whether path may be replaced by a new regular file: it is missing (its folder decides
// later) or a regular file, or a link to one. A FIFO, device, socket, folder or a link
// that leads nowhere is refused; the reason says why, else it is empty.
std::string ReplaceableTargetProblem(const std::string& path);

// Whether a new file can be put at path now: a replaceable target (above) in a folder
// this process may create files in. Empty when it can, else why not ("Permission denied").
std::string TargetWriteProblem(const std::string& path);

// The text for an errno when writing: strerror, so a full disk reads "No space left on
// device".
std::string WriteErrorText(int err);
