// A fresh temporary folder for one test, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The full path of name inside the folder, as a string.
    std::string file(const std::string& name) const;
    // Writes bytes exactly as given (no line-end translation); returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const;
    // The whole file's bytes; empty when it cannot be read.
    static std::string read(const std::string& fullPath);

  private:
    std::filesystem::path path_;
};
