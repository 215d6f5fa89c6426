// The host functions as C functions with the host's exact signatures (host/reaper_api.h), by
// name. Each forwards to the current Host's model (sim_functions_*.cpp); with no Host alive they
// answer as an empty host would.
#include <map>

#include "sim/sim_functions.h"

namespace quorvane::sim {
namespace {

template <typename Fn>
void* Address(Fn* function) {
  return reinterpret_cast<void*>(function);
}

}  // namespace

void* HostFunctionByName(const std::string& name) {
  // Every function the extension binds, from its own list: a function added there and missing
  // here fails to compile.
#define QUORVANE_SIM_FUNCTION_(ret, fn, params) {#fn, Address(&hostfn_impl::fn)},
  static const std::map<std::string, void*> kFunctions = {QUORVANE_HOST_FUNCTIONS(
      QUORVANE_SIM_FUNCTION_, QUORVANE_SIM_FUNCTION_, QUORVANE_SIM_FUNCTION_)};
#undef QUORVANE_SIM_FUNCTION_
  auto it = kFunctions.find(name);
  return it == kFunctions.end() ? nullptr : it->second;
}

int SimRegister(const char* name, void* info) {
  Host::State* s = hostfn_impl::Model(__func__);
  return s ? s->Register(name, info) : 0;
}

void* SimGetFunc(const char* name) {
  Host::State* s = hostfn_impl::Model(__func__);
  return s ? s->LookUp(name) : nullptr;
}

// The signatures must be exactly the host's.
#define QUORVANE_SIM_SIGNATURE_(ret, fn, params) \
  static_assert(std::is_same_v<decltype(&hostfn_impl::fn), hostfn::fn>, #fn);
QUORVANE_HOST_FUNCTIONS(QUORVANE_SIM_SIGNATURE_, QUORVANE_SIM_SIGNATURE_, QUORVANE_SIM_SIGNATURE_)
#undef QUORVANE_SIM_SIGNATURE_
static_assert(std::is_same_v<decltype(&SimRegister), decltype(reaper_plugin_info_t::Register)>);
static_assert(std::is_same_v<decltype(&SimGetFunc), decltype(reaper_plugin_info_t::GetFunc)>);

}  // namespace quorvane::sim
