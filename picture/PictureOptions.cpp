#include "picture/PictureOptions.h"

#include <QSettings>
#include <mutex>

namespace tamarind {
namespace {

const char* const kUprightKey = "View/Upright";
const char* const kOtherFormatsKey = "View/OtherFormats";

std::mutex optionsMutex;
PictureOptions current;

}  // namespace

PictureOptions CurrentPictureOptions() {
    std::lock_guard lock(optionsMutex);
    return current;
}

void SetPictureOptions(const PictureOptions& options) {
    std::lock_guard lock(optionsMutex);
    current = options;
}

PictureOptions ReadPictureOptions(const QSettings& settings, PictureOptions base) {
    base.upright = settings.value(QLatin1String(kUprightKey), false).toBool();
    base.otherFormats = settings.value(QLatin1String(kOtherFormatsKey), false).toBool();
    return base;
}

void WritePictureOptions(QSettings& settings, const PictureOptions& options) {
    settings.setValue(QLatin1String(kUprightKey), options.upright);
    settings.setValue(QLatin1String(kOtherFormatsKey), options.otherFormats);
}

}  // namespace tamarind
