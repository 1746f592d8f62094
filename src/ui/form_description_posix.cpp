#include "ui/form_description_posix.h"

#include <iconv.h>

#include <fstream>
#include <iterator>

namespace zorv::ui {

namespace {

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) iconv_close(handle_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<std::string> GbkFromUtf8(std::string_view utf8) {
    IconvHandle converter("GBK", "UTF-8");
    if (!converter.valid()) return std::nullopt;
    // A GBK text is never longer in bytes than its UTF-8 form.
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* outAt = out.data();
    std::size_t outLeft = out.size();
    // iconv counts the characters it replaced instead of failing; any such
    // replacement would silently change the text.
    const std::size_t replaced = iconv(converter.get(), &in, &inLeft, &outAt, &outLeft);
    if (replaced != 0 || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

FormDescriptionSource AssetDirectorySource(std::string assetsDir) {
    FormDescriptionSource source;
    source.readFile = [dir = std::move(assetsDir)](const std::string& path) -> std::optional<std::vector<uint8_t>> {
        if (path.empty() || path.front() == '/' || path.find("..") != std::string::npos) return std::nullopt;
        return ReadWholeFile(dir + "/" + path);
    };
    source.gbkFromUtf8 = [](std::string_view utf8) { return GbkFromUtf8(utf8); };
    return source;
}

}  // namespace zorv::ui
