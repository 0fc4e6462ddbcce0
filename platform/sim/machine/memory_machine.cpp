// Machines held in memory: made, switched between, checkpointed and restored.
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/memory_drive.h"

#include <stdexcept>

namespace sim {
namespace {

MemoryDrive& OpenMemoryDrive(const char* what) {
  Machine& m = CurrentMachine();
  if (!m.memory) throw std::logic_error(std::string(what) + ": the open machine is not held in memory");
  return *m.memory;
}

}  // namespace

void CreateMachineInMemory(const NewMachineOptions& options) {
  Machine m;
  m.dir = internal::MemoryDriveRoot();
  m.memory = internal::NewMemoryDrive();
  internal::MakeNewMachine(std::move(m), options);
}

void SwitchToMachine(const Machine& machine) {
  if (!machine.memory) throw std::logic_error("SwitchToMachine: the machine is not held in memory");
  internal::OpenMachineValue(machine);
}

void CheckpointMachine() {
  MemoryDrive& drive = OpenMemoryDrive("CheckpointMachine");
  drive.checkpoint = Detached(CurrentMachine());
  drive.saved = drive.checkpoint;
  internal::CheckpointDrive(drive);
}

void RestoreMachine() {
  MemoryDrive& drive = OpenMemoryDrive("RestoreMachine");
  if (!drive.journaling) throw std::logic_error("RestoreMachine: no checkpoint taken");
  internal::RestoreDrive(drive);
  // Assigned member by member rather than made anew, so that the texts and
  // lists of the machine keep their storage: the fuzzers restore after
  // every input. The drive is held meanwhile, since the checkpoint has none.
  drive.saved = drive.checkpoint;
  Machine& m = CurrentMachine();
  std::shared_ptr<MemoryDrive> held = m.memory;
  m = drive.checkpoint;
  m.memory = std::move(held);
}

}  // namespace sim
