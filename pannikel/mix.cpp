#include "mix.hpp"

#include <algorithm>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/sample_buffer.hpp"

namespace kpl::pannikel {

bool MixStep(MixBlock& block) {
  if (!(block.flags & pifAudio)) return true;
  const WaveFormat& format = block.format;
  const int64_t bytes = SoundBlockBytes(format, block.inputs.firstSize);
  if (bytes < 0) return false;
  const bool passes = ScalePassFits(format) && bytes > 0;
  const int32_t mixed = std::min(block.inputs.firstSize, block.inputs.secondSize);
  // A pass must have its input: a null buffer with samples to read is refused.
  if (passes && (!block.inputs.first || (mixed > 0 && !block.inputs.second))) return false;

  OwnedBlock result(GMEM_MOVEABLE | GMEM_ZEROINIT, size_t(bytes));
  if (!result) return false;
  BlockLock out(result.get());
  block.result = result.release();

  const bool eightBit = format.bitsPerSample == 8;
  auto pass = [&](const void* source, PassMode mode) {
    if (!passes) return;
    const int64_t samples = int64_t(block.inputs.firstSize) * format.channels;
    ScalePass(source, out.get(), samples, 0, kMixLevel, kMixLevel, eightBit, mode);
  };
  pass(block.inputs.first, PassMode::kWrite);
  block.inputs.firstSize = mixed;
  pass(block.inputs.second, PassMode::kAdd);
  block.counter = Advance(block.counter, block.inputs.firstSize);
  return true;
}

}  // namespace kpl::pannikel
