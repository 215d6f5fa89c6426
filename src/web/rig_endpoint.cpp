#include "web/rig_endpoint.h"

#include "rig/rig_codec.h"
#include "web/web_server.h"

namespace quorvane::web {

bool RigHub::Arrive(rig::FromBackup message) {
  std::lock_guard lock(mutex);
  if (arrived.size() >= kMaxArrivedFromBackups) return false;
  arrived.push_back(std::move(message));
  return true;
}

std::vector<RigHub::Text> RigHub::Greeting() {
  std::lock_guard lock(mutex);
  std::vector<Text> greeting;
  if (hello) greeting.push_back(hello);
  if (state) greeting.push_back(state);
  return greeting;
}

RigEndpoint::RigEndpoint(WebServer& server) : server_(server), hub_(std::make_shared<RigHub>()) {
  server_.OpenRigChannel(hub_);
}

void RigEndpoint::Send(const rig::FromMain& message) {
  auto text = std::make_shared<const std::string>(rig::Encode(message));
  {
    std::lock_guard lock(hub_->mutex);
    if (std::holds_alternative<rig::MainHello>(message)) hub_->hello = text;
    if (std::holds_alternative<rig::MainState>(message)) hub_->state = text;
  }
  if (hub_->connected.load() > 0) server_.SendToBackups(std::move(text));
}

std::vector<rig::FromBackup> RigEndpoint::TakeArrived() {
  std::lock_guard lock(hub_->mutex);
  std::vector<rig::FromBackup> taken(std::make_move_iterator(hub_->arrived.begin()),
                                     std::make_move_iterator(hub_->arrived.end()));
  hub_->arrived.clear();
  return taken;
}

}  // namespace quorvane::web
