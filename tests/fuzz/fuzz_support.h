#pragma once
// What the fuzz targets share: a property check that ends the run like a
// crash (so libFuzzer keeps the input), and the splitting of one input into
// numbers and texts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::zorv::fuzz::Broken(#condition, __FILE__, __LINE__))

namespace zorv::fuzz {

[[noreturn]] inline void Broken(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

// Takes an input apart from its front: fixed-size numbers first, then texts
// separated by a zero byte (no text of the program holds one).
class InputParts {
public:
    InputParts(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    // Missing bytes read as zero.
    uint8_t Byte() {
        if (rest_.empty()) return 0;
        uint8_t value = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return value;
    }
    int32_t Int32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
        return static_cast<int32_t>(value);
    }
    // The bytes up to the next zero byte (or the end), which is skipped.
    std::string Text() {
        size_t end = rest_.find('\0');
        std::string text(rest_.substr(0, end));
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return text;
    }
    std::string Rest() {
        std::string text(rest_);
        rest_ = {};
        return text;
    }

private:
    std::string_view rest_;
};

}  // namespace zorv::fuzz
