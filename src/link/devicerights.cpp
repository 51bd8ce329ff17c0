#include "link/devicerights.h"

namespace {
// The group Debian gives serial devices.
constexpr std::string_view SerialGroup = "dialout";
} // namespace

std::string noPermissionReason(const DeviceRights &rights)
{
    if (rights.group == SerialGroup && rights.groupMayOpen && !rights.inGroup)
        return rights.listedInGroup
                   ? "no permission (log in again: the dialout group counts from the next login)"
                   : "no permission (join the dialout group)";
    if (rights.ownedByRoot && !rights.groupMayOpen && !rights.othersMayOpen)
        return "no permission (only root may open it)";
    return "no permission (the device's group is " + (rights.group.empty() ? "unnamed" : rights.group) + ")";
}
