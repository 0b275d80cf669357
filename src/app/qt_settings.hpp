#pragma once

#include "app/settings.hpp"

#include <memory>

namespace vantrel {

// The settings over QSettings: HKEY_LOCAL_MACHINE\SOFTWARE\Orvanta\Vantrel15
// on Windows, a per-user settings file elsewhere. A file named by the
// environment variable VANTREL_SETTINGS takes the place of either.
std::unique_ptr<settings_backend> make_qt_settings();

} // namespace vantrel
