// The game's one error type. Every failure the game reports carries its exact
// message text; creating the exception also writes that text to the game log
// (when a log is open), so an error is on record even if nobody catches it.
#pragma once

#include <stdexcept>
#include <string>

class OrvException : public std::runtime_error {
public:
    // Builds the exception and logs its message through TOrvLog.
    explicit OrvException(const std::string& message);
    // Builds the exception without writing the log (for errors raised while
    // the log itself is being written, or in tight loops of a loader).
    OrvException(const std::string& message, bool logIt);

    const std::string& Message() const { return message_; }

private:
    std::string message_;
};

// Runs load(). An OrvException it raises is raised again with the file's
// name before its message ("Moswick.li: [TOrvXMLTag...] ..."), unless the
// message names the file already, so whoever reads the error learns which
// file was at fault. The first exception logged itself; the named one is
// not logged again. Other exceptions pass unchanged.
template <class Load>
void WhileReading(const std::string& file, Load&& load) {
    try {
        load();
    } catch (const OrvException& e) {
        if (e.Message().find(file) != std::string::npos) throw;
        throw OrvException(file + ": " + e.Message(), false);
    }
}
