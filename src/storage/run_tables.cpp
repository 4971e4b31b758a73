#include "storage/run_tables.h"

namespace storage {

void RunPlate::BuildWellBeamChannel() {
  well_beam_channel = Table2D<int16_t>(static_cast<size_t>(MaxWell) + 1,
                                       static_cast<size_t>(MaxBeam) + 1, int16_t{-1});
  for (int c = 0; c < kRunChannelCount; ++c) {
    const int w = Well[static_cast<size_t>(c)];
    const int b = Beam[static_cast<size_t>(c)];
    if (w >= 0 && w <= MaxWell && b >= 0 && b <= MaxBeam)
      well_beam_channel(static_cast<size_t>(w), static_cast<size_t>(b)) = static_cast<int16_t>(c);
  }
}

}  // namespace storage
