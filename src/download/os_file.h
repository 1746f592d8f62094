#pragma once
// Files for the engine: an existing-file test and a new file created at its
// full length and mapped into memory in one writable view.  Paths are GBK
// byte strings; "\" and "/" both separate folders.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zorv::download::os {

class MappedFile {
public:
    virtual ~MappedFile() = default;  // unmaps the view and closes the mapping
    virtual char* Base() = 0;
    virtual int64_t Length() const = 0;
};

// Creates the file only if it does not exist yet, sets its length and maps all
// of it writable.  nullptr on any failure (a length of 0 included).
std::unique_ptr<MappedFile> CreateMappedFile(const std::string& path, int64_t length);

// Size of the file when it exists and can be opened for reading.
std::optional<int64_t> ExistingFileSize(const std::string& path);

// Local time as year, month, day, hour, minute, second.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime NowLocal();

}  // namespace zorv::download::os
