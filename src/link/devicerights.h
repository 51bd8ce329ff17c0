#pragma once

#include <string>

// Who may open a serial device and who is asking: what decides the advice when it is refused.
struct DeviceRights
{
    bool ownedByRoot = false;
    bool groupMayOpen = false;  // read and write
    bool othersMayOpen = false; // read and write
    std::string group;          // the device's group, by name
    bool inGroup = false;       // the asking process has the group now
    bool listedInGroup = false; // the user is a member, perhaps only since the last login
};

// "no permission (...)" with the advice that fits: join the dialout group, log in again, or nothing a
// user can do when only root may open the device.
std::string noPermissionReason(const DeviceRights &rights);
