// Clip tables and the clip player. The images are read where the linker put them;
// nothing is copied or loaded from disk.
#include "sound/clip_catalogue.h"

#include <algorithm>

namespace morrowby {

const ClipId NumberWords[20] = {682, 601, 602, 603, 604, 605, 606, 607, 608, 609,
                                610, 611, 612, 613, 614, 615, 616, 617, 618, 619};
const ClipId OrdinalWords[21] = {620, 621, 622, 623, 624, 625, 626, 627, 628, 629, 630,
                                 631, 632, 633, 634, 635, 636, 637, 638, 639, 640};
const ClipId TensWords[6] = {0, 0, 660, 661, 662, 663};
const ClipId DayNameWords[7] = {653, 654, 655, 656, 657, 658, 659};
const ClipId MonthWords[12] = {641, 642, 643, 644, 645, 646, 647, 648, 649, 650, 651, 652};

const PhraseClipTable PhraseClips = {
    {671, 672}, 668, 676, 667, 666, 664, 665, 677, 679, 680, 681,
};

ClipImage FindClip(const ClipModule& module, ClipId id) {
  const ClipModule::Entry* end = module.entries + module.count;
  const ClipModule::Entry* e = std::lower_bound(
      module.entries, end, id, [](const ClipModule::Entry& x, unsigned v) { return x.id < v; });
  if (e == end || e->id != id) return ClipImage();
  return ClipImage{e->begin, static_cast<std::size_t>(e->end - e->begin)};
}

bool PlayClip(SoundService& sound, const ClipModule& module, ClipId id) {
  const ClipImage image = FindClip(module, id);
  if (image.data == nullptr) return false;
  sound.PlayImage(image.data, image.size);
  return true;
}

}  // namespace morrowby
