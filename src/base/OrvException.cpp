#include "base/OrvException.h"

#include "base/OrvLog.h"

OrvException::OrvException(const std::string& message) : OrvException(message, true) {}

OrvException::OrvException(const std::string& message, bool logIt) : std::runtime_error(message), message_(message) {
    if (logIt) TOrvLog::Instance().Write(message);
}
