#pragma once
// The uninstall files of an install folder, and the start of its script.
// Both flows use them: the install writes the files and runs an older
// installation's script before it replaces it; the uninstall mode writes
// the script again and leaves it to run.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/unique_handle_win32.h"

namespace zorv::product {

// A file the installer is about to write is made anew instead of being
// written over: an existing file (one a user left there, read-only or
// hidden too) is deleted first, since a file written over keeps its owner,
// who may change it again, and a read-only one refuses the write.  A
// folder of that name is left alone (the write that follows fails).
void DeleteBeforeWriting(const std::wstring& path);

// Each makes its file anew in the folder (with or without a trailing
// separator) and writes the whole text at once; the system's error code,
// 0 when written.  Folders are wide: the uninstaller's own folder comes
// from the system and may hold any character.
uint32_t WriteUninstallScript(const std::wstring& folder);
uint32_t WriteUninstallInstructions(const std::wstring& folder);

// A started script: the command interpreter's process running it.
struct StartedScript {
    UniqueHandle process;
    UniqueHandle thread;  // the first thread, held while the process is suspended
    UniqueHandle job;     // with kEndWithInstaller: closing it ends whatever the script still runs
    // Lets a suspended script run; true when it runs.
    bool Resume();
    // Ends the script and everything it started (only with kEndWithInstaller).
    void End();
};

enum ScriptStartOptions : unsigned {
    kStartNow = 0,
    // Made but not yet running: the caller learns that the start works
    // while it can still report a failure, and lets it run later.
    kStartSuspended = 1,
    // Contained in a job that the installer ends: nothing of the script
    // (the interpreter, the commands it started) outlives the wait for it.
    kEndWithInstaller = 2,
};

// Starts the folder's "Uninstall.bat" hidden in the system's command
// interpreter (by its full path, without the registry's AutoRun commands),
// with System32 as its working folder: the script deletes its own folder,
// which a process holding it as current directory would keep, and the
// interpreter takes the commands it runs from its working folder first.
// Nothing when the interpreter could not be started; *error then holds the
// system's error code.
std::optional<StartedScript> StartUninstallScript(const std::wstring& folder, unsigned options,
                                                  uint32_t* error = nullptr);

}  // namespace zorv::product
