#include "Result.h"

#include <cstring>

namespace sv {

std::string Failure::Message() const {
    return std::string(access == Access::Read ? "Cannot read" : "Cannot write") + " \"" + path +
           "\": " + reason + ".";
}

std::string SystemReason(int error) {
    return std::strerror(error);
}

Status Status::ReadError(std::string path, int error) {
    return ReadFailed(std::move(path), SystemReason(error));
}

Status Status::WriteError(std::string path, int error) {
    return WriteFailed(std::move(path), SystemReason(error));
}

Status Status::ReadFailed(std::string path, std::string reason) {
    return Failure{Failure::Access::Read, std::move(path), std::move(reason)};
}

Status Status::WriteFailed(std::string path, std::string reason) {
    return Failure{Failure::Access::Write, std::move(path), std::move(reason)};
}

} // namespace sv
