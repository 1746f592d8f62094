// The ini file beside the program (up.ini, GBK text without a byte-order
// mark), as the start-up looks up section "更新信息", key "下载地址" in it,
// and the value cut to the system buffer's length.
//
// Input: one byte; when it is odd, a section name and a key name follow,
// each ended by a zero byte; the rest is the file's content.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/startup_rules.h"
#include "fuzz_support.h"
#include "runtime/gbk.h"
#include "runtime/ini_text.h"

namespace {

// What ReadIniValue keeps of a value: at most this many bytes.
constexpr size_t kValueLimit = 10239;

void Check(std::string_view content, std::string_view section, std::string_view key) {
    const std::optional<std::string> value = zorv::FindIniValue(content, section, key);
    if (!value) return;
    // A value is a piece of one line.
    FUZZ_CHECK(value->find('\n') == std::string::npos);
    FUZZ_CHECK(content.find(*value) != std::string_view::npos);
    const std::string kept = zorv::CutGbkText(*value, kValueLimit);
    FUZZ_CHECK(kept.size() <= kValueLimit && value->compare(0, kept.size(), kept) == 0);
    FUZZ_CHECK(kept.size() == value->size() || kept.size() + 1 >= kValueLimit);
    // The cut never halves a double-byte character.
    size_t at = 0;
    while (at < kept.size()) at += zorv::GbkCharLength(*value, at);
    FUZZ_CHECK(at == kept.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zorv::fuzz::InputParts input(data, size);
    if (input.Byte() & 1) {
        const std::string section = input.Text();
        const std::string key = input.Text();
        Check(input.Rest(), section, key);
    } else {
        Check(input.Rest(), zorv::app::kUpIniSection, zorv::app::kUpIniKey);
    }
    return 0;
}
