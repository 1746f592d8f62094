#pragma once
// Files for the engine: an existing-file test and a new target file created
// at its full length that takes bytes at any offset.  Both builds write
// through the file handle at the block's offset (pwrite, WriteFile), never
// through a mapped view: a write that finds no room then fails as a result
// instead of ending the process.  Paths are GBK byte strings; "\" and "/"
// both separate folders.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zorv::download::os {

class TargetFile {
public:
    virtual ~TargetFile() = default;  // closes the file
    virtual int64_t Length() const = 0;
    // Puts size bytes at offset.  False when they reach beyond the length or
    // cannot all be written (a full disk, for one); `written`, when given,
    // then tells how many of the first bytes did land in the file.
    virtual bool WriteAt(int64_t offset, const char* data, size_t size, size_t* written = nullptr) = 0;
};

// Creates the file only if it does not exist yet and sets its length (0
// makes an empty file).  nullptr on any failure.
std::unique_ptr<TargetFile> CreateTargetFile(const std::string& path, int64_t length);

// Opens a target file that already exists for a continued download.  Its
// size must be exactly the length: nullptr when it is missing, cannot be
// opened for writing, or has another size (it is never truncated nor
// extended).
std::unique_ptr<TargetFile> OpenTargetFile(const std::string& path, int64_t length);

// Size of the file when it exists and can be opened for reading.
std::optional<int64_t> ExistingFileSize(const std::string& path);

// The GBK bytes of a UTF-8 text; nullopt when it is no valid UTF-8 or holds
// a character that GBK does not have.
std::optional<std::string> GbkFromUtf8(const std::string& utf8);

// Local time as year, month, day, hour, minute, second.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime NowLocal();

}  // namespace zorv::download::os
