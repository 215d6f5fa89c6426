// What the pages show about the two-rig show: this rig's part, whether it leads, where the other
// rig is, and what differs between the two projects. The rig layer writes it on the main thread;
// the window, the state document and the web page read it. A single rig leaves it as it is.
#pragma once

#include <string>
#include <vector>

namespace quorvane::ui {

struct RigStatus {
  std::string role = "single";  // "single", "main" or "backup"
  bool leading = true;          // this rig plays the show and takes commands itself
  bool connected = false;       // the rig channel to the other rig is up
  bool onBackupRig = false;     // the backup took the lead when the main went: "ON BACKUP RIG"
  std::string mainAddress;      // the main's control address, as the backup dials it
  std::string backupAddress;    // where the pages go when the main is gone ("http://HOST:PORT/")
  std::vector<std::string> projectDifferences;  // empty: the projects agree
  std::string problem;  // why this rig cannot reach the other one (a malformed address); empty
};

}  // namespace quorvane::ui
