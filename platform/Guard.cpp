#include "platform/Guard.h"

#include <exception>
#include <new>
#include <system_error>

#include "platform/Dialogs.h"
#include "platform/ErrorText.h"
#include "platform/Errors.h"

namespace tamarind {
namespace {

int gDepth = 0;
std::exception_ptr gPending;

void Show(std::exception_ptr error) {
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = ErrorText(e);
    } catch (...) {
        text = QStringLiteral("不明なエラーが発生しました");
    }
    Dialogs().Message(WithFullStop(text), BoxIcon::Error);
}

}  // namespace

QString ErrorText(const std::exception& error) {
    if (auto* own = dynamic_cast<const TamarindError*>(&error)) return own->text();
    if (dynamic_cast<const std::bad_alloc*>(&error)) return QStringLiteral("メモリが不足しています");
    // A failed system call raised by the standard library: our own words,
    // not the system's English text.
    if (auto* system = dynamic_cast<const std::system_error*>(&error)) {
        const std::error_category& category = system->code().category();
        if (category == std::generic_category() || category == std::system_category())
            return SystemErrorText(system->code().value());
    }
    return QString::fromUtf8(error.what());
}

void RunGuarded(const std::function<void()>& handler) {
    ++gDepth;
    std::exception_ptr error;
    try {
        handler();
    } catch (...) {
        error = std::current_exception();
    }
    --gDepth;
    if (error) {
        if (gDepth > 0) {
            if (!gPending) gPending = error;  // the first error is the one that counts
            return;
        }
        Show(error);
    }
    if (gDepth == 0 && gPending) {
        Show(std::exchange(gPending, nullptr));
    }
}

void RaisePendingError() {
    if (gPending) std::rethrow_exception(std::exchange(gPending, nullptr));
}

int GuardDepth() { return gDepth; }

}  // namespace tamarind
