// Windows: the listening rows of the TCP table with this process as owner. The IP helper library
// is loaded at run time, so that nothing that links the platform seams imports it.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "sim/platform/own_listeners.h"

namespace quorvane::platform {
namespace {

using GetExtendedTcpTableFn = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, TCP_TABLE_CLASS, ULONG);

class HelperLibrary {
 public:
  HelperLibrary() : module_(LoadLibraryW(L"iphlpapi.dll")) {}
  ~HelperLibrary() {
    if (module_) FreeLibrary(module_);
  }
  HelperLibrary(const HelperLibrary&) = delete;
  HelperLibrary& operator=(const HelperLibrary&) = delete;

  GetExtendedTcpTableFn TableFunction() const {
    if (!module_) return nullptr;
    FARPROC address = GetProcAddress(module_, "GetExtendedTcpTable");
    GetExtendedTcpTableFn function = nullptr;
    static_assert(sizeof function == sizeof address);
    std::memcpy(&function, &address, sizeof function);
    return function;
  }

 private:
  HMODULE module_;
};

}  // namespace

std::vector<uint16_t> OwnListeningTcpPorts() {
  std::vector<uint16_t> ports;
  HelperLibrary library;
  const GetExtendedTcpTableFn getTable = library.TableFunction();
  if (!getTable) return ports;
  std::vector<unsigned char> buffer(16 * 1024);
  DWORD size = static_cast<DWORD>(buffer.size());
  DWORD result = ERROR_INSUFFICIENT_BUFFER;
  for (int attempt = 0; attempt < 4 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
    buffer.resize(size);
    result = getTable(buffer.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0);
  }
  if (result != NO_ERROR) return ports;
  MIB_TCPTABLE_OWNER_PID table;
  std::memcpy(&table, buffer.data(), sizeof table.dwNumEntries);
  const DWORD self = GetCurrentProcessId();
  const size_t rowsOffset = offsetof(MIB_TCPTABLE_OWNER_PID, table);
  for (DWORD i = 0; i < table.dwNumEntries; ++i) {
    MIB_TCPROW_OWNER_PID row;
    const size_t offset = rowsOffset + i * sizeof row;
    if (offset + sizeof row > buffer.size()) break;
    std::memcpy(&row, buffer.data() + offset, sizeof row);
    if (row.dwOwningPid != self) continue;
    ports.push_back(ntohs(static_cast<u_short>(row.dwLocalPort)));
  }
  return ports;
}

}  // namespace quorvane::platform
