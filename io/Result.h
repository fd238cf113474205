// The one way a failure travels: what was being done (reading or writing), the file or folder,
// and why, in the system's words ("No such file or directory") or in a few words of our own for
// a file that reads but is broken ("not a BSA archive"). Every front end makes its message from
// it with Message(), so the style is set here once.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace sv {

struct Failure {
    enum class Access { Read, Write };
    Access access = Access::Read;
    std::string path;
    std::string reason;
    // A broken implode stream ended the work. The decoder has already said so in its own lines,
    // which the front ends print instead of Message().
    bool decoderFatal = false;

    // `Cannot read "PATH": REASON.` or `Cannot write "PATH": REASON.`
    std::string Message() const;
};

// Success, or the one failure that stopped an operation.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Failure failure) : m_failure(std::move(failure)) {} // NOLINT: a failure is a status

    // The system's words for an errno value, which the caller took right where the call failed.
    static Status ReadError(std::string path, int error);
    static Status WriteError(std::string path, int error);
    static Status ReadFailed(std::string path, std::string reason);
    static Status WriteFailed(std::string path, std::string reason);

    bool Ok() const { return !m_failure.has_value(); }
    explicit operator bool() const { return Ok(); }
    // Only on a failed status.
    const Failure& Why() const { return *m_failure; }
    std::string Message() const { return Ok() ? std::string() : m_failure->Message(); }
    bool DecoderFatal() const { return !Ok() && m_failure->decoderFatal; }

private:
    std::optional<Failure> m_failure;
};

// A value, or the failure that kept it from being made.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}            // NOLINT: a value is a result
    Result(Failure failure) : m_status(std::move(failure)) {} // NOLINT: so is a failure
    // A failed status; an Ok one would leave the result without its value.
    Result(Status status) : m_status(std::move(status)) {} // NOLINT

    bool Ok() const { return m_value.has_value(); }
    explicit operator bool() const { return Ok(); }
    // Only on a result that is Ok.
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    // Only on a failed result.
    const Status& Error() const { return m_status; }
    std::string Message() const { return m_status.Message(); }

private:
    std::optional<T> m_value;
    Status m_status;
};

// The system's words for an errno value.
std::string SystemReason(int error);

} // namespace sv
