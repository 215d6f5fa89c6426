// The core's part in a two-rig show: the role read at Init, the rig channel's arrivals taken each
// tick, the state documents to the backups, and a following backup's commands passed to the main.
// The follower (rig::ShowFollowing) plays the main's show; this file handles the channel itself.
#include <chrono>
#include <string>
#include <type_traits>
#include <variant>

#include "core/core.h"
#include "rig/follower.h"
#include "rig/project_print.h"

namespace quorvane::core {
namespace {

// The project's print is taken again at most this often (an edit on stage is rare; the walk is
// kept, but the names are copied).
constexpr uint64_t kPrintEveryMs = 500;

const char* const kMainUnreachable = "The main rig is not reachable.";

}  // namespace

void Core::InitRig() {
  rigSettings_ = rig::RigSettings::Read({host_.GetExtState, host_.SetExtState});
  ui_.rig.role = rig::RoleName(rigSettings_.role);
  ui_.rig.mainAddress = rigSettings_.mainAddress;
  // A main's web server carries the channel from its start.
  if (rigSettings_.role == rig::Role::kMain)
    backups_ = std::make_unique<web::RigEndpoint>(web_.Server());
  // A main samples its show for the backups; a backup plays the main's until it takes the lead.
  if (rigSettings_.role != rig::Role::kSingle) {
    following_ = std::make_unique<rig::Follower>(
        rig::FollowerParts{host_, held_, clock_, engine_, setlist_, ui_.rig}, link_,
        rigSettings_.role, std::chrono::milliseconds(rigSettings_.failoverMs));
  }
}

void Core::StartRig() {
  if (rigSettings_.role == rig::Role::kSingle) return;
  RefreshProjectPrint();
  printTakenAt_ = clock_.MillisecondsSinceStart();
  if (backups_) {
    backups_->Send(rig::MainHello{projectPrint_, web_.Keys().control, web_.Keys().view});
    return;
  }
  // A backup follows until it takes the lead (the follower decides that).
  ui_.rig.leading = false;
  const auto report = [this](std::string_view where, std::string_view what) {
    failures_.Report(where, what);
  };
  mainLink_ = std::make_unique<rig::MainLinkClient>(report);
  if (web_.Server().IsRunning()) {
    const std::string host = web_.Hosts().empty() ? "127.0.0.1" : web_.Hosts().front();
    ownWebAddress_ = "http://" + host + ":" + std::to_string(web_.Server().Port()) + "/";
  }
  mainLink_->Open(rigSettings_.mainAddress, rig::BackupHello{projectPrint_, ownWebAddress_});
  ui_.rig.problem = mainLink_->AddressProblem();
}

bool Core::RefreshProjectPrint() {
  rig::ProjectPrint print = rig::PrintProject(host_, setlist_);
  if (print == projectPrint_) return false;
  projectPrint_ = std::move(print);
  return true;
}

void Core::TakeRigArrivals() {
  if (!backups_ && !mainLink_) return;
  const char* const there = backups_ ? "the backup" : "the main";
  bool compare = false;
  const uint64_t now = clock_.MillisecondsSinceStart();
  if (now - printTakenAt_ >= kPrintEveryMs) {
    printTakenAt_ = now;
    if (RefreshProjectPrint()) {
      compare = true;
      if (backups_) {
        backups_->Send(rig::MainHello{projectPrint_, web_.Keys().control, web_.Keys().view});
      } else {
        mainLink_->UpdateHello(rig::BackupHello{projectPrint_, ownWebAddress_});
      }
    }
  }
  if (backups_) {
    for (rig::FromBackup& message : backups_->TakeArrived()) {
      if (auto* hello = std::get_if<rig::BackupHello>(&message)) {
        if (!hello->webAddress.empty()) ui_.rig.backupAddress = hello->webAddress;
        otherPrint_ = std::move(hello->project);
        compare = true;
      } else {
        // Runs as any client's command here, in its turn; a refusal has no way back.
        inbox_.Push(
            {inbox::Origin::kRig, std::move(std::get<rig::ForwardedCommand>(message).line), {}});
      }
    }
    ui_.rig.connected = backups_->ConnectedBackups() > 0;
  } else {
    for (rig::FromMain& message : mainLink_->TakeArrived()) {
      if (auto* hello = std::get_if<rig::MainHello>(&message)) {
        // The same phone address opens the show on either rig.
        web_.AdoptKeys({hello->controlKey, hello->viewKey});
        otherPrint_ = std::move(hello->project);
        compare = true;
      } else if (following_) {
        following_->OnMainMessage(message);
      }
    }
    ui_.rig.connected = mainLink_->Connected();
  }
  if (compare && otherPrint_)
    ui_.rig.projectDifferences = rig::Compare(*otherPrint_, projectPrint_, there);
}

void Core::PublishToBackups() {
  if (!backups_) return;
  if (backups_->ConnectedBackups() == 0) {
    // The next backup to connect gets a fresh one.
    sentToBackups_.clear();
    return;
  }
  std::string document = StateDocument();
  if (document == sentToBackups_) return;
  sentToBackups_ = document;
  backups_->Send(rig::MainState{std::move(document)});
}

bool Core::PassToLeadingRig(const std::string& line) {
  const std::optional<std::string> refusal = ForwardToMain(line);
  if (!refusal) return false;
  if (!refusal->empty()) failures_.Report("the action", *refusal);
  return true;
}

std::optional<std::string> Core::ForwardToMain(const std::string& line) {
  if (!mainLink_ || ui_.rig.leading) return std::nullopt;
  if (mainLink_->Send(rig::ForwardedCommand{line})) return std::string();
  return std::string(kMainUnreachable);
}

}  // namespace quorvane::core
