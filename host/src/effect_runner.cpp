#include "effect_runner.hpp"

#include <cstring>

#include "errors.hpp"
#include "kpl/platform/blocks.hpp"
#include "module_types.hpp"
#include "progress.hpp"
#include "type_session.hpp"

namespace kplhost {
namespace {

// A module that answers true for every line index would keep the host reading forever.
constexpr int32_t kMaxSavedLines = 1000;

// piLocalInit .. piLocalDone.
class Instance {
 public:
  Instance(const Module& module, uint32_t type, uint32_t flags, const std::string& name)
      : module_(module), type_(type), handle_(module.piLocalInit(type, flags)) {
    if (!handle_)
      throw Failure("piLocalInit made no instance of " + name + " for flags " + HexWord(flags));
  }
  ~Instance() { module_.piLocalDone(type_, handle_); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  uint32_t handle() const { return handle_; }

 private:
  const Module& module_;
  uint32_t type_;
  uint32_t handle_;
};

// piLocalProcessDataStart .. piLocalProcessDataEnd.
class Processing {
 public:
  Processing(const Module& module, uint32_t type, uint32_t instance, const std::string& name)
      : module_(module), type_(type), instance_(instance) {
    if (!module.piLocalProcessDataStart(type, instance))
      throw Failure(name + " refused to start (piLocalProcessDataStart answered false)");
  }
  ~Processing() {
    if (!ended_) module_.piLocalProcessDataEnd(type_, instance_);
  }
  Processing(const Processing&) = delete;
  Processing& operator=(const Processing&) = delete;

  // The end of a run that went through; a failed run is ended by the destructor instead.
  void end(const std::string& name) {
    ended_ = true;
    if (!module_.piLocalProcessDataEnd(type_, instance_))
      Warn(name + " answered false to piLocalProcessDataEnd");
  }

 private:
  const Module& module_;
  uint32_t type_;
  uint32_t instance_;
  bool ended_ = false;
};

void loadSettings(const Module& module, const EffectJob& job, uint32_t instance) {
  for (size_t index = 0; index < job.settingsLines.size(); ++index) {
    const std::string& line = job.settingsLines[index];
    if (line.size() >= kSettingsLineBytes)
      throw UsageError("setting line " + std::to_string(index) + " is longer than " +
                       std::to_string(kSettingsLineBytes - 1) + " characters");
    char text[kSettingsLineBytes] = {};
    std::memcpy(text, line.data(), line.size());
    if (!module.piLocalLoadData(job.type, instance, int32_t(index), text))
      Warn("the module did not accept setting line " + std::to_string(index) + " '" + line + "'");
  }
}

std::vector<std::string> savedSettings(const Module& module, uint32_t type, uint32_t instance) {
  std::vector<std::string> lines;
  for (int32_t index = 0; index < kMaxSavedLines; ++index) {
    char text[kSettingsLineBytes] = {};
    if (!module.piLocalSaveData(type, instance, index, text)) return lines;
    lines.emplace_back(text, strnlen(text, sizeof text));
  }
  Warn("the module kept answering piLocalSaveData; stopped after " +
       std::to_string(kMaxSavedLines) + " lines");
  return lines;
}

void runStep(const Module& module, const EffectJob& job, uint32_t instance, int32_t step,
             const std::string& name, const StepInputSource& inputs,
             const StepResultSink& results) {
  const std::string which = "step " + std::to_string(step + 1) + " of " + std::to_string(job.steps);
  const StepInputs in = inputs(step);
  if (!module.piLocalSetData(job.type, instance, in.first, in.firstSize, in.second, in.secondSize))
    throw Failure(name + " refused the inputs of " + which + " (piLocalSetData answered false)");
  if (!module.piLocalProcessData(job.type, instance))
    throw Failure(name + " failed at " + which + " (piLocalProcessData answered false)");
  // The result block is the host's now: read it, then free it.
  const kpl::OwnedBlock result(module.piLocalGetData(job.type, instance));
  if (!result) throw Failure(name + " gave no result at " + which);
  const size_t bytes = GlobalSize(result.get());
  const kpl::BlockLock lock(result.get());
  if (!lock) throw Failure(name + " gave a result handle that is no live block at " + which);
  try {
    results(step, {lock.as<const uint8_t>(), bytes});
  } catch (const Failure& failure) {
    throw Failure(which + ": " + failure.what());
  }
}

}  // namespace

EffectOutcome RunEffect(const Module& module, const EffectJob& job, const StepInputSource& inputs,
                        const StepResultSink& results) {
  const std::string name = TypeName(module, job.type);
  const TypeSession session(module, job.type);
  if (!session.started()) throw Failure("piInit refused type " + name);
  const Instance instance(module, job.type, job.instanceFlags, name);
  if (job.soundFormat && !module.piLocalSetFormat(job.type, instance.handle(), &*job.soundFormat))
    throw Failure(name + " refused the sound format (piLocalSetFormat answered false)");
  if (!module.piLocalLength(job.type, instance.handle(), job.length))
    Warn(name + " did not accept the length " + std::to_string(job.length));
  loadSettings(module, job, instance.handle());

  {
    Processing processing(module, job.type, instance.handle(), name);
    ProgressBar progress(job.progressLabel, job.steps, ProgressBar::StderrIsTerminal());
    for (int32_t step = 0; step < job.steps; ++step) {
      runStep(module, job, instance.handle(), step, name, inputs, results);
      progress.update(step + 1);
    }
    processing.end(name);
  }
  EffectOutcome outcome;
  outcome.steps = job.steps;
  outcome.savedLines = savedSettings(module, job.type, instance.handle());
  outcome.instanceName = ModuleText(module.piLocalName(job.type, instance.handle()));
  return outcome;
}

}  // namespace kplhost
