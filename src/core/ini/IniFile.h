// The INI layer: byte-exact reading and in-place writing of INI files, with one parsed
// copy per path that every object opened on the path shares.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Raised when a write cannot be made durable: "Unable to write to %s"; the detail says why
// when that is known ("No space left on device", "not a regular file", ...).
class IniWriteError : public std::runtime_error {
  public:
    explicit IniWriteError(const std::string& fileName, std::string detail = {});
    const std::string& fileName() const { return fileName_; }
    const std::string& detail() const { return detail_; }

  private:
    std::string fileName_;
    std::string detail_;
};

struct IniDocument;  // the shared parsed copy of one path

class IniFile {
  public:
    // Live: every read sees the file as it stands on disk (checked by size, time and inode).
    // Snapshot: the file as it stood at the first read, whatever happens to it afterwards.
    enum class Mode { Live, Snapshot };
    // A name without a folder is taken as given (callers resolve it); nothing is read yet.
    explicit IniFile(std::string fileName, Mode mode = Mode::Live);
    // Flushes what is pending; a failure here is swallowed (call UpdateFile to see it).
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const std::string& FileName() const { return fileName_; }

    // While a hold lives, the file is checked against the disk once, at the first call,
    // instead of at every call: the reads under one hold see one version of the file.
    class Hold {
      public:
        explicit Hold(IniFile& file);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        std::shared_ptr<IniDocument> doc_;
    };

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue);
    // The same read into value, reusing its room; false, value untouched, when there is none.
    bool ReadStringInto(const std::string& section, const std::string& key, std::string& value);
    // Decimal, or hexadecimal after "0x", "0X" or "$"; anything else gives the default.
    std::int64_t ReadInteger(const std::string& section, const std::string& key,
                             std::int64_t defaultValue);
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, std::int64_t value);

    // Section names, keys and key=value lines, in file order, duplicates included.
    std::vector<std::string> ReadSections();
    std::vector<std::string> ReadSection(const std::string& section);
    std::vector<std::string> ReadSectionValues(const std::string& section);
    // Just the values of ReadSectionValues, without building the key=value lines.
    std::vector<std::string> ReadSectionValueTexts(const std::string& section);
    // The same into texts, reusing the room of the strings it already holds: a reader of
    // many small sections allocates once, not per value.
    void ReadSectionValueTexts(const std::string& section, std::vector<std::string>& texts);
    // The same handed one by one to a reader that keeps them in records of its own, told
    // first how many there may be.
    class ValueTaker {
      public:
        virtual void reserve(std::size_t most) = 0;
        virtual void take(std::string_view text) = 0;
        // Drops every text taken so far: the section is read again another way.
        virtual void restart() = 0;

      protected:
        ~ValueTaker() = default;
    };
    void ReadSectionValueTexts(const std::string& section, ValueTaker& taker);
    bool SectionExists(const std::string& section);
    void EraseSection(const std::string& section);

    // Makes every write so far durable: under a lock on the folder, onto the file as it
    // stands on disk (another process may have changed it), written whole, then renamed.
    void UpdateFile();
    // For a file written whole (a schema file): a flush puts this copy in place as it is,
    // whatever another process wrote since it was read, so the file holds one writer's
    // content. Off, the flush applies this process's changes onto the other's version, as
    // the settings file needs.
    void SetWrittenWhole(bool on) { writtenWhole_ = on; }
    // Empties this copy, without a flush, for a file written whole: from here on it is not
    // read again, so what another process writes meanwhile adds nothing to it.
    void StartOver();
    // Forgets every write not yet flushed; the next call reads the file as it stands.
    void DiscardChanges();
    // With auto-flush on, every write is made durable at once (the settings file).
    void SetAutoFlush(bool on) { autoFlush_ = on; }
    // Why the file could not be read ("not a regular file", "too large ..."); empty when it
    // could, or is simply missing.
    std::string ReadProblem();

  private:
    std::string fileName_;
    std::shared_ptr<IniDocument> doc_;
    bool autoFlush_ = false;
    bool writtenWhole_ = false;
};
