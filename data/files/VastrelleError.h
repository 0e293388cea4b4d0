#pragma once

#include <stdexcept>
#include <string>

// How the user interface presents a failure.
enum class MessageKind {
    FailureReport,  // the program-wide failure report: application title, stop icon, OK
    Warning,        // "警告", OK
    ErrorAbort,     // "エラー", single button "中止(&A)"
    ErrorOk,        // "エラー", OK
};

// The one failure type of the core. what() is the user-facing message in UTF-8.
class VastrelleError : public std::runtime_error {
public:
    explicit VastrelleError(const std::string& message,
                            MessageKind kind = MessageKind::FailureReport)
        : std::runtime_error(message), m_kind(kind) {}

    MessageKind Kind() const { return m_kind; }

    // A file that the failed operation read and left unchanged, such as a card list that does
    // not parse, when the message does not name it (UTF-8 path); empty otherwise.
    const std::string& UnchangedFile() const { return m_unchangedFile; }
    void SetUnchangedFile(const std::string& path) { m_unchangedFile = path; }

    // The save was refused because another program changed the card list since it was read;
    // nothing was written, and the caller shows the file as it now is.
    bool ChangedOutside() const { return m_changedOutside; }
    void SetChangedOutside() { m_changedOutside = true; }

private:
    MessageKind m_kind;
    std::string m_unchangedFile;
    bool m_changedOutside = false;
};

// printf-style "%s"/"%d" substitution for the fixed message texts.
std::string FormatMessage(const char* format, const std::string& argument);
std::string FormatMessage(const char* format, int argument);
