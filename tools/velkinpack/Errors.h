// The packer's error: a message for the patch author, naming the file and the fix.
#pragma once

#include <stdexcept>
#include <string>

class PackError : public std::runtime_error {
public:
    explicit PackError(const std::string& message) : std::runtime_error(message) {}
};

// A PE file that is damaged, hostile or of a shape the packer does not handle.
class PeFormatError : public PackError {
public:
    using PackError::PackError;
};
