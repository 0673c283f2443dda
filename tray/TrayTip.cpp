// Fits the tip text into the icon record's fixed field.
#include "tray/TrayTip.h"

namespace tarnwick {

std::string FitTipField(std::string_view text) {
  std::string field(text.substr(0, kTipFieldLength));
  field.resize(kTipFieldLength, ' ');
  return field;
}

}  // namespace tarnwick
