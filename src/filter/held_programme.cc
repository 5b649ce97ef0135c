#include "filter/held_programme.h"

namespace zelvane {

void HeldProgramme::Clear() {
  opening.Clear();
  titles.Clear();
  subTitles.Clear();
  descs.Clear();
  descCleaning.clear();
  kenmerken.clear();
  further.Clear();
  furtherDesc = false;
}

}  // namespace zelvane
