// The remote-control server: a TCP listener whose clients receive the state document as JSON lines
// and send command lines, plus the UDP discovery responder that tells them the listener's port.
//
// Two worker threads: the control thread accepts clients, greets them, reads their bytes and
// pushes complete command lines into the command inbox, and sends the lines queued for the
// clients; the discovery thread answers probes. Commands run on the host's main thread from the
// inbox; state documents are built there too, in BroadcastState, never with one of the server's
// locks held.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "inbox/command_inbox.h"
#include "inbox/transport.h"
#include "platform/socket.h"
#include "remote/discovery_responder.h"
#include "remote/failure_sink.h"

namespace quorvane::remote {

inline constexpr int kProtocolVersion = 2;

class RemoteServer final : public inbox::Transport {
 public:
  // The steady clock in nanoseconds; it paces the broadcasts.
  using SteadyClock = std::function<int64_t()>;

  // Limits that keep one misbehaving client from exhausting the host's memory. A client that
  // passes one of them is dropped; the other clients are not affected.
  static constexpr std::size_t kMaxClients = 64;  // a further connection is closed at once
  // Clients from one address (the protocol has no keys): one computer of the network cannot take
  // every place. This computer's own programs (loopback addresses) are not counted.
  static constexpr std::size_t kMaxClientsPerAddress = 16;
  static constexpr std::size_t kMaxLineBytes = 64 * 1024;
  static constexpr std::size_t kMaxOutgoingBytes = 8 * 1024 * 1024;
  static constexpr int64_t kBroadcastIntervalNanoseconds = 50'000'000;
  static constexpr int64_t kCommandResultIntervalNanoseconds = 10'000'000;
  static constexpr int kControlWaitMilliseconds = 50;

  // Complete command lines go to `commands` (a client that finds it full is dropped);
  // `discoveryPort` 0 lets the system choose (see DiscoveryPort); an empty clock means
  // std::chrono::steady_clock.
  explicit RemoteServer(inbox::CommandInbox& commands, uint16_t discoveryPort = kDiscoveryPort,
                        SteadyClock clock = {});
  ~RemoteServer() override;
  RemoteServer(const RemoteServer&) = delete;
  RemoteServer& operator=(const RemoteServer&) = delete;

  // Returns the whole state as one JSON object without a line feed, on the main thread.
  void SetStateProvider(StateProvider provider) override;
  // What the server's threads and the main thread's calls caught. Set before Start.
  void SetFailureSink(FailureSink sink) override { failureSink_ = std::move(sink); }
  // Counts loopback clients against kMaxClientsPerAddress too, from the next connection on: the
  // suites' clients, all from 127.0.0.1, then stand for a computer of the network.
  void CountLoopbackPerAddress(bool count);

  // Opens the listener and the discovery socket and starts both threads. True when running
  // afterwards (also when it already was); false leaves nothing open.
  bool Start() override;
  // Closes every socket, joins both threads and discards its clients' commands not run yet. Does
  // nothing when not running.
  void Stop() override;
  bool IsRunning() const { return running_.load(); }

  // Why a document is offered: the tick's regular offer, paced to one document per 50 ms, or the
  // result of commands that just ran, which a performer waits for: it goes out at once, paced
  // only against a flood of commands (one such document per 10 ms).
  using Offer = inbox::Offer;
  // Main thread: sends the state document to every client when it changed since the last one
  // sent, at most once per the offer's pace; greets clients accepted since the last call with the
  // current document, whatever the pace (such a client may get that document once more with the
  // next broadcast: each document replaces the previous one, so a repeat is harmless).
  void BroadcastState(Offer offer = Offer::kTick);
  void Publish(Offer offer) override { BroadcastState(offer); }
  // Main thread: milliseconds until a command's result that its pace held may go out (0: now);
  // -1 when none is held.
  int64_t HeldResultDueInMs() const override;

  void SetProjectName(std::string name);
  std::string ProjectName() const;
  // 16 upper-case hexadecimal digits, drawn once per object at its first use (not while the host
  // loads the library: the random source may need to load system libraries).
  std::string InstanceId() const;
  // The computer's name ("REAPER" when unreadable), read at the first start: the object may be
  // built while the host loads the library, when Windows Sockets must not be started yet.
  std::string HostName() const;

  std::size_t ClientCount() const;
  // The TCP port announced to clients; 0 when not running.
  uint16_t Port() const { return port_.load(); }
  // The UDP port the discovery responder listens on; 0 when not running.
  uint16_t DiscoveryPort() const { return boundDiscoveryPort_.load(); }

 private:
  struct Client {
    platform::Socket socket;
    uint32_t address = 0;  // where it connected from
    std::string incoming;  // bytes of the line not finished yet
    // Whole lines the socket has not taken yet, oldest first; a document queued to every client
    // is one shared copy.
    std::deque<std::shared_ptr<const std::string>> outgoing;
    std::size_t outgoingSent = 0;   // bytes of the first line already sent
    std::size_t outgoingBytes = 0;  // bytes queued and not sent yet
    bool awaitingGreeting = true;
  };

  void RunControlLoop() noexcept;
  // One wait and what follows it; false when the wait itself failed, which ends the thread.
  bool ControlPass();
  void AcceptClients();
  // The sends and reads after a wait, under clientsMutex_.
  void TakeClientsPass(const std::vector<platform::PollEntry>& entries, bool linesQueued);
  // The functions below need clientsMutex_ held. False means the client must be dropped.
  bool ReadFrom(Client& client);
  bool TakeBytes(Client& client, std::string_view bytes);
  // Queues without sending (false past the outgoing limit); Flush sends, on the control thread.
  bool QueueLine(Client& client, std::shared_ptr<const std::string> line);
  bool Flush(Client& client);
  // Main thread: lines were queued; the control thread sends them at once instead of after its
  // current wait.
  void WakeForSending();
  // Moves a client out of `clients_`; its socket is closed by the control thread after its
  // current wait, so that no thread ever waits on a closed handle.
  void Retire(platform::Socket::Handle handle);

  DiscoveryIdentity Identity() const;
  void CloseAll();

  inbox::CommandInbox& commands_;
  const uint16_t discoveryPort_;
  const SteadyClock clock_;

  std::atomic<bool> running_{false};
  std::atomic<uint16_t> port_{0};
  std::atomic<uint16_t> boundDiscoveryPort_{0};

  std::mutex lifecycleMutex_;  // serialises Start and Stop; guards the members below
  std::optional<platform::SocketLibrary> library_;
  platform::Socket listener_;
  platform::Socket discoverySocket_;
  platform::Socket wakeSocket_;      // a datagram to it ends both threads' waits at a stop
  platform::Socket sendWakeSocket_;  // a datagram to it tells the control thread to send
  std::atomic<uint16_t> sendWakePort_{0};
  std::thread controlThread_;
  std::thread discoveryThread_;

  mutable std::mutex clientsMutex_;
  std::unordered_map<platform::Socket::Handle, Client> clients_;
  std::vector<platform::Socket> retired_;
  bool countLoopbackPerAddress_ = false;

  mutable std::mutex callbacksMutex_;
  FailureSink failureSink_;  // written before Start only
  StateProvider stateProvider_;

  mutable std::mutex identityMutex_;
  mutable std::string instanceId_;  // drawn on first use
  std::string projectName_ = "Untitled Project";
  std::string hostName_;

  // Main thread only.
  std::string lastStateSent_;
  std::optional<int64_t> lastBroadcastTime_;
  std::optional<int64_t> lastCommandResultTime_;
  bool resultHeld_ = false;
};

}  // namespace quorvane::remote
