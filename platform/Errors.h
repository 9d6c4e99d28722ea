#pragma once
// The error type that handlers raise to end themselves with a message. Its
// text is exactly what the user sees (the error display adds the full stop).

#include <QString>
#include <stdexcept>

namespace tamarind {

class TamarindError : public std::runtime_error {
public:
    explicit TamarindError(const QString& text)
        : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

// The user-visible text of any exception: TamarindError's own text, a memory
// shortage in words, otherwise what() read as UTF-8.
QString ErrorText(const std::exception& error);

}  // namespace tamarind
