#include "frame/timestamp.h"

#include <ctime>

namespace kiv {

std::string LocalTimestamp(const char* format) {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  char text[128] = "";
  // A failed conversion or format gives an empty stamp.
  if (!local || std::strftime(text, sizeof text, format, local) == 0) text[0] = '\0';
  return text;
}

}  // namespace kiv
