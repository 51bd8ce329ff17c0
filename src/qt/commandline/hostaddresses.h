#pragma once

#include "watch/fleetfile.h"

// The addresses each host stands for, as a TCP link would look them up; each name is asked once, and an
// IPv4 address written as IPv6 (::ffff:127.0.0.1) is its IPv4 self. A name the network cannot resolve
// stands for itself, for its link to report when it connects.
HostAddresses resolvingHostAddresses();
