// form-pack <assets dir> <output file>
// Packs the form description (assets/form/) with its images and icon into the
// stored form template that the program embeds as a resource.
#include <cstdio>
#include <fstream>
#include <string>

#include "ui/form_description_posix.h"
#include "ui/form_template_format.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "form-pack: %s\n", message.c_str());
    return 1;
}

// Writes beside the target and renames, so that an interrupted run never
// leaves a half-written template that a later build would embed.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Fail("usage: form-pack <assets dir> <output file>");
    std::string error;
    const auto form = zorv::ui::LoadFormDescription(zorv::ui::AssetDirectorySource(argv[1]), &error);
    if (!form) return Fail(error);
    const auto bytes = zorv::ui::WriteFormTemplate(*form, &error);
    if (!bytes) return Fail(error);
    // The program refuses a template that its reader does not accept, so
    // the build refuses it first.
    const auto reread = zorv::ui::ReadFormTemplate(*bytes, &error);
    if (!reread) return Fail("packed template does not read back: " + error);
    if (*reread != *form) return Fail("packed template reads back different");
    if (!WriteFileAtomically(argv[2], *bytes)) return Fail(std::string("cannot write ") + argv[2]);
    std::size_t units = 0;
    for (const auto& window : form->windows) units += window.units.size();
    std::printf("form-pack: %zu windows, %zu units, %zu bytes\n", form->windows.size(), units, bytes->size());
    return 0;
}
