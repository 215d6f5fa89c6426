// The simulated host's function table and registrations: what GetFunc hands out, what Register
// keeps (timers, hooks, actions, accelerators), and the commands run through the hooks.
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host_seams.h"
#include "platform/menu.h"
#include "sim/sim_host.h"
#include "sim/sim_state.h"

namespace quorvane::sim {

namespace {

template <typename T>
bool Contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

template <typename T>
bool EraseFirst(std::vector<T>* list, const T& value) {
  auto it = std::find(list->begin(), list->end(), value);
  if (it == list->end()) return false;
  list->erase(it);
  return true;
}

}  // namespace

void* Host::State::LookUp(const char* name) {
  const std::string key = name ? name : "";
  lookups.push_back(key);
  if (!name || removedFunctions.count(key)) return nullptr;
  if (key == platform::kClockSourceName) return &clock;
  if (key == platform::kMessageSinkName) return &sink;
  if (key == platform::kMainThreadWakeName) return &wake;
  if (key == "GetMediaTrackInfo" && !offeredFunctions.count(key)) return nullptr;
  return HostFunctionByName(key);
}

void Host::State::ThrowIfArmed(const char* function) const {
  if (throwing.empty() || !function) return;
  const auto armed = throwing.find(function);
  if (armed != throwing.end()) throw std::runtime_error(armed->second);
}

bool Host::State::Fails(const std::string& name, const std::string& what) const {
  for (const Failure& failure : failures) {
    if (failure.name == name && (failure.what.empty() || failure.what == what)) return true;
  }
  return false;
}

int Host::State::Register(const char* name, void* infostruct) {
  RegistrationCall call;
  call.name = name ? name : "";
  const std::string& key = call.name;
  if (key == "command_id" && infostruct) {
    call.what = static_cast<const char*>(infostruct);
  } else if ((key == "gaccel" || key == "-gaccel") && infostruct) {
    const auto* record = static_cast<const gaccel_register_t*>(infostruct);
    call.what = record->desc ? record->desc : "";
  }
  int result = 0;
  if (name && !Fails(key, call.what)) {
    if (key == "timer") {
      if (infostruct) timers.push_back(reinterpret_cast<TimerCallback>(infostruct));
      result = infostruct ? 1 : 0;
    } else if (key == "-timer") {
      result = EraseFirst(&timers, reinterpret_cast<TimerCallback>(infostruct)) ? 1 : 0;
    } else if (key == "hookcommand") {
      if (infostruct) commandHooks.push_back(reinterpret_cast<HookCommandCallback>(infostruct));
      result = infostruct ? 1 : 0;
    } else if (key == "-hookcommand") {
      result = EraseFirst(&commandHooks, reinterpret_cast<HookCommandCallback>(infostruct)) ? 1 : 0;
    } else if (key == "toggleaction") {
      if (infostruct) toggleHooks.push_back(reinterpret_cast<ToggleActionCallback>(infostruct));
      result = infostruct ? 1 : 0;
    } else if (key == "-toggleaction") {
      result = EraseFirst(&toggleHooks, reinterpret_cast<ToggleActionCallback>(infostruct)) ? 1 : 0;
    } else if (key == "hookcustommenu") {
      if (infostruct) menuHooks.push_back(reinterpret_cast<HookCustomMenuCallback>(infostruct));
      result = infostruct ? 1 : 0;
    } else if (key == "-hookcustommenu") {
      result = EraseFirst(&menuHooks, reinterpret_cast<HookCustomMenuCallback>(infostruct)) ? 1 : 0;
    } else if (key == "command_id") {
      if (!call.what.empty()) {
        for (const auto& [actionName, id] : commandIds) {
          if (actionName == call.what) result = id;  // the same name keeps its id
        }
        if (result == 0 && nextCommandId <= 0xFFFF) {
          result = nextCommandId++;
          commandIds.emplace_back(call.what, result);
        }
      }
    } else if (key == "gaccel") {
      if (infostruct) {
        const auto* record = static_cast<const gaccel_register_t*>(infostruct);
        accelerators.push_back(Accelerator{record, record->accel.cmd, call.what});
        result = 1;
      }
    } else if (key == "-gaccel") {
      for (auto it = accelerators.begin(); it != accelerators.end(); ++it) {
        if (it->record == infostruct) {
          accelerators.erase(it);
          result = 1;
          break;
        }
      }
    }
  }
  call.result = result;
  registrations.push_back(call);
  return result;
}

bool Host::State::RunCommand(int command, int flag) {
  const std::vector<HookCommandCallback> hooks = commandHooks;
  for (HookCommandCallback hook : hooks) {
    if (!Contains(commandHooks, hook)) continue;  // unregistered by an earlier hook
    if (hook(command, flag)) return true;
  }
  RunBuiltInCommand(command);
  return false;
}

void Host::State::RunBuiltInCommand(int command) {
  switch (command) {
    case kRepeatToggleCommand:
      repeat = !repeat;
      break;
    case 1007:  // Transport: Play
      Play();
      break;
    case 1008:  // Transport: Pause
      PauseToggle();
      break;
    case 1016:  // Transport: Stop
      Stop();
      break;
    case 40044:  // Transport: Play/stop
      if (transport == TransportState::kStopped) {
        Play();
      } else {
        Stop();
      }
      break;
    default:
      break;
  }
}

void Host::RemoveFunction(const std::string& name) {
  state_->removedFunctions.insert(name);
  state_->offeredFunctions.erase(name);
}

void Host::ThrowFrom(const std::string& name, const std::string& what) {
  if (what.empty()) {
    state_->throwing.erase(name);
  } else {
    state_->throwing[name] = what;
  }
}

void Host::OfferFunction(const std::string& name) {
  state_->offeredFunctions.insert(name);
  state_->removedFunctions.erase(name);
}

const std::vector<std::string>& Host::FunctionLookups() const {
  return state_->lookups;
}

void Host::FailRegistration(const std::string& name, const std::string& what) {
  state_->failures.push_back(State::Failure{name, what});
}

const std::vector<RegistrationCall>& Host::Registrations() const {
  return state_->registrations;
}

int Host::RegisteredCount(const std::string& key) const {
  if (key == "timer") return static_cast<int>(state_->timers.size());
  if (key == "hookcommand") return static_cast<int>(state_->commandHooks.size());
  if (key == "toggleaction") return static_cast<int>(state_->toggleHooks.size());
  if (key == "hookcustommenu") return static_cast<int>(state_->menuHooks.size());
  if (key == "gaccel") return static_cast<int>(state_->accelerators.size());
  if (key == "command_id") return static_cast<int>(state_->commandIds.size());
  return 0;
}

int Host::CommandId(const std::string& actionName) const {
  const std::string name =
      !actionName.empty() && actionName[0] == '_' ? actionName.substr(1) : actionName;
  for (const auto& [registered, id] : state_->commandIds) {
    if (registered == name) return id;
  }
  return 0;
}

std::vector<std::string> Host::AcceleratorDescriptions() const {
  std::vector<std::string> descriptions;
  for (const auto& accelerator : state_->accelerators) {
    descriptions.push_back(accelerator.description);
  }
  return descriptions;
}

std::vector<SimAction> Host::Actions() const {
  std::vector<SimAction> actions;
  for (const auto& [name, id] : state_->commandIds) {
    SimAction action{name, id, {}};
    for (const auto& accelerator : state_->accelerators) {
      if (accelerator.command == id) action.description = accelerator.description;
    }
    actions.push_back(std::move(action));
  }
  return actions;
}

int Host::ExtensionsMenuCalls() const {
  return state_->extensionsMenuCalls;
}

void Host::Tick() {
  const std::vector<TimerCallback> timers = state_->timers;
  for (TimerCallback timer : timers) {
    if (Contains(state_->timers, timer)) timer();
  }
}

bool Host::RunCommand(int commandId, int flag) {
  return state_->RunCommand(commandId, flag);
}

bool Host::RunAction(const std::string& actionName) {
  const int id = CommandId(actionName);
  return id != 0 && RunCommand(id, 0);
}

std::vector<MenuItem> Host::BuildMenu(const std::string& menuId, int flag, int times) {
  void* menu = platform::CreateMenuHandle();
  for (int i = 0; i < times; ++i) {
    const std::vector<HookCustomMenuCallback> hooks = state_->menuHooks;
    for (HookCustomMenuCallback hook : hooks) {
      if (Contains(state_->menuHooks, hook)) hook(menuId.c_str(), static_cast<HMENU>(menu), flag);
    }
  }
  std::vector<MenuItem> items;
  for (const platform::MenuEntry& entry : platform::ReadMenu(menu)) {
    items.push_back(MenuItem{entry.id, entry.text});
  }
  platform::DestroyMenuHandle(menu);
  return items;
}

}  // namespace quorvane::sim
