// The browser view's page skeleton, style sheet and script (postvtk/view/),
// embedded at build time.
#pragma once

#include <string_view>

namespace gw::postvtk::view {

// The HTML skeleton, holding the marks @@STYLE@@, @@DATA@@ and @@SCRIPT@@ in this
// order, where the style sheet, the data and the script go.
extern const std::string_view kPage;
extern const std::string_view kStyle;
extern const std::string_view kScript;

}  // namespace gw::postvtk::view
