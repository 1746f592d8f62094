#pragma once
// Gets control back from a fatal runtime error: the installed handler throws
// the message and location as a CapturedFatalError.
#include <string>

#include "runtime/fatal.h"

namespace zorv::testing {

struct CapturedFatalError {
    std::string message;
    std::string location;
};

inline bool ThrowCapturedFatalError(const std::string& message, const std::string& location) {
    throw CapturedFatalError{message, location};
}

// Installs the throwing handler for the lifetime of the object.
class FatalErrorCapture {
public:
    FatalErrorCapture() { SetFatalErrorHandler(ThrowCapturedFatalError); }
    ~FatalErrorCapture() { SetFatalErrorHandler(nullptr); }
    FatalErrorCapture(const FatalErrorCapture&) = delete;
    FatalErrorCapture& operator=(const FatalErrorCapture&) = delete;
};

// The message of the fatal error that body raises; "(none)" when it raises
// none.
template <typename Body>
std::string FatalMessageOf(Body body) {
    FatalErrorCapture capture;
    try {
        body();
    } catch (const CapturedFatalError& error) {
        return error.message;
    }
    return "(none)";
}

}  // namespace zorv::testing
