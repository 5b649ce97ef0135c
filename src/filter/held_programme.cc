#include "filter/held_programme.h"

namespace zelvane {

void HeldProgramme::Clear() {
  head_.Clear();
  subTitles_.Clear();
  descs_.Clear();
  descCleaning_.clear();
  kenmerken_.clear();
  further_.Clear();
  furtherDesc = false;
  bytes_ = 0;
}

}  // namespace zelvane
