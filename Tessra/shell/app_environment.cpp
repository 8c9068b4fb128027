#include "Tessra/shell/app_environment.h"

#include <cstdlib>
#include <string_view>

namespace tessra::app_environment {

bool isRunningForPreviews() {
  const char* value = std::getenv("XCODE_RUNNING_FOR_PREVIEWS");
  return value != nullptr && std::string_view(value) == "1";
}

}  // namespace tessra::app_environment
