#pragma once
// The setup log's file.  Any thread; without an open log every call does
// nothing.
#include <cstdint>
#include <string>
#include <string_view>

namespace zorv {

// Opens (or creates) the file for appending; false when it cannot be.
bool OpenSetupLog(const std::wstring& path);
bool SetupLogOpen();

// One line of GBK text, or of wide text as the system gives it.
void Log(std::string_view text);
void Log(std::wstring_view text);
// One line: what was done, then "ok" or "failed, system error <code>".
void LogResult(std::string_view what, uint32_t systemError);

}  // namespace zorv
